// Reads an instrument file with xylib and turns each block into a Range of
// counts per step, monitor and time per step.
#include <sys/stat.h>
#include <xylib/xylib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

#include "ownformats.h"
#include "scanimport.h"

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
// (counts per step) or _CPS or _2THETACPS (counts per second). xylib reads
// the numbers but keeps no trace of the keyword, so the keyword lines are
// looked up here, in the order of the blocks. _2THETACOUNTSTIME rows hold a
// third number that xylib takes for the next angle: such a block is marked.
enum Intensity { counts, rate, unread };

std::vector<Intensity> uxdintensities(const std::string& path) {
  std::vector<Intensity> kinds;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    size_t a = line.find_first_not_of(" \t");
    if (a == std::string::npos || line[a] != '_') continue;
    line = line.substr(a);
    if (line.rfind("_2THETACOUNTSTIME", 0) == 0)
      kinds.push_back(unread);
    else if (line.rfind("_COUNT", 0) == 0 || line.rfind("_2THETACOUNTS", 0) == 0)
      kinds.push_back(counts);
    else if (line.rfind("_CPS", 0) == 0 || line.rfind("_2THETACPS", 0) == 0)
      kinds.push_back(rate);
  }
  return kinds;
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
  std::string n = path.substr(path.find_last_of('/') + 1);
  size_t dot = n.find_last_of('.');
  if (dot != std::string::npos && dot > 0) n.erase(dot);
  return n;
}

// Fills r from a block's columns: x (deg), y (counts, or counts per second
// where rate), and where the file has them, per-point monitor counts and
// times (s); seconds is the time per step otherwise. false, with why, where
// the input as a whole fails.
bool fillrange(std::vector<double> x, const std::vector<double>& y, const std::vector<double>& mons,
               const std::vector<double>& times, double seconds, bool rate, const Options& opt,
               Range& r, std::string& why) {
  r.skip = stepcheck(x);
  if (!r.skip.empty()) return true;
  if (!positive(seconds) && times.empty()) {
    if (opt.tms <= 0) {
      why = "no counting time in the file; give the time per step with -t MS";
      return false;
    }
    seconds = opt.tms / 1000;
  }
  r.ratefile = rate;
  r.filemon = !mons.empty();
  r.tth = std::move(x);
  for (size_t i = 0; i < r.tth.size(); ++i) {
    double t = times.empty() ? seconds : times[i];  // s
    // the stand-in: 10^6 monitor counts per second of counting
    double m = mons.empty() ? 1e6 * t : mons[i];
    if (!std::isfinite(y[i]) || !std::isfinite(m) || !positive(t)) {
      r.skip = "holds counts, monitor counts or times that are not numbers";
      return true;
    }
    r.cts.push_back(rate ? y[i] * t : y[i]);
    r.mon.push_back(m);
    r.tim.push_back(1000 * t);
  }
  // a falling scan is written rising, as scanmerge wants the lowest angle first
  if (r.tth[1] < r.tth[0]) {
    std::reverse(r.tth.begin(), r.tth.end());
    std::reverse(r.cts.begin(), r.cts.end());
    std::reverse(r.mon.begin(), r.mon.end());
    std::reverse(r.tim.begin(), r.tim.end());
  }
  return true;
}

std::vector<double> values(const xylib::Block& b, int c) {
  std::vector<double> v;
  if (c == 0) return v;
  const xylib::Column& col = b.get_column(c);
  for (int i = 0; i < b.get_point_count(); ++i) v.push_back(col.get_value(i));
  return v;
}

// Fills r from xylib's block b, as fillrange does.
bool readblock(const xylib::Block& b, const std::string& fmt, double seconds, bool rate,
               const Options& opt, Range& r, std::string& why) {
  int xc = 1, yc = 2, mc = 0, tc = 0;
  if (fmt == "pdcif") {
    xc = column(b, "2theta");
    yc = column(b, "meas_counts_total");
    mc = column(b, "meas_counts_monitor");
    tc = column(b, "meas_step_count_time");
  }
  if (xc == 0 || yc == 0 || b.get_column_count() < 2) {
    r.skip = "holds no 2theta and counts columns";
    return true;
  }
  if (fmt == "xrdml" && b.get_column(xc).get_name() != "2Theta") {
    r.skip = "is a scan of " + clean(b.get_column(xc).get_name()) + ", not of 2theta";
    return true;
  }
  return fillrange(values(b, xc), values(b, yc), values(b, mc), values(b, tc), seconds, rate, opt,
                   r, why);
}

