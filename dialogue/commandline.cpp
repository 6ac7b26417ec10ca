// The run fed from the command line: the dialogue's phases, every answer
// given at once, everything checked before any file is written.
#include <sys/stat.h>  // stat: a scan's type, size and time in one call

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>  // stat: a scan's device and inode
#endif

#include "correct/corrections.h"
#include "correct/deadtimefit.h"
#include "correct/overlaps.h"
#include "dialogue/dialogue.h"
#include "files/safefile.h"
#include "merge/scanreader.h"
#include "output/fieldcheck.h"
#include "output/outputs.h"
#include "output/report.h"
#include "output/sha256.h"
#include "output/writers.h"
#include "text/console.h"
#include "version.h"  // SCANMERGE_VERSION, generated

namespace fs = std::filesystem;

namespace {

const char* const usage =
    "Usage: scanmerge [OPTIONS] SCAN...\n"
    "       scanmerge            (no arguments: the dialogue on the console)\n"
    "Merges step scans onto one 2theta grid, in the order of their first angle,\n"
    "and writes the files named by the options; nothing is written unless all is.\n"
    "\n"
    "Options (before or after the scans; -- ends them):\n"
    "  --eiv H,L,OSC    illuminated-fraction correction: beam height H (mm),\n"
    "                   sample length L (mm), rocking range OSC (deg); \"H L OSC\"\n"
    "                   as typed at the prompt is the same\n"
    "  --xrs82 FILE     XRS82 list with sigmas\n"
    "  --wyriet FILE    Wyriet file\n"
    "  --profin FILE    .PROFIN file with sigmas\n"
    "  --gdat FILE      .GDAT file; its title by --title TITLE (default: line 11\n"
    "                   of the first scan merged)\n"
    "  --xye FILE       2theta, intensity, sigma at full precision\n"
    "  --cif FILE       powder CIF at full precision\n"
    "  --report FILE    JSON record of the run\n"
    "  --report-scans   the report also gives each scan alone on the grid\n"
    "  --fit-dead-time  fit the dead time from the overlaps, told and reported\n"
    "  --strict         any warning is a failure\n"
    "  --verbose        tell the merge on standard output\n"
    "  -h, --help       show this help and exit\n"
    "  --version        show the version and exit\n"
    "\n"
    "Warnings go to standard error. Exit status: 0 done, 1 an input or output\n"
    "failed (nothing written), 2 usage error.\n";

// The outputs, in the order of the table of outputs.
enum Output { xrs82, wyriet, profin, gdat, xye, cif, report, outputs };
static_assert(outputs == outputcount && gdat == gdatoutput && xye == dialogueoutputs,
              "the order of the table of outputs");

std::string outputoption(int which) { return std::string("--") + outputkinds[which].name; }

struct Options {
  std::vector<std::string> scans;
  std::string name[outputs];  // empty: not wanted
  bool eiv = false;
  EivGeometry geometry;
  bool hastitle = false;
  std::string title;
  bool strict = false;
  bool verbose = false;
  bool scandetail = false;  // --report-scans
  bool fit = false;         // --fit-dead-time
};

// What tells whether a file changed: its size and when it was last written.
struct Stamp {
  Inode id;  // where the system gives one
  bool regular = false;
  long long size = 0;     // bytes
  long long written = 0;  // s since 1970, and ns (0 where the system gives seconds only)
  long long writtenns = 0;
};

// The stamp of a file, from one system call; false with errno set where it
// cannot be had.
bool stampof(const std::string& name, Stamp& s) {
#ifdef _WIN32
  struct _stat64 st;
  if (_stat64(name.c_str(), &st) != 0) return false;
#else
  struct stat st;
  if (stat(name.c_str(), &st) != 0) return false;
#endif
#ifndef _WIN32
  s.id.known = true;
  s.id.dev = static_cast<unsigned long long>(st.st_dev);
  s.id.ino = static_cast<unsigned long long>(st.st_ino);
#endif
  s.regular = S_ISREG(st.st_mode);
  s.size = static_cast<long long>(st.st_size);
  s.written = static_cast<long long>(st.st_mtime);
#if !defined(_WIN32) && !defined(__APPLE__)
  s.writtenns = static_cast<long long>(st.st_mtim.tv_nsec);
#endif
  return true;
}

// A scan as the check found it, read to its first row: that row's angle
// decides where it goes in the order; its size and time, and that row
// again, tell whether it changed before it was merged.
struct Scan {
  std::string name;
  bool hasrow = false;   // has a first row
  bool started = false;  // has a first row with an angle
  float first = 0;       // deg, its first row's angle
  std::string line11;    // as the dialogue echoes it: the title where it is merged first
  Stamp stamp;
};

// Bytes read for the check: in most files the header and a first row.
constexpr int firstbytes = 4096;

// exit statuses
constexpr int done = 0;
constexpr int failed = 1;
constexpr int usageerror = 2;

// An input or output that failed: the run stops, nothing written. false.
bool fail(Stop& stop, const std::string& name, const std::string& reason) {
  stop = {failed, "scanmerge: " + name + ": " + reason + "\n"};
  return false;
}

// A usage error. false.
bool misuse(Stop& stop, const std::string& what) {
  stop = {usageerror, "scanmerge: " + what + "\nTry 'scanmerge --help'.\n"};
  return false;
}

// "H,L,OSC" or "H L OSC": three numbers, each read whole, parted by a comma,
// blanks or both (blanks at either end ignored), then the prompt's rules.
// scanplot's --eiv takes the same spellings.
bool parseeiv(const std::string& value, EivGeometry& g) {
  const char* blank = " \t";
  std::string answer;
  int fields = 0;
  std::size_t at = value.find_first_not_of(blank);
  while (at != std::string::npos && at < value.size()) {
    std::size_t end = std::min(value.find_first_of(" \t,", at), value.size());
    std::string field = value.substr(at, end - at);
    float number;
    int used = -1;
    if (field.empty() || std::sscanf(field.c_str(), "%f%n", &number, &used) < 1 ||
        used != static_cast<int>(field.size()))
      return false;  // ",," or a field that is not one number
    answer += (fields++ ? " " : "") + field;
    at = value.find_first_not_of(blank, end);
    if (at != std::string::npos && value[at] == ',') {
      at = value.find_first_not_of(blank, at + 1);
      if (at == std::string::npos) return false;  // a comma at the end
    }
  }
  return fields == 3 && readeiv(answer, g) == EivAnswer::ready;
}

// Reads the arguments into o; false where the run ends here (--help and
// --version with status 0).
bool parse(const std::vector<std::string>& args, Options& o, std::ostream& out, Stop& stop) {
  bool optionsend = false;
  for (std::size_t k = 0; k < args.size(); ++k) {
    const std::string& a = args[k];
    if (optionsend || a.empty() || a[0] != '-' || a == "-") {
      o.scans.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsend = true;
      continue;
    }
    if (a == "-h" || a == "--help") {
      say(out, "%s", usage);
      stop = {done, ""};
      return false;
    }
    if (a == "--version") {
      say(out, "scanmerge %s\n", SCANMERGE_VERSION);
      stop = {done, ""};
      return false;
    }
    if (a == "--strict" || a == "--verbose") {
      (a == "--strict" ? o.strict : o.verbose) = true;
      continue;
    }
    if (a == "--report-scans" || a == "--fit-dead-time") {
      (a == "--report-scans" ? o.scandetail : o.fit) = true;
      continue;
    }
    // an option with a value: "--name VALUE" or "--name=VALUE"
    std::size_t equals = a.find('=');
    std::string option = a.substr(0, equals);
    int which = -1;
    for (int n = 0; n < outputs; ++n)
      if (option == outputoption(n)) which = n;
    if (which < 0 && option != "--eiv" && option != "--title") {
      return misuse(stop, "unknown option " + option);
    }
    std::string value;
    if (equals != std::string::npos) {
      value = a.substr(equals + 1);
    } else if (k + 1 < args.size()) {
      value = args[++k];
    } else {
      return misuse(stop, "option " + option + " needs a value");
    }
    bool twice = which >= 0            ? !o.name[which].empty()
                 : option == "--eiv"   ? o.eiv
                 : option == "--title" ? o.hastitle
                                       : false;
    if (twice) {
      return misuse(stop, "option " + option + " given twice");
    }
    if (which >= 0) {
      if (value.empty()) {
        return misuse(stop, "option " + option + " needs a file name");
      }
      o.name[which] = value;
    } else if (option == "--eiv") {
      if (!parseeiv(value, o.geometry)) {
        return misuse(stop, "--eiv " + value +
                                ": needs H,L,OSC (or \"H L OSC\"), three numbers with H and "
                                "OSC not 0 and H no larger than L");
      }
      o.eiv = true;
    } else {
      o.title = value;
      o.hastitle = true;
    }
  }
  if (o.scans.empty()) {
    return misuse(stop, "no scan file");
  }
  if (o.scandetail && o.name[report].empty()) {
    return misuse(stop, "--report-scans needs --report FILE");
  }
  return true;
}

// Reads a scan's header and its first row, nothing after; false with the
// reason where it cannot be.
bool readfirst(Scan& scan, std::string& why) {
  errno = 0;
  if (!stampof(scan.name, scan.stamp)) {
    why = errno ? std::strerror(errno) : "cannot be read";
    return false;
  }
  if (!scan.stamp.regular) {
    why = "not a plain file";
    return false;
  }
  errno = 0;
  std::ifstream file(scan.name, std::ios::in | std::ios::binary);
  if (!file.is_open()) {
    why = errno ? std::strerror(errno) : "cannot be read";
    return false;
  }
  ScanBlock block(file, firstbytes);
  std::ostringstream echoed;
  std::ostream nowhere(nullptr);
  ScanColumns cols = readheader(block, echoed, nowhere);
  ScanPoint pt;
  scan.hasrow = readpoint(block, cols, pt);
  scan.first = pt.tth;
  scan.started = scan.hasrow && !std::isnan(pt.tth);
  scan.line11 = echoed.str().substr(0, echoed.str().find('\n'));
  return true;
}

// The order of the merge: lowest first angle first; a scan without rows
// last; ties as given.
bool mergedbefore(const Scan& a, const Scan& b) {
  if (a.started != b.started) return a.started;
  return a.started && a.first < b.first;
}

// The scan is as the check found it: the same size and time, the same
// first row as the merge read (both checked after the merge has read it).
bool unchanged(const Scan& scan, const MergeInfo& info) {
  Stamp now;
  bool same = stampof(scan.name, now) && now.regular && now.size == scan.stamp.size &&
              now.written == scan.stamp.written && now.writtenns == scan.stamp.writtenns;
  return same && info.hasfirst == scan.hasrow &&
         (!scan.hasrow || std::memcmp(&info.first, &scan.first, sizeof scan.first) == 0);
}

// The warnings of one phase, as told: a line each, a dead time warning
// with the row it quotes.
std::vector<std::string> warninglines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == ':' && at < text.size()) {
      end = text.find('\n', at);
      if (end == std::string::npos) end = text.size();
      line += "\n" + text.substr(at, end - at);
      at = end + 1;
    }
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

