// Reads an instrument file with xylib and turns each block into a Range of
// counts per step, monitor and time per step.
#include <sys/stat.h>
#include <xylib/xylib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <memory>

#include "merge/limits.h"
#include "ownformats.h"
#include "scanimport.h"
#include "text/console.h"

namespace {

const double NaN = std::nan("");

// Metadata as text for the header: up to a NUL, control characters as
// blanks, without surrounding blanks and the quotes UXD puts around strings.
std::string clean(const std::string& s) {
  std::string t = s.substr(0, s.find('\0'));
  for (char& c : t)
    if (static_cast<unsigned char>(c) < 32 || c == 127) c = ' ';
  size_t a = t.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  t = t.substr(a, t.find_last_not_of(' ') - a + 1);
  if (t.size() >= 2 && t.front() == '\'' && t.back() == '\'') t = t.substr(1, t.size() - 2);
  return t;
}

const std::string* find(const MetaList& m, const std::string& key) {
  for (const auto& kv : m)
    if (kv.first == key) return &kv.second;
  return nullptr;
}

// The whole of s as a number; NaN where it is none.
double number(const std::string* s) {
  if (!s || s->empty()) return NaN;
  char* end = nullptr;
  double v = std::strtod(s->c_str(), &end);
  while (*end == ' ') ++end;
  return *end ? NaN : v;
}

bool positive(double v) { return std::isfinite(v) && v > 0; }

// Seconds per step where the format keeps it in its metadata, else NaN.
double blocktime(const std::string& fmt, const MetaList& file, const MetaList& blk) {
  if (fmt == "bruker_raw") {
    // version 3, 2 and 1 name it differently
    for (const char* k : {"TIME_PER_STEP", "SEC_PER_STEP", "MEASUREMENT_TIME_PER_STEP"})
      if (find(blk, k)) return number(find(blk, k));
  } else if (fmt == "uxd") {
    const std::string* t = find(blk, "STEPTIME");
    return number(t ? t : find(file, "STEPTIME"));
  } else if (fmt == "rigaku_dat") {
    // a step scan counts SPEED seconds at each step; a continuous scan
    // moves at SPEED deg/min, so a step takes 60 * STEP / SPEED seconds
    double speed = number(find(blk, "SPEED"));
    const std::string* mode = find(blk, "SCAN_MODE");
    if (mode && clean(*mode).rfind("STEP", 0) == 0) return speed;
    return 60 * std::fabs(number(find(blk, "STEP"))) / speed;
  } else if (fmt == "philips_udf") {
    return number(find(blk, "ScanStepTime"));
  }
  return NaN;
}

// UXD: whether each block's intensities follow _COUNTS or _2THETACOUNTS
// (counts per step) or _CPS or _2THETACPS (counts per second), its drive,
// declared start and step, and the unit of the last printed digit of each
// angle a _2THETA block prints. xylib reads the numbers but keeps none of
// these, so the keyword lines and rows are looked up here, in the order of
// the blocks. _2THETACOUNTSTIME rows hold a third number that xylib takes for
// the next angle: such a block is marked.
enum Intensity { counts, rate, unread };

struct UxdBlock {
  Intensity kind = counts;
  std::string drive;               // _DRIVE, as written
  double start = NaN, step = NaN;  // deg, _START and _STEPSIZE
  std::vector<double> units;       // deg, of each printed angle; none for _COUNTS blocks
};

std::vector<UxdBlock> uxdblocks(const std::string& path) {
  std::vector<UxdBlock> blocks;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  UxdBlock next;      // the keys read since the last _DRIVE
  bool rows = false;  // in the rows of a _2THETA block
  while (std::getline(in, line)) {
    size_t a = line.find_first_not_of(" \t\r");
    if (a == std::string::npos || line[a] == ';') continue;
    if (line[a] != '_') {
      if (rows)
        blocks.back().units.push_back(lastunit(line.substr(a, line.find_first_of(" \t,", a) - a)));
      continue;
    }
    rows = false;
    line = line.substr(a);
    size_t eq = line.find('=');
    std::string key = line.substr(0, eq),
                value = eq == std::string::npos ? "" : line.substr(eq + 1);
    if (key == "_DRIVE") {
      next = UxdBlock();
      next.drive = clean(value);
    } else if (key == "_START") {
      next.start = number(&value);
    } else if (key == "_STEPSIZE") {
      next.step = number(&value);
    } else if (line.rfind("_2THETACOUNTSTIME", 0) == 0) {
      next.kind = unread;
      blocks.push_back(next);
    } else if (line.rfind("_COUNT", 0) == 0 || line.rfind("_CPS", 0) == 0) {
      next.kind = line.rfind("_CPS", 0) == 0 ? rate : counts;
      blocks.push_back(next);
    } else if (line.rfind("_2THETACOUNTS", 0) == 0 || line.rfind("_2THETACPS", 0) == 0) {
      next.kind = line.rfind("_2THETACPS", 0) == 0 ? rate : counts;
      blocks.push_back(next);
      rows = true;
    }
  }
  return blocks;
}

// pdCIF names its loop columns; other formats give x, then y.
int column(const xylib::Block& b, const char* name) {
  for (int c = 1; c <= b.get_column_count(); ++c)
    if (b.get_column(c).get_name().find(name) != std::string::npos) return c;
  return 0;
}

MetaList metalist(const xylib::MetaData& m) {
  MetaList list;
  for (size_t i = 0; i < m.size(); ++i) {
    const std::string& key = m.get_key(i);
    list.emplace_back(clean(key), clean(m.get(key)));
  }
  return list;
}

// The first n bytes of the file.
std::string slurphead(const std::string& path, size_t n) {
  std::ifstream in(path, std::ios::binary);
  std::string head(n, '\0');
  in.read(&head[0], static_cast<std::streamsize>(n));
  head.resize(static_cast<size_t>(in.gcount()));
  return head;
}

// A NUL byte in the first 64 KiB: no text file.
bool binary(const std::string& path) {
  return slurphead(path, 65536).find('\0') != std::string::npos;
}

std::string basename(const std::string& path) {
#ifdef _WIN32
  const char* separators = "/\\:";  // C:name, C:\folder\name
#else
  const char* separators = "/";
#endif
  std::string n = path.substr(path.find_last_of(separators) + 1);
  size_t dot = n.find_last_of('.');
  if (dot != std::string::npos && dot > 0) n.erase(dot);
  return n;
}

// Whether a drive, as a file names it, moves 2theta: coupled theta-2theta,
// 2theta-omega or 2theta alone. A file that names no drive scans 2theta.
bool drives2theta(const std::string& drive) {
  std::string d;
  for (char c : drive)
    if (std::isalnum(static_cast<unsigned char>(c)))
      d += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const char* yes : {"", "COUPLED", "LOCKEDCOUPLED", "UNLOCKEDCOUPLED", "UNLOCKED", "TWOTHETA",
                          "2THETA", "DETECTOR", "2THETAOMEGA", "OMEGA2THETA", "2THETATHETA",
                          "THETA2THETA", "THETATHETA", "GONIO"})
    if (d == yes) return true;
  return false;
}

