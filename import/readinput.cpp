// xylib's formats: reads a file with xylib and turns each block into a range
// as the format gives it, with what xylib leaves out (UXD's keywords and
// counts per second, the formats' counting times) read here.
#include <xylib/xylib.h>

#include <cmath>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <sstream>

#include "readers.h"
#include "rules.h"
#include "util.h"

namespace {

double firstnumber(const MetaList& m, std::initializer_list<const char*> keys);

// Seconds per step where the format keeps it in its metadata, else NaN.
double blocktime(const std::string& fmt, const MetaList& file, const MetaList& blk) {
  if (fmt == "bruker_raw") {
    // version 3, 2 and 1 name it differently
    for (const char* k : {"TIME_PER_STEP", "SEC_PER_STEP", "MEASUREMENT_TIME_PER_STEP"})
      if (find(blk, k)) return number(*find(blk, k));
  } else if (fmt == "rigaku_dat") {
    // *SPEED in the unit *SPEED_DIM names (sec./step(FT), deg./min.), else
    // as *MEAS_MODE (FT, CS) or *SCAN_MODE (STEP, CONTINUOUS) has it; a file
    // that says nothing scans continuously
    auto key = [&](const char* k) {
      const std::string* v = find(blk, k);
      return clean(v ? *v : find(file, k) ? *find(file, k) : "");
    };
    std::string mode = key("MEAS_MODE");
    if (mode.empty()) mode = key("SCAN_MODE");
    if (mode.empty()) mode = "CONTINUOUS";
    return steptime(mode, number(blk, "STEP"), number(blk, "SPEED"), key("SPEED_DIM"));
  } else if (fmt == "pdcif") {
    // given once for the whole pattern, the time of every step (a loop
    // column of times, where there is one, is taken instead)
    return firstnumber(blk, {"_pd_meas_step_count_time", "pd_meas_step_count_time"});
  } else if (fmt == "philips_udf") {
    return number(blk, "ScanStepTime");
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
  double seconds = NaN;            // _STEPTIME of the range, else of the file
  std::vector<double> units;       // deg, of each printed angle; none for _COUNTS blocks
};

std::vector<UxdBlock> uxdblocks(const std::string& data) {
  std::vector<UxdBlock> blocks;
  std::istringstream in(data);
  std::string line, key, value;
  UxdBlock next;          // the keys read since the last _DRIVE
  double filetime = NaN;  // s, a _STEPTIME before the first _DRIVE
  bool rows = false;      // in the rows of a _2THETA block
  bool ranges = false;    // a _DRIVE was read
  while (std::getline(in, line)) {
    size_t a = line.find_first_not_of(" \t\r");
    if (a == std::string::npos || line[a] == ';') continue;
    if (line[a] != '_') {
      if (rows)
        blocks.back().units.push_back(
            lastunit(line.substr(a, line.find_first_of(" \t\r,", a) - a)));
      continue;
    }
    rows = false;
    keyword(line, key, value);
    if (key == "_DRIVE") {
      next = UxdBlock();
      next.drive = clean(value);
      next.seconds = filetime;
      ranges = true;
    } else if (key == "_START") {
      next.start = number(value);
    } else if (key == "_STEPSIZE") {
      next.step = number(value);
    } else if (key == "_STEPTIME") {
      (ranges ? next.seconds : filetime) = number(value);
    } else if (key.rfind("_2THETACOUNTSTIME", 0) == 0) {
      next.kind = unread;
      blocks.push_back(next);
    } else if (key.rfind("_COUNT", 0) == 0 || key.rfind("_CPS", 0) == 0) {
      next.kind = key.rfind("_CPS", 0) == 0 ? rate : counts;
      blocks.push_back(next);
    } else if (key.rfind("_2THETACOUNTS", 0) == 0 || key.rfind("_2THETACPS", 0) == 0) {
      next.kind = key.rfind("_2THETACPS", 0) == 0 ? rate : counts;
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
    if (find(m, k)) return number(*find(m, k));
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
  raw.seconds = fmt == "uxd" ? uxd.seconds : seconds;
  raw.rate = kind == rate;
  return raw;
}

}  // namespace

bool readxylib(const std::string& path, const std::string& data, const std::string& fmt,
               std::string& format, std::string& desc, MetaList& meta,
               std::vector<FileRange>& ranges, std::string& why) {
  std::unique_ptr<xylib::DataSet> ds;
  try {
    ds.reset(xylib::load_file(path, fmt));
  } catch (const std::exception& e) {
    why = std::string("xylib cannot read it: ") + clean(e.what());
    return false;
  } catch (...) {
    why = "xylib cannot read it";
    return false;
  }
  format = ds->fi->name;
  desc = ds->fi->desc;
  if (fmt.empty() && format == "text" && data.substr(0, 65536).find('\0') != std::string::npos) {
    // xylib falls back to plain text for what it does not recognise, and
    // would find numbers in any binary file
    why = "no format of xylib recognises it";
    if (startswith(data, "RAW4")) why += " (Bruker RAW 4, which xylib 1.6 does not read)";
    return false;
  }
  meta = metalist(ds->meta);
  int nb = ds->get_block_count();
  std::vector<UxdBlock> uxd(static_cast<size_t>(nb));
  if (format == "uxd") {
    uxd = uxdblocks(data);
    if (static_cast<int>(uxd.size()) != nb) {
      why = "cannot tell counts from counts per second in its ranges";
      return false;
    }
  }
  try {
    for (int k = 0; k < nb; ++k) {
      const xylib::Block& b = *ds->get_block(k);
      const UxdBlock& u = uxd[static_cast<size_t>(k)];
      double seconds = blocktime(format, meta, metalist(b.meta));
      ranges.push_back(blockrange(b, format, seconds, u));
    }
  } catch (const std::exception& e) {
    why = std::string("xylib cannot read it: ") + clean(e.what());
    return false;
  }
  return true;
}