// Passes what a phase warned of to standard error and keeps it.
void tell(const std::string& text, std::vector<std::string>& kept, std::ostream& err) {
  err.write(text.data(), static_cast<std::streamsize>(text.size()));
  for (std::string& line : warninglines(text)) kept.push_back(line);
}

// The warnings of values no instrument gives that the dialogue merges
// without a word (its first angles, a monitor of nan or inf, an infinite
// time), which would make angles or intensities that are not numbers.
std::string oddvalues(const MergeInfo& info, int filenum) {
  std::string text;
  if (info.oddstart)
    text += format("!!!!! First angle %g deg is no 2theta%s.\n", info.start,
                   filenum == 1 ? ": the grid's angles are wrong" : "");
  if (info.oddstep)
    text += format("!!!!! Step %g deg is no step: the grid's angles are wrong.\n", info.step);
  if (info.oddmon > 0)
    text += format("!!!!! Monitor nan or inf in %d rows: their intensities are nan or 0.\n",
                   info.oddmon);
  if (info.oddtim > 0)
    text += format("!!!!! Time inf in %d rows: no dead time correction there.\n", info.oddtim);
  return text;
}

// The GDAT title as one line: each line break (CR or LF) a blank, so the
// file keeps its layout.
std::string oneline(std::string title) {
  std::replace_if(
      title.begin(), title.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  return title;
}

// How the pattern was made, for the CIF file.
std::string reduction(const MergedPattern& p, const RunRecord& r) {
  std::string text = format(
      "Merged by scanmerge %s from %d step scan(s) onto one 2theta grid of step %.4f deg\n"
      "from %.4f deg; points on one grid angle summed, counts with counts and monitor\n"
      "counts with monitor counts, so that overlapping scans weigh by their monitor:\n",
      SCANMERGE_VERSION, static_cast<int>(r.scans.size()), p.tthstep, p.tthmin);
  for (const ScanRecord& s : r.scans)
    text += format("  %s: %d rows, grid points %d to %d\n", s.name.c_str(), s.rows, s.datoffset,
                   s.datoffset + s.rows - 1);
  text += format(
      "Counts corrected for detector dead time, non-paralysable, tau = %.2e s;\n"
      "a row with fewer than %.0f monitor counts adds no counts and %.0f monitor.\n"
      "Intensities normalised to %.0f monitor counts, su = sqrt(counts) * %.0f /\n"
      "monitor (1 where no counts); grid points no scan reached are left out.\n",
      static_cast<double>(tau), static_cast<double>(lowmonitor), static_cast<double>(fullmonitor),
      normmonitor, normmonitor);
  if (r.eiv)
    text += format(
        "Intensities and su divided by the mean illuminated fraction of a flat sample\n"
        "%.9g mm long rocked through %.9g deg under a beam %.9g mm high.\n",
        static_cast<double>(r.geometry.L), static_cast<double>(r.geometry.oscdeg),
        static_cast<double>(r.geometry.h));
  else
    text += "No correction for the illuminated fraction.\n";
  return text;
}

// Where two names lead to one scan (one device and inode: a link, a hard
// link, another spelling), which would be summed with itself: what to say;
// else empty.
std::string scantwice(const std::vector<std::string>& scans) {
  const std::string why = " name one scan, which would be summed with itself";
#ifndef _WIN32
  std::vector<std::pair<std::pair<dev_t, ino_t>, std::size_t>> seen;  // and where it was named
  for (std::size_t k = 0; k < scans.size(); ++k) {
    struct stat st;
    if (stat(scans[k].c_str(), &st) != 0) continue;  // reading it tells why
    const std::pair<dev_t, ino_t> id(st.st_dev, st.st_ino);
    for (const auto& s : seen)
      if (s.first == id) return scans[s.second] + " and " + scans[k] + why;
    seen.emplace_back(id, k);
  }
#else
  std::error_code ec;
  for (std::size_t k = 0; k < scans.size(); ++k)
    for (std::size_t j = 0; j < k; ++j)
      if (fs::equivalent(scans[j], scans[k], ec)) return scans[j] + " and " + scans[k] + why;
#endif
  return "";
}

// Every name checked before anything is merged or written: no two outputs
// name one file, each scan is read to its first row, no output is a scan,
// and each output is opened (its folder can be written; a temporary file
// goes if the run fails). The scans are put in the order they are merged
// in.
bool check(const Options& o, std::vector<Scan>& scans, std::vector<SafeFile>& files, Stop& stop) {
  for (int a = 0; a < outputs; ++a)
    for (int b = 0; b < a; ++b)
      if (!o.name[a].empty() && !o.name[b].empty() &&
          finaltarget(o.name[a]) == finaltarget(o.name[b]))
        return misuse(stop,
                      outputoption(b) + " and " + outputoption(a) + " name one file: " + o.name[a]);
  std::string twice = scantwice(o.scans);
  if (!twice.empty()) return misuse(stop, twice);
  for (const std::string& name : o.scans) {
    scans.emplace_back();
    scans.back().name = name;
    std::string why;
    if (!readfirst(scans.back(), why)) return fail(stop, name, why);
  }
  std::vector<Inode> ids;  // the scans as the check found them
  for (const Scan& scan : scans) ids.push_back(scan.stamp.id);
  for (int k = 0; k < outputs; ++k)
    if (!o.name[k].empty() && isscan(o.name[k], o.scans, ids, hasscanheader))
      return fail(stop, o.name[k], "is a scan file; it is never overwritten");
  for (int k = 0; k < outputs; ++k) {
    errno = 0;
    if (!o.name[k].empty() && !openfile(files[k], o.name[k]))
      return fail(stop, o.name[k], errno ? std::strerror(errno) : "cannot be written");
  }
  std::stable_sort(scans.begin(), scans.end(), mergedbefore);
  return true;
}

// The bytes of a scan after those the merge read, read only to be hashed,
// in pieces of 16 KiB (most scans have none: no larger buffer is kept).
void readrest(std::istream& scan, std::vector<char>& piece) {
  piece.resize(16 * 1024);
  while (readblock(scan, piece.data(), static_cast<std::streamsize>(piece.size())) > 0) {
  }
}

// Copies what the overlap reads of the sums before a scan: the sums and
// imax (only those: each is copied where it lies, the pattern being too
// large for a temporary on a small stack).
void keepsums(const MergedPattern& from, MergedPattern& to) {
  std::copy(std::begin(from.cts), std::end(from.cts), std::begin(to.cts));
  std::copy(std::begin(from.mon), std::end(from.mon), std::begin(to.mon));
  to.imax = from.imax;
}

// The same for the grid points a scan took (placed), the only ones its
// merge changed: the sums kept are again the merged ones, for the next scan.
void keepscan(const MergedPattern& from, MergedPattern& to, const MergeInfo& placed) {
  const int a = placed.datoffset, b = placed.datoffset + placed.rows;
  std::copy(from.cts + a, from.cts + b, to.cts + a);
  std::copy(from.mon + a, from.mon + b, to.mon + a);
  to.imax = from.imax;
}

// Empties the grid points a scan's own sums took (placed), for the next
// scan's.
void emptyalone(MergedPattern& alone, const MergeInfo& placed) {
  std::fill(alone.cts + placed.datoffset, alone.cts + placed.datoffset + placed.rows, 0.0f);
  std::fill(alone.mon + placed.datoffset, alone.mon + placed.datoffset + placed.rows, 0.0f);
  alone.imax = 0;
}

// A scan merged alone (placed: where), for a picture: its line 11 (label),
// its points as corrected, its differences from the scans merged before it
// (before) and which of those reach its overlap.
void describealone(const MergedPattern& before, const MergedPattern& alone, const MergeInfo& placed,
                   const Options& o, const std::string& label, const RunRecord& record,
                   ScanRecord& s) {
  s.detailed = true;
  s.label = label;
  s.alone = scanalone(before, alone, placed.datoffset, placed.rows, o.eiv ? &o.geometry : nullptr);
  if (s.alone.at.empty()) return;
  for (std::size_t k = 0; k < record.scans.size(); ++k) {
    const ScanRecord& r = record.scans[k];
    if (r.datoffset <= s.alone.at.back() && s.alone.at.front() < r.datoffset + r.rows)
      s.under.push_back(static_cast<int>(k));
  }
}

// Merges the scans in order, as the dialogue merges them, each read once
// from its start: to where its data end, or with the report to its end,
// every byte hashed as it is read. For the report each later scan's own
// sums are kept beside, to compare with what came before it (with
// --report-scans the first's too, each described for a picture); for the
// dead-time fit, the rows merged are kept in counts. The sums before a scan
// are copied once, then follow the merge where each scan changed them.
// Scan k is hashed into hashes.digests[k]. false where a scan ended the
// run, could not be read or changed since the check.
bool mergeall(MergedPattern& p, const std::vector<Scan>& scans, const Options& o, RunRecord& record,
              std::vector<ScanCounts>& counts, HashRing& hashes, std::ostream& con,
              std::ostream& err, Stop& stop) {
  const bool reporting = !o.name[report].empty();
  std::unique_ptr<MergedPattern> before, alone;  // on the heap: a small stack must do
  if (reporting) {
    before = std::make_unique<MergedPattern>();
    alone = std::make_unique<MergedPattern>();
  }
  std::vector<char> rest;
  record.scans.reserve(scans.size());  // grown once: no second copy while it grows
  for (std::size_t k = 0; k < scans.size(); ++k) {
    ScanRecord s;
    s.name = scans[k].name;
    int filenum = static_cast<int>(k) + 1;
    bool aside = reporting && (filenum > 1 || o.scandetail);  // its own sums kept beside
    if (reporting && k == 0) keepsums(p, *before);            // then kept up to date scan by scan
    say(con, "Scan file %d: %s\n", filenum, s.name.c_str());
    errno = 0;
    std::ifstream file(s.name, std::ios::in | std::ios::binary);
    if (!file.is_open()) {
      return fail(stop, s.name, errno ? std::strerror(errno) : "cannot be read");
    }
    HashedInput hashed(file.rdbuf(), hashes, static_cast<int>(k));
    std::istream scan(reporting ? static_cast<std::streambuf*>(&hashed) : file.rdbuf());
    std::ostringstream warned;
    MergeInfo info;
    if (o.fit) {
      counts.emplace_back();
      info.counts = &counts.back();
    }
    bool merged = mergescan(p, scan, filenum, con, warned, info, aside ? alone.get() : nullptr);
    if (!merged) say(con, "%s\n", lowestangle);  // as the dialogue tells it, with --verbose
    // a correction no detector runs at: far more often a wrong time per step
    if (info.deadover > 0)
      warned << format("scanmerge: %s: the dead-time correction reaches %.0f %% at %d points\n",
                       s.name.c_str(), 100 * (info.deadmax - 1), info.deadover);
    tell(warned.str(), s.warnings, err);
    s.deadtime = info.deadmax;
    if (!merged) return fail(stop, s.name, lowestangle);
    tell(oddvalues(info, filenum), s.warnings, err);
    if (reporting) readrest(scan, rest);
    if (scan.bad()) {
      return fail(stop, s.name, "a read failed before its end: nothing written");
    }
    if (!unchanged(scans[k], info)) {
      return fail(stop, s.name, "changed while it was read: nothing written");
    }
    if (aside) {  // on the grid as the merge left it
      alone->tthmin = p.tthmin;
      alone->tthstep = p.tthstep;
      s.overlaps = filenum > 1;
      if (s.overlaps) s.overlap = overlap(*before, *alone, info.datoffset, info.rows);
      if (o.scandetail) describealone(*before, *alone, info, o, scans[k].line11, record, s);
      emptyalone(*alone, info);
    }
    if (reporting) keepscan(p, *before, info);
    s.rows = info.rows;
    s.datoffset = info.datoffset;
    record.scans.push_back(s);
  }
  return true;
}

// Normalises and corrects the points the dialogue writes, 0 to imax - 1,
// and the last one a scan reached, imax, for the full-precision files
// (the four formats never read it). false at "Range Error!".
bool correct(MergedPattern& p, const Options& o, const std::vector<bool>& reached,
             RunRecord& record, std::ostream& err, Stop& stop) {
  int end = reached[static_cast<std::size_t>(p.imax)] ? p.imax + 1 : p.imax;
  std::ostringstream warned;
  normalize(p, end, warned);
  tell(warned.str(), record.warnings, err);
  record.eiv = o.eiv;
  record.geometry = o.geometry;
  if (o.eiv && !applyeiv(p, o.geometry, end))
    return fail(stop, "--eiv", "Range Error!: the rocking range leaves 0 to 2theta");
  return true;
}

// The digests of every scan and output written, once all are hashed:
// scans first, then the outputs in the order written.
void takedigests(HashRing& hashes, RunRecord& record) {
  hashfinish(hashes);
  int d = 0;
  for (ScanRecord& s : record.scans) s.sha256 = hashhex(hashes, d++);
  for (OutputRecord& made : record.outputs) made.sha256 = hashhex(hashes, d++);
}

// Writes each file wanted, hashed for the report after the scans (the
// digests are taken once all is hashed, before the report is written), and
// tells what a reader would misread in it. A file is written to its
// temporary file; one written in place (a device, a FIFO) is held in held
// until all is checked. false where one could not be written, or a warning came under
// --strict.
bool writeall(const MergedPattern& p, const Options& o, const std::string& title,
              const std::vector<bool>& reached, RunRecord& record, std::vector<SafeFile>& files,
              HashRing& hashes, std::string (&held)[outputs], std::ostream& err, Stop& stop) {
  const bool hashing = !o.name[report].empty();
  std::ostringstream warned;
  for (int k = 0; k < outputs; ++k) {
    if (o.name[k].empty()) continue;
    std::ostringstream inplace;
    std::streambuf* to = files[k].target.empty() ? inplace.rdbuf() : files[k].file.rdbuf();
    HashedOutput hashed(to, hashes, static_cast<int>(record.scans.size() + record.outputs.size()));
    std::ostream file(hashing && k != report ? &hashed : to);
    bool written = true;
    errno = 0;          // a write that fails says why
    if (k == report) {  // the report comes last, with every warning told
      tell(warned.str(), record.warnings, err);
      warned.str("");
      int warnings = static_cast<int>(record.warnings.size());
      for (const ScanRecord& s : record.scans) warnings += static_cast<int>(s.warnings.size());
      if (o.strict && warnings > 0) break;
      takedigests(hashes, record);
      written = writereport(p, reached, record, file);
    } else {
      OutputRecord made;
      made.format = outputkinds[k].name;
      made.name = o.name[k];
      FieldCounts counts;
      written = k < xye    ? writeformat(p, k, oneline(title), file, counts)
                : k == xye ? writexye(p, reached, file)
                           : writecif(p, reached, reduction(p, record), file);
      if (written && k < xye) {
        warnmisfits(p, o.name[k], counts, outputkinds[k].stepcheck, warned);
        made.wide = counts.wide;
        made.zerosigma = counts.zerosigma;
      }
      record.outputs.push_back(made);
    }
    // flushed at once: a disk that fills up fails the file that did not fit
    if (!written || !file.flush()) {
      return fail(stop, o.name[k], notplaced({}, {}, errno));
    }
    held[k] = inplace.str();
  }
  tell(warned.str(), record.warnings, err);
  int warnings = static_cast<int>(record.warnings.size());
  for (const ScanRecord& s : record.scans) warnings += static_cast<int>(s.warnings.size());
  if (o.strict && warnings > 0) {
    return fail(stop, "--strict", format("%d warning(s): nothing written", warnings));
  }
  return true;
}

// Puts every output in place once all are written: those written in place
// are written out now; each is synced first, and only then all are
// renamed, in order.
bool commitall(const Options& o, const std::string (&held)[outputs], std::vector<SafeFile>& files,
               Stop& stop) {
  std::vector<SafeFile*> kept;
  std::vector<std::string> names;
  for (int k = 0; k < outputs; ++k) {
    if (o.name[k].empty()) continue;
    // flushed at once: a disk that fills up fails the file that did not fit
    files[k].file.write(held[k].data(), static_cast<std::streamsize>(held[k].size()));
    files[k].file.flush();
    kept.push_back(&files[k]);
    names.push_back(o.name[k]);
  }
  std::size_t bad = commitfiles(kept);
  if (bad == kept.size()) return true;
  return fail(stop, names[bad], notplaced(kept, names, errno));
}

}  // namespace