// Where the detected counts are whole numbers.
bool whole(double c) { return std::fabs(c - std::nearbyint(c)) <= 1e-6 * std::max(1.0, c); }

// The offset of the last point on the grid that scanmerge would make of
// this scan as its first file, deg: the grid step is its first two 32-bit
// angles' difference to the grid's tolerance.
double gridoff(const std::vector<double>& tth) {
  size_t n = std::min(tth.size(), static_cast<size_t>(maxpts));
  double tthmin = static_cast<float>(tth[0]);
  double tthstep = gridstep(static_cast<double>(static_cast<float>(tth[1])) - tthmin);
  return tthmin + static_cast<double>(n - 1) * tthstep - static_cast<float>(tth[n - 1]);
}

// Fills r from a range as its reader found it. The counts are those the
// detector counted, and the monitor of an attenuated step is divided by its
// factor, so that the intensity comes out the same and its standard
// deviation from the counts. Warnings go to notes. false, with why, where
// the input as a whole fails.
bool fillrange(const FileRange& raw, const Options& opt, Range& r, std::vector<std::string>& notes,
               std::string& why) {
  size_t n = raw.counts.size();
  std::vector<double> x = raw.x;
  // printed angles rounded from a declared start and step are written as
  // the start and step give them
  if (std::isfinite(raw.start) && std::isfinite(raw.step) && raw.step != 0 &&
      raw.units.size() == n && x.size() == n) {
    bool agree = true, differ = false;
    for (size_t i = 0; i < n && agree; ++i) {
      double d = raw.start + raw.step * static_cast<double>(i);
      agree = std::fabs(x[i] - d) <= raw.units[i] * (1 + 1e-9);
      differ = differ || std::fabs(x[i] - d) > 1e-9 * std::max(1.0, std::fabs(d));
    }
    if (agree && differ) {
      for (size_t i = 0; i < n; ++i) x[i] = raw.start + raw.step * static_cast<double>(i);
      notes.push_back("range " + std::to_string(r.number) +
                      ": angles written as the declared start " + gnum(raw.start) + " + i * step " +
                      gnum(raw.step) + " deg, which every printed angle rounds");
    }
  }
  r.skip = stepcheck(x);
  if (!r.skip.empty()) return true;
  double seconds = raw.seconds;
  if (!positive(seconds) && raw.times.empty()) {
    if (opt.tms <= 0) {
      why = "no counting time in the file; give the time per step with -t MS";
      return false;
    }
    seconds = opt.tms / 1000;
  }
  r.ratefile = raw.rate;
  r.filemon = !raw.mons.empty();
  r.omega = raw.omega;
  r.chi = raw.chi;
  r.phi = raw.phi;
  r.omoff = raw.omega - x[0] / 2;
  r.tth = std::move(x);
  bool fraction = false;
  for (size_t i = 0; i < n; ++i) {
    double t = raw.times.empty() ? seconds : raw.times[i];  // s
    double f = raw.factors.empty() ? 1 : raw.factors[i];
    double c = raw.rate ? raw.counts[i] * t : raw.counts[i];
    double m = r.filemon ? raw.mons[i] / f : 0;
    if (!std::isfinite(c) || !std::isfinite(m) || !positive(t)) {
      r.skip = "holds counts, monitor counts or times that are not numbers";
      return true;
    }
    fraction = fraction || !whole(c);
    r.cts.push_back(c);
    r.att.push_back(f);
    r.mon.push_back(m);
    r.tim.push_back(1000 * t);
  }
  if (!r.filemon) standin(r, opt.refms > 0 ? opt.refms : r.tim[0]);
  if (fraction)
    notes.push_back(
        "counts are not whole numbers: scanmerge's standard deviations will not be counting "
        "statistics");
  // a falling scan is written rising, as scanmerge wants the lowest angle first
  if (r.tth[1] < r.tth[0])
    for (std::vector<double>* v : {&r.tth, &r.cts, &r.mon, &r.tim, &r.att})
      std::reverse(v->begin(), v->end());
  double step = (r.tth[n - 1] - r.tth[0]) / static_cast<double>(n - 1);
  double units = step / steptolerance;  // in the grid's units
  double off = gridoff(r.tth);
  // said where the offset shows in four decimals
  if (std::fabs(units - std::nearbyint(units)) > 1e-6 * std::max(1.0, std::fabs(units)) &&
      std::fabs(off) >= steptolerance / 2)
    notes.push_back(
        format("step %.7f deg is not a multiple of %g deg: scanmerge will place the "
               "last point %.4f deg off",
               step, steptolerance, off));
  return true;
}

