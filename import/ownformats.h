// scanimport's own readers, for the formats xylib does not read: Bruker
// RAW 4 and BRML, Rigaku RAS and RASX. Each reads the file's bytes into the
// file's metadata and its ranges, which addranges() then turns into scans.
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

// One member of the archives: a BRML RawData document (its ranges are
// appended), and a RASX profile with its measurement conditions.
bool brmlrawdata(const std::string& xml, MetaList& meta, std::vector<FileRange>& ranges,
                 std::string& why);
bool rasxprofile(const std::string& profile, const std::string& xml, MetaList& meta,
                 FileRange& range, std::string& why);

// The archive's member names; false, with why, where data is no zip archive.
bool zipnames(const std::string& data, std::vector<std::string>& names, std::string& why);
// The member's whole content; false, with why, where it is missing or cannot
// be read whole (damaged, or larger than the readers take).
bool zipmember(const std::string& data, const std::string& name, std::string& text,
               std::string& why);

// The -f name of the format whose content data starts with ("" where none of
// these); data may be the whole file or its first bytes, but a zip archive is
// told apart only from the whole file.
std::string ownformat(const std::string& data);
// Whether name is the -f name of one of these formats.
bool ownformatname(const std::string& name);
// The -f names and descriptions, one a line, for the help.
std::string ownformatlist();

// Reads path with these readers where -f names one of their formats or,
// without -f, where its content is one of them, and adds its ranges to ins
// (ok false, with why, where it cannot). false where xylib is to read it.
bool readown(const std::string& path, const Options& opt, Instrument& ins, bool& ok,
             std::string& why);

// Rigaku: whether a scan axis (RAS *MEAS_SCAN_AXIS_X, RASX AxisName) moves
// the detector through 2theta; and the seconds a step is counted, from the
// scan's mode, step (deg), speed and the speed's unit (NaN where unknown).
bool rigakutwotheta(const std::string& axis);
double rigakuseconds(const std::string& mode, double step, double speed, const std::string& unit);
// Rigaku: omega at a range's start (deg) from the positions the file gives
// for omega and 2theta; a coupled scan keeps omega - 2theta/2 as it moves.
double rigakuomega(const std::string& axis, double start, double omega, double twotheta);

// The whole of s as a number (blanks around it allowed); false where it is none.
bool tonumber(const std::string& s, double& v);