bool commandline(MergedPattern& p, const std::vector<std::string>& args, std::ostream& out,
                 std::ostream& err, Stop& stop) {
  Options o;
  if (!parse(args, o, out, stop)) return false;
  std::ostream nowhere(nullptr);
  std::ostream& con = o.verbose ? out : nowhere;
  std::vector<Scan> scans;
  std::vector<SafeFile> files(outputs);  // open from the check to the end
  if (!check(o, scans, files, stop)) return false;

  RunRecord record;
  std::vector<ScanCounts> counts;  // each scan's rows, for the dead-time fit
  // with the report, every scan and output hashed on a second thread
  HashRing hashes(o.name[report].empty() ? 0 : static_cast<int>(scans.size()) + outputs);
  if (!mergeall(p, scans, o, record, counts, hashes, con, err, stop)) return false;
  if (o.fit) {
    record.fit = fitdeadtime(counts);
    record.fitted = true;
  }
  summary(p, con);
  std::vector<bool> reached(static_cast<std::size_t>(p.imax) + 1);  // 0 to imax
  for (int k = 0; k <= p.imax; ++k) reached[static_cast<std::size_t>(k)] = p.mon[k] != 0;
  if (!correct(p, o, reached, record, err, stop)) return false;
  std::string held[outputs];  // the files written in place, till all is checked
  const std::string& title = o.hastitle ? o.title : scans[0].line11;
  if (!writeall(p, o, title, reached, record, files, hashes, held, err, stop)) return false;
  if (!commitall(o, held, files, stop)) return false;
  for (int k = 0; k < outputs; ++k)
    if (!o.name[k].empty()) say(con, "Wrote %s\n", o.name[k].c_str());
  if (o.fit) say(out, "%s", fitline(record.fit).c_str());
  return true;
}