std::vector<double> values(const xylib::Block& b, int c) {
  std::vector<double> v;
  if (c == 0) return v;
  const xylib::Column& col = b.get_column(c);
  for (int i = 0; i < b.get_point_count(); ++i) v.push_back(col.get_value(i));
  return v;
}

// The first of keys that the metadata give as a number; NaN where none.
double firstnumber(const MetaList& m, std::initializer_list<const char*> keys) {
  for (const char* k : keys)
    if (find(m, k)) return number(find(m, k));
  return NaN;
}

// A range of xylib's block b. The drive (UXD's from uxd, RAW 4's scan type),
// omega, chi and phi as the formats name them in their metadata (UXD, RAW 1
// and 4); seconds per step where the file keeps it apart from the block.
FileRange blockrange(const xylib::Block& b, const std::string& fmt, double seconds,
                     const UxdBlock& uxd) {
  FileRange raw;
  raw.meta = metalist(b.meta);
  const std::string* drive = find(raw.meta, "SCAN_TYPE");
  raw.axis = fmt == "uxd" ? uxd.drive : drive ? *drive : "";
  raw.twotheta = drives2theta(raw.axis);
  raw.omega = firstnumber(raw.meta, {"THETA", "OMEGA", "THETA_START", "START_THETA"});
  raw.chi = firstnumber(raw.meta, {"KHI", "CHI", "KHI_START", "START_CHI"});
  raw.phi = firstnumber(raw.meta, {"PHI", "PHI_START", "START_PHI"});
  raw.start = uxd.start;
  raw.step = uxd.step;
  raw.units = uxd.units;
  Intensity kind = uxd.kind;
  if (kind == unread) {
    raw.skip = "holds _2THETACOUNTSTIME rows, which xylib does not read";
    return raw;
  }
  int xc = 1, yc = 2, mc = 0, tc = 0;
  if (fmt == "pdcif") {
    xc = column(b, "2theta");
    yc = column(b, "meas_counts_total");
    mc = column(b, "meas_counts_monitor");
    tc = column(b, "meas_step_count_time");
  }
  if (xc == 0 || yc == 0 || b.get_column_count() < 2) {
    raw.skip = "holds no 2theta and counts columns";
    return raw;
  }
  raw.x = values(b, xc);
  raw.counts = values(b, yc);
  raw.mons = values(b, mc);
  raw.times = values(b, tc);
  raw.seconds = seconds;
  raw.rate = kind == rate;
  return raw;
}

