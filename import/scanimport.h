// scanimport: instrument files (read with xylib) to scan files for scanmerge.
#pragma once

#include <cmath>  // NAN
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

using MetaList = std::vector<std::pair<std::string, std::string>>;

// One block (range) of an instrument file, as it goes into a scan file.
struct Range {
  int number = 0;           // 1-based among the file's blocks
  std::vector<double> tth;  // deg
  std::vector<double> cts;  // counts per step
  std::vector<double> mon;  // monitor counts per step, divided by the attenuation
  std::vector<double> tim;  // counting time per step, ms
  std::vector<double> att;  // attenuation factor of each step (1: none)
  bool filemon = false;     // monitor from the file, not the stand-in
  double refms = 0;         // the stand-in: 10^6 monitor counts per refms of counting
  bool ratefile = false;    // the file held counts per second
  double omega = NAN, chi = NAN, phi = NAN;  // deg at the range's start in the file
  double omoff = NAN;                        // deg, omega - 2theta/2 there
  std::string skip;                          // why the block is no step scan; empty if it is one
  MetaList meta;                             // the block's metadata
};

// A range as a format's reader finds it, before the common rules (a 2theta
// step scan, the counting time, the monitor) make a Range of it.
struct FileRange {
  std::string axis;                // the axis the range drives, as the file names it
  std::vector<double> x;           // deg
  std::vector<double> counts;      // as the detector counted them (per second where rate)
  std::vector<double> factors;     // attenuation factor of each step, or none
  double start = NAN, step = NAN;  // deg, where the file declares them
  std::vector<double> units;       // deg, the last printed digit's unit of each x, or none
  std::vector<double> mons;        // monitor counts of each step, where the file has them
  std::vector<double> times;       // s, of each step, where the file has them
  double seconds = 0;              // s per step otherwise; 0 or NaN where the file has none
  bool rate = false;               // counts per second
  double omega = NAN, chi = NAN, phi = NAN;  // deg at the start; NaN: not given
  std::string skip;  // why the reader found it no 2theta step scan; empty if none
  MetaList meta;     // the range's metadata
};

struct Instrument {
  std::string path;        // as given
  std::string name;        // file name without folder and extension
  std::string format;      // xylib's name of the format
  std::string formatdesc;  // and its description
  MetaList meta;           // the file's metadata
  std::vector<Range> ranges;
  std::vector<std::string> notes;  // warnings for the console, once for the file
};

struct Options {
  std::string format;   // -f, empty to guess
  std::string outdir;   // -o, empty for the current folder
  std::string answers;  // --answers, empty for none
  std::string command;  // --command, empty for none
  double tms = 0;       // -t, ms per step; 0 when not given
  double refms = 0;     // --reftime: ms of counting per 10^6 stand-in monitor counts; 0: the
                        // time per step of the first range converted
  bool force = false;
};

// Reads path with the reader of its format (the table in formats.cpp) and
// adds its ranges to ins under the common rules, with counts per step and
// times in ms. false, with the reason in why, where the file cannot be
// converted at all.
bool readinstrument(const std::string& path, const Options& opt, Instrument& ins, std::string& why);

// The whole text of a scan file: fourteen header lines and the rows.
std::string scantext(const Instrument& ins, const Range& r, int nranges);

// Line 11 (sample and date) and line 12 (conditions) of a scan file.
std::string sampleline(const Instrument& ins, const Range& r);
std::string conditionline(const Instrument& ins, const Range& r);
std::string samplename(const Instrument& ins, const Range& r);

// x by %.9g, or the float nearest x by %.9g where a 32-bit reading of the
// first would not give that float.
std::string anglestr(double x);

// The command line; returns the exit status (0, 1 or 2).
int scanimport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// How the monitor was had, for line 12 and the console.
std::string monitortext(const Range& r);

// v by %g, for the console and the header
std::string gnum(double v);

// s as one header line: control characters (line breaks among them) as
// blanks, cut to n bytes, never inside a UTF-8 character.
std::string oneline(const std::string& s, size_t n);
