// The readers of the instrument formats: Bruker RAW 4 and BRML, Rigaku RAS
// and RASX, PANalytical XRDML (our own), and xylib for the rest. Each reads
// the file's bytes into the file's metadata and its ranges, as the format
// gives them; the table in formats.cpp calls them, and addranges() applies
// the common rules after them.
#pragma once

#include <string>
#include <vector>

#include "scanimport.h"

// Each reader: false, with the reason in why, where the bytes are no whole
// file of its format; else true, with every range it holds in ranges.
bool readraw4(const std::string& data, MetaList& meta, std::vector<FileRange>& ranges,
              std::string& why);
bool readbrml(const std::string& data, MetaList& meta, std::vector<FileRange>& ranges,
              std::string& why);
bool readras(const std::string& data, MetaList& meta, std::vector<FileRange>& ranges,
             std::string& why);
bool readrasx(const std::string& data, MetaList& meta, std::vector<FileRange>& ranges,
              std::string& why);
bool readxrdml(const std::string& data, MetaList& meta, std::vector<FileRange>& ranges,
               std::string& why);

// xylib's formats: reads data (the file at path) as xylib's format fmt, or
// as the format xylib guesses where fmt is empty; format and desc are the
// format's name and description as xylib gives them.
bool readxylib(const std::string& path, const std::string& data, const std::string& fmt,
               std::string& format, std::string& desc, MetaList& meta,
               std::vector<FileRange>& ranges, std::string& why);

// One member of the archives: a BRML RawData document (its ranges are
// appended), and a RASX profile with its measurement conditions.
bool brmlrawdata(const std::string& xml, MetaList& meta, std::vector<FileRange>& ranges,
                 std::string& why);
bool rasxprofile(const std::string& profile, const std::string& xml, MetaList& meta,
                 FileRange& range, std::string& why);