// XRDML, read with pugixml: the scans as FileRanges.
std::vector<FileRange> xrdmlranges(const std::vector<XrdmlScan>& scans) {
  std::vector<FileRange> found;
  for (const XrdmlScan& s : scans) {
    FileRange raw;
    raw.axis = s.axis;
    raw.twotheta = s.axis == "2Theta";
    size_t n = s.counts.size();
    raw.x = s.x;
    raw.counts = s.counts;
    if (raw.x.empty() && n > 1)  // spread from start to end
      for (size_t i = 0; i < n; ++i)
        raw.x.push_back(s.start +
                        (s.end - s.start) / static_cast<double>(n - 1) * static_cast<double>(i));
    raw.factors = s.factors;
    // intensities are the detected counts times the factor, which was a
    // whole number of counts before
    for (size_t i = 0; i < n && s.scaled && s.factors.size() == n; ++i)
      if (positive(s.factors[i])) {
        double c = s.counts[i] / s.factors[i];
        raw.counts[i] = !s.rate && std::fabs(c - std::nearbyint(c)) <= 0.01 ? std::nearbyint(c) : c;
      }
    raw.seconds = s.seconds;
    raw.times = s.times;
    raw.rate = s.rate;
    raw.omega = s.omega;
    raw.chi = s.chi;
    raw.phi = s.phi;
    found.push_back(std::move(raw));
  }
  return found;
}

}  // namespace

double lastunit(const std::string& text) {
  const char* p = text.c_str();
  char* end = nullptr;
  std::strtod(p, &end);
  if (end == p) return NaN;
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  std::string num(p, static_cast<size_t>(end - p));  // the number's own characters
  size_t e = num.find_first_of("eE");
  std::string mant = num.substr(0, e);
  size_t dot = mant.find('.');
  int decimals = dot == std::string::npos ? 0 : static_cast<int>(mant.size() - dot - 1);
  int exponent = e == std::string::npos ? 0 : std::atoi(num.c_str() + e + 1);
  return std::pow(10.0, exponent - decimals);
}

void standin(Range& r, double refms) {
  r.refms = refms;
  if (r.filemon) return;
  for (size_t i = 0; i < r.mon.size(); ++i) r.mon[i] = 1e6 * r.tim[i] / refms / r.att[i];
}

