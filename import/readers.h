// The readers of the instrument formats: Bruker RAW 4 and BRML, Rigaku RAS
// and RASX, PANalytical XRDML (our own), and xylib for the rest. Each reads
// the file's bytes into the file's metadata and its ranges, as the format
// gives them; the table in formats.cpp calls them, and addranges() applies
// the common rules after them.
#pragma once

#include <cstdint>
#include <pugixml.hpp>  // the XML parser
#include <string>
#include <unordered_map>
#include <vector>

#include "scanimport.h"
#include "util.h"

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

// A zip archive opened once for all its members.
struct ZipArchive {
  struct zip* z = nullptr;                               // libzip's handle; nullptr: none
  size_t size = 0;                                       // bytes, of the whole archive
  std::uint64_t unpacked = 0;                            // bytes, of the members read so far
  std::vector<std::string> names;                        // the members, in the archive's order
  std::unordered_map<std::string, std::uint64_t> index;  // each member's place among them
  ZipArchive() = default;
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;
  ~ZipArchive();
};
// Opens data as a zip archive; false, with why, where it is none or holds
// two members of one name. data must outlive zip.
bool zipopen(const std::string& data, ZipArchive& zip, std::string& why);
// The member's whole content; false, with why, where it is missing or cannot
// be read whole (damaged, larger than the readers take, or a zip bomb).
bool zipread(ZipArchive& zip, const std::string& name, std::string& text, std::string& why);
// The same, each opening the archive anew: its member names, one member.
bool zipnames(const std::string& data, std::vector<std::string>& names, std::string& why);
bool zipmember(const std::string& data, const std::string& name, std::string& text,
               std::string& why);

// Rigaku: a range's scan as RAS's header and RASX's measurement conditions
// both give it.
struct RigakuScan {
  std::string axis;                    // the scan axis: TwoTheta, TwoThetaOmega, Omega, ...
  std::string mode;                    // STEP or CONTINUOUS
  double start = NAN, stop = NAN;      // deg, as declared
  double step = NAN;                   // deg, as declared; its sign from start and stop
  double speed = NAN;                  // in speedunit: s or min per step, or deg/min
  std::string speedunit;               // sec, min, deg/min, ...
  std::string yunit;                   // counts or cps
  double omega = NAN, twotheta = NAN;  // deg, the axes' positions in the conditions
  double chi = NAN, phi = NAN;         // deg
};
// Rigaku: fills r's drive, time per step, declared start and step, and axes
// from its scan, once its rows are read.
void rigakuscan(const RigakuScan& s, FileRange& r);
// Rigaku: an axis's position in the conditions, kept in s where the axis is
// omega, 2theta, chi or phi.
void rigakuaxis(const std::string& name, double position, RigakuScan& s);
// Rigaku text: the next line of text from pos, without its line end and
// trailing blanks, and without a UTF-8 byte order mark at the very start;
// false at the end of text.
bool rigakuline(const std::string& text, size_t& pos, std::string& line);
// Rigaku: adds a row of a profile (angle, counts as counted, and the
// attenuation factor) to r, with the unit of the angle's last printed digit;
// a blank line adds none. false where the line is no such row.
bool rigakurow(const std::string& line, FileRange& r);

// n where name is prefix, n (1 to 9 digits) and suffix, else -1: the
// archives' numbered members.
long numbered(const std::string& name, const std::string& prefix, const std::string& suffix);
// The names that number gives an n for (-1: none), with their n, by n.
std::vector<std::pair<long, std::string>> bynumber(const std::vector<std::string>& names,
                                                   long (*number)(const std::string&));
// text parsed into doc; false, with why, where it is no XML document.
bool parsexml(const std::string& text, pugi::xml_document& doc, std::string& why);
