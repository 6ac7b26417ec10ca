// Bruker RAW version 4 (DIFFRAC.SUITE's binary files, "RAW4.00"): a 61-byte
// file header, a chain of (type, length) segments holding the file's
// metadata, then the ranges. A range is a 160-byte header, a chain of
// segments of its own (the drives' start positions among them), and one
// record of datum bytes per step whose first 4 are the counts.
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "readers.h"
#include "util.h"

namespace {

// Little-endian numbers at byte at; false where they would run past the end.
template <typename T>
bool get(const std::string& d, size_t at, T& v) {
  if (at > d.size() || d.size() - at < sizeof v) return false;
  unsigned char b[sizeof v];
  std::memcpy(b, d.data() + at, sizeof v);  // the file is little-endian, as are our machines
  std::memcpy(&v, b, sizeof v);
  return true;
}

double f64(const std::string& d, size_t at) {
  double v = NaN;
  return get(d, at, v) ? v : NaN;
}

double f32(const std::string& d, size_t at) {
  float v = 0;  // 32-bit in the file
  return get(d, at, v) ? v : NaN;
}

// A text field of n bytes: up to its first NUL, control characters as
// blanks, without surrounding blanks.
std::string text(const std::string& d, size_t at, size_t n) {
  if (at >= d.size()) return "";
  return clean(d.substr(at, n));
}

// a wavelength to its seven digits (%g would keep six)
std::string g7(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.7g", v);
  return buf;
}

std::string at(size_t pos) { return " at byte " + std::to_string(pos); }

// One range, its header at pos; pos is moved past its last record.
bool readrange(const std::string& d, size_t& pos, FileRange& r, std::string& why) {
  const size_t headsize = 160;
  if (d.size() - pos < headsize) {
    why = "ends inside a range header" + at(pos);
    return false;
  }
  std::uint32_t steps = 0, datum = 0, extra = 0;
  get(d, pos + 88, steps);
  get(d, pos + 136, datum);  // bytes per step
  get(d, pos + 140, extra);  // bytes of the range's segments
  r.axis = text(d, pos + 32, 24);
  double start = f64(d, pos + 72), step = f64(d, pos + 80);  // deg
  // s per step, the effective time: a strip detector's strips times each
  // strip's time (BRML files of the same instruments store it so)
  double sec = f32(d, pos + 92);
  r.seconds = sec > 0 && std::isfinite(sec) ? sec : NaN;
  r.meta.emplace_back("SCAN_TYPE", r.axis);
  double kv = f32(d, pos + 100), ma = f32(d, pos + 104), wl = f64(d, pos + 112);
  if (kv > 0) r.meta.emplace_back("GENERATOR_VOLTAGE", gnum(kv));
  if (ma > 0) r.meta.emplace_back("GENERATOR_CURRENT", gnum(ma));
  if (wl > 0) r.meta.emplace_back("USED_LAMBDA", g7(wl));
  size_t seg = pos + headsize;
  if (extra > d.size() - seg) {
    why = "ends inside a range header" + at(pos);
    return false;
  }
  size_t data = seg + extra;
  // the range's segments: type 50 gives a drive's name and start position
  while (seg < data) {
    std::uint32_t type = 0, len = 0;
    if (!get(d, seg, type) || !get(d, seg + 4, len) || len < 8 || len > data - seg) {
      why = "has a malformed range header" + at(seg);
      return false;
    }
    if (type == 50 && len >= 64) {
      std::string drive = text(d, seg + 12, 24);
      double p = f64(d, seg + 56);  // deg at the range's start
      if (drive == "Theta" || drive == "Omega") r.omega = p;
      if (drive == "Chi") r.chi = p;
      if (drive == "Phi") r.phi = p;
    }
    seg += len;
  }
  if (datum < 4 || datum > 65536) {
    why = "has a range of " + std::to_string(datum) + " bytes per step" + at(pos);
    return false;
  }
  if (steps > (d.size() - data) / datum) {
    why = "ends inside the counts of a range" + at(data);
    return false;
  }
  if (!std::isfinite(start) || !std::isfinite(step))
    r.skip = "has no start or step that is a number";
  r.start = start;
  r.step = step;
  for (std::uint32_t i = 0; i < steps; ++i) {
    r.x.push_back(start + step * i);
    r.counts.push_back(f32(d, data + static_cast<size_t>(i) * datum));
  }
  pos = data + static_cast<size_t>(steps) * datum;
  return true;
}

}  // namespace

bool readraw4(const std::string& d, MetaList& meta, std::vector<FileRange>& ranges,
              std::string& why) {
  if (d.compare(0, 7, "RAW4.00") != 0) {
    why = "not a Bruker RAW 4 file";
    return false;
  }
  size_t pos = 61;  // the file header's end
  if (d.size() < pos) {
    why = "ends inside its header";
    return false;
  }
  meta.emplace_back("MEASURE_DATE", text(d, 12, 12));
  meta.emplace_back("MEASURE_TIME", text(d, 24, 10));
  // the file's segments, up to the first range (type 0 or 160)
  std::uint32_t type = 0;
  while (get(d, pos, type) && type != 0 && type != 160) {
    std::uint32_t len = 0;
    if (!get(d, pos + 4, len) || len < 8 || len > d.size() - pos) {
      why = "has a malformed header segment" + at(pos);
      return false;
    }
    if (type == 10 && len >= 36) {  // a named text: user, site, sample, comment
      std::string key = text(d, pos + 12, 24), value = text(d, pos + 36, len - 36);
      meta.emplace_back(key == "SAMPLEID" ? "SAMPLE_ID" : key, value);
    } else if (type == 30 && len >= 120) {  // the tube
      meta.emplace_back("ANODE_MATERIAL", text(d, pos + 116, 4));
      double a1 = f64(d, pos + 80);  // Angstrom
      if (a1 > 0) meta.emplace_back("ALPHA1", g7(a1));
    }
    pos += len;
  }
  while (pos < d.size()) {
    if (!get(d, pos, type)) {
      why = "ends inside a range header" + at(pos);
      return false;
    }
    if (type != 0 && type != 160) {
      why =
          "holds data of no known kind" + at(pos) + " after range " + std::to_string(ranges.size());
      return false;
    }
    FileRange r;
    if (!readrange(d, pos, r, why)) return false;
    ranges.push_back(std::move(r));
  }
  if (ranges.empty()) {
    why = "holds no range";
    return false;
  }
  return true;
}