// XRDML files that hold <counts> instead of <intensities>, which xylib
// cannot read, from the scans pugixml gives.
bool xrdmlranges(const std::vector<XrdmlScan>& scans, const Options& opt, Instrument& ins,
                 std::string& why) {
  std::vector<FileRange> found;
  for (const XrdmlScan& s : scans) {
    FileRange raw;
    raw.axis = s.axis;
    raw.twotheta = s.axis == "2Theta";
    size_t n = s.counts.size();
    raw.x = s.x;
    raw.counts = s.counts;
    if (raw.x.empty() && n > 1)  // as xylib spreads start to end
      for (size_t i = 0; i < n; ++i)
        raw.x.push_back(s.start +
                        (s.end - s.start) / static_cast<double>(n - 1) * static_cast<double>(i));
    if (s.factors.size() == n) raw.factors = s.factors;
    raw.seconds = s.seconds;
    raw.rate = s.rate;
    found.push_back(std::move(raw));
  }
  return addranges(found, opt, ins, why);
}

}  // namespace

bool addranges(const std::vector<FileRange>& found, const Options& opt, Instrument& ins,
               std::string& why) {
  for (const FileRange& raw : found) {
    Range r;
    r.number = static_cast<int>(ins.ranges.size()) + 1;
    r.meta = raw.meta;
    size_t n = raw.counts.size();
    std::vector<double> y = raw.counts;
    // counts of attenuated steps are scaled up by the attenuation factor, as
    // the instrument does for <intensities>
    for (size_t i = 0; i < n && raw.factors.size() == n; ++i) y[i] *= raw.factors[i];
    if (!raw.skip.empty())
      r.skip = raw.skip;
    else if (!raw.twotheta)
      r.skip = "is a scan of " + clean(raw.axis) + ", not of 2theta";
    else if (raw.x.size() != n)
      r.skip = "has not as many positions as counts";
    else if (!fillrange(raw.x, y, raw.mons, raw.times, raw.seconds, raw.rate, opt, r, why))
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
  if (S_ISDIR(st.st_mode)) {
    why = "is a directory";
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
  std::unique_ptr<xylib::DataSet> ds;
  try {
    ds.reset(xylib::load_file(path, opt.format));
  } catch (const std::exception& e) {
    why = std::string("xylib cannot read it: ") + clean(e.what());
  } catch (...) {
    why = "xylib cannot read it";
  }
  if (!ds) {
    // newer XRDML files, which xylib 1.6 cannot read, go through pugixml
    std::ifstream f(path, std::ios::binary);
    const xylib::FormatInfo* fi = nullptr;
    try {
      fi =
          opt.format.empty()
              ? xylib::guess_filetype(path, f, nullptr)
              : static_cast<const xylib::FormatInfo*>(xylib_get_format_by_name(opt.format.c_str()));
    } catch (...) {
    }
    std::vector<XrdmlScan> scans;
    std::string xmlwhy;
    if (!fi || std::string(fi->name) != "xrdml" || !readxrdml(path, ins.meta, scans, xmlwhy))
      return false;
    ins.format = fi->name;
    ins.formatdesc = fi->desc;
    return xrdmlranges(scans, opt, ins, why);
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

  std::vector<double> times(static_cast<size_t>(nb), NaN);
  std::vector<Intensity> kinds(static_cast<size_t>(nb), counts);
  if (ins.format == "xrdml") {
    std::vector<XrdmlScan> scans;
    if (!readxrdml(path, ins.meta, scans, why)) return false;
    for (size_t i = 0; i < scans.size() && i < times.size(); ++i) {
      times[i] = scans[i].seconds;
      kinds[i] = scans[i].rate ? rate : counts;
    }
  } else if (ins.format == "uxd") {
    kinds = uxdintensities(path);
    if (static_cast<int>(kinds.size()) != nb) {
      why = "cannot tell counts from counts per second in its ranges";
      return false;
    }
  }

  try {
    for (int k = 0; k < nb; ++k) {
      const xylib::Block& b = *ds->get_block(k);
      Range r;
      r.number = k + 1;
      r.meta = metalist(b.meta);
      double seconds = positive(times[static_cast<size_t>(k)])
                           ? times[static_cast<size_t>(k)]
                           : blocktime(ins.format, ins.meta, r.meta);
      Intensity kind = kinds[static_cast<size_t>(k)];
      if (kind == unread)
        r.skip = "holds _2THETACOUNTSTIME rows, which xylib does not read";
      else if (!readblock(b, ins.format, seconds, kind == rate, opt, r, why))
        return false;
      ins.ranges.push_back(std::move(r));
    }
  } catch (const std::exception& e) {
    why = std::string("xylib cannot read it: ") + clean(e.what());
    return false;
  }
  return true;
}