bool addranges(const std::vector<FileRange>& found, const Options& opt, Instrument& ins,
               std::string& why) {
  for (const FileRange& raw : found) {
    Range r;
    r.number = static_cast<int>(ins.ranges.size()) + 1;
    r.meta = raw.meta;
    size_t n = raw.counts.size();
    bool negative = false, badfactor = false;
    for (double c : raw.counts) negative = negative || c < 0;
    for (double f : raw.factors) badfactor = badfactor || !positive(f);
    if (!raw.skip.empty())
      r.skip = raw.skip;
    else if (!raw.twotheta)
      r.skip = "is a scan of " + clean(raw.axis) + ", not of 2theta";
    else if (raw.x.size() != n)
      r.skip = "has not as many positions as counts";
    else if ((!raw.times.empty() && raw.times.size() != n) ||
             (!raw.mons.empty() && raw.mons.size() != n))
      r.skip = "has not as many counting times or monitor counts as counts";
    else if (negative)
      r.skip = "holds negative counts";
    else if (!raw.factors.empty() && raw.factors.size() != n)
      r.skip = "has " + std::to_string(raw.factors.size()) + " attenuation factors for " +
               std::to_string(n) + " counts";
    else if (badfactor)
      r.skip = "holds attenuation factors of 0 or below";
    else if (!fillrange(raw, opt, r, ins.notes, why))
      return false;
    ins.ranges.push_back(std::move(r));
  }
  return true;
}
std::string stepcheck(const std::vector<double>& tth) {
  size_t n = tth.size();
  if (n < 2) return "has fewer than two points";
  double mean = (tth[n - 1] - tth[0]) / static_cast<double>(n - 1);
  if (!std::isfinite(mean) || mean == 0) return "is not a step scan (no steady step in 2theta)";
  for (size_t i = 1; i < n; ++i)
    if (!((tth[i] - tth[i - 1]) / mean > 0))
      return "is not a step scan (2theta does not rise or fall steadily)";
  for (size_t i = 1; i < n; ++i)
    if (!(std::fabs(tth[i] - tth[i - 1] - mean) <= 0.01 * std::fabs(mean)))
      return "is not a step scan (its steps differ by more than 1 %)";
  return "";
}

bool readinstrument(const std::string& path, const Options& opt, Instrument& ins,
                    std::string& why) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    why = std::strerror(errno);
    return false;
  }
  // a device or a FIFO would be read without end or wait for a writer
  if (!S_ISREG(st.st_mode)) {
    why = S_ISDIR(st.st_mode) ? "is a directory" : "not a regular file";
    return false;
  }
  if (!std::ifstream(path, std::ios::binary)) {
    why = std::string("cannot be read: ") + std::strerror(errno);
    return false;
  }
  ins.path = path;
  ins.name = basename(path);
  bool ok = false;  // the formats xylib does not read
  if (readown(path, opt, ins, ok, why)) return ok;
  const xylib::FormatInfo* fi = nullptr;
  try {
    std::ifstream f(path, std::ios::binary);
    fi = opt.format.empty()
             ? xylib::guess_filetype(path, f, nullptr)
             : static_cast<const xylib::FormatInfo*>(xylib_get_format_by_name(opt.format.c_str()));
  } catch (...) {
  }
  if (fi && std::string(fi->name) == "xrdml") {
    // XRDML goes through pugixml alone: xylib keeps neither the counting
    // time, the attenuation, nor the other axes, and cannot read <counts>
    std::vector<XrdmlScan> scans;
    if (!readxrdml(path, ins.meta, scans, why)) return false;
    ins.format = fi->name;
    ins.formatdesc = fi->desc;
    return addranges(xrdmlranges(scans), opt, ins, why);
  }
  std::unique_ptr<xylib::DataSet> ds;
  try {
    ds.reset(xylib::load_file(path, opt.format));
  } catch (const std::exception& e) {
    why = std::string("xylib cannot read it: ") + clean(e.what());
    return false;
  } catch (...) {
    why = "xylib cannot read it";
    return false;
  }
  ins.format = ds->fi->name;
  ins.formatdesc = ds->fi->desc;
  if (opt.format.empty() && ins.format == "text" && binary(path)) {
    // xylib falls back to plain text for what it does not recognise, and
    // would find numbers in any binary file
    why = "no format of xylib recognises it";
    if (slurphead(path, 4) == "RAW4") why += " (Bruker RAW 4, which xylib 1.6 does not read)";
    return false;
  }
  ins.meta = metalist(ds->meta);
  int nb = ds->get_block_count();
  std::vector<UxdBlock> uxd(static_cast<size_t>(nb));
  if (ins.format == "uxd") {
    uxd = uxdblocks(path);
    if (static_cast<int>(uxd.size()) != nb) {
      why = "cannot tell counts from counts per second in its ranges";
      return false;
    }
  }
  std::vector<FileRange> found;
  try {
    for (int k = 0; k < nb; ++k) {
      const xylib::Block& b = *ds->get_block(k);
      const UxdBlock& u = uxd[static_cast<size_t>(k)];
      double seconds = blocktime(ins.format, ins.meta, metalist(b.meta));
      found.push_back(blockrange(b, ins.format, seconds, u));
    }
  } catch (const std::exception& e) {
    why = std::string("xylib cannot read it: ") + clean(e.what());
    return false;
  }
  return addranges(found, opt, ins, why);
}
