// Rigaku RAS (SmartLab's text files): between *RAS_DATA_START and
// *RAS_DATA_END, one block per range: a header of *KEY "value" lines between
// *RAS_HEADER_START and *RAS_HEADER_END, then rows of angle, counts and
// attenuation factor between *RAS_INT_START and *RAS_INT_END. Also what RASX
// shares with it: the scan's conditions, the rows and the lines of text.
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <unordered_map>

#include "readers.h"
#include "rigaku.h"
#include "rules.h"
#include "util.h"

namespace {

std::string value(const MetaList& m, const std::string& key) {
  const std::string* s = find(m, key);
  return s ? *s : "";
}

// "*KEY "value"": the key without its star, the value without its quotes
// and control characters.
void headerline(const std::string& line, MetaList& head) {
  size_t sp = line.find_first_of(" \t");
  std::string key = line.substr(1, sp == std::string::npos ? std::string::npos : sp - 1);
  head.emplace_back(key, clean(sp == std::string::npos ? "" : line.substr(sp + 1)));
}

// A range's scan from its header.
RigakuScan headerscan(const MetaList& head) {
  RigakuScan s;
  s.axis = value(head, "MEAS_SCAN_AXIS_X");
  if (s.axis.empty()) s.axis = value(head, "MEAS_SCAN_AXIS_X_INTERNAL");
  s.mode = value(head, "MEAS_SCAN_MODE");
  s.start = number(head, "MEAS_SCAN_START");
  s.stop = number(head, "MEAS_SCAN_STOP");
  s.step = number(head, "MEAS_SCAN_STEP");
  s.speed = number(head, "MEAS_SCAN_SPEED");
  s.speedunit = value(head, "MEAS_SCAN_SPEED_UNIT");
  s.yunit = value(head, "MEAS_SCAN_UNIT_Y");
  // the fixed axes' positions: *MEAS_COND_AXIS_NAME-n and -POSITION-n, the
  // first of each n (a header may list a great many)
  std::unordered_map<std::string, std::string> positions;
  for (const auto& kv : head)
    if (kv.first.rfind("MEAS_COND_AXIS_POSITION-", 0) == 0)
      positions.emplace(kv.first.substr(24), kv.second);
  for (const auto& kv : head)
    if (kv.first.rfind("MEAS_COND_AXIS_NAME-", 0) == 0) {
      auto p = positions.find(kv.first.substr(20));
      double v = NaN;
      rigakuaxis(kv.second, p != positions.end() && tonumber(p->second, v) ? v : NaN, s);
    }
  return s;
}

void headermeta(const MetaList& head, MetaList& meta) {
  const char* keys[][2] = {
      {"FILE_SAMPLE", "FILE_SAMPLE"},         {"FILE_COMMENT", "FILE_COMMENT"},
      {"MEAS_SCAN_START_TIME", "measured"},   {"HW_XG_TARGET_NAME", "TARGET"},
      {"HW_XG_WAVE_LENGTH_ALPHA1", "ALPHA1"}, {"MEAS_COND_XG_VOLTAGE", "KV"},
      {"MEAS_COND_XG_CURRENT", "MA"},         {"MEAS_SCAN_MODE", "MEAS_SCAN_MODE"}};
  for (const auto& k : keys)
    if (!value(head, k[0]).empty()) meta.emplace_back(k[1], value(head, k[0]));
}

// Omega at the range's start (deg) from the positions the conditions give
// for omega and 2theta: a coupled scan keeps omega - 2theta/2 as it moves.
double startomega(const std::string& axis, double start, double omega, double tth) {
  std::string a;
  for (char c : axis) a += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // TwoThetaTheta, TwoThetaOmega, OmegaTwoTheta: theta twice, or theta and omega
  size_t theta = a.find("theta");
  bool coupled = theta != std::string::npos && (a.find("theta", theta + 1) != std::string::npos ||
                                                a.find("omega") != std::string::npos);
  if (coupled && std::isfinite(tth)) return omega + (start - tth) / 2;
  return omega;
}

}  // namespace

void rigakuscan(const RigakuScan& s, FileRange& r) {
  r.axis = s.axis;
  r.seconds = steptime(s.mode, s.step, s.speed, s.speedunit);
  r.rate = s.yunit == "cps";
  r.start = s.start;
  r.step = s.stop < s.start ? -std::fabs(s.step) : std::fabs(s.step);
  r.chi = s.chi;
  r.phi = s.phi;
  if (!r.x.empty()) r.omega = startomega(s.axis, r.x[0], s.omega, s.twotheta);
  // a factor for every row or none
  if (r.factors.size() != r.x.size()) r.factors.clear();
}

void rigakuaxis(const std::string& name, double position, RigakuScan& s) {
  if (name == "Omega") s.omega = position;
  if (name == "TwoTheta") s.twotheta = position;
  if (name == "Chi") s.chi = position;
  if (name == "Phi") s.phi = position;
}

bool rigakuline(const std::string& text, size_t& pos, std::string& line) {
  if (pos == 0 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;  // a UTF-8 byte order mark
  if (pos >= text.size()) return false;
  size_t end = text.find('\n', pos);
  if (end == std::string::npos) end = text.size();
  line = text.substr(pos, end - pos);
  pos = end + 1;
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
    line.pop_back();
  return true;
}

bool rigakurow(const std::string& line, FileRange& r) {
  std::vector<double> row;
  const char* s = line.c_str();
  const char* first = nullptr;  // the end of the angle's text
  for (char* e = nullptr;; s = e) {
    double v = std::strtod(s, &e);
    if (e == s) break;
    if (row.empty()) first = e;
    row.push_back(v);
  }
  while (*s == ' ' || *s == '\t') ++s;
  if (row.empty() && s == line.c_str() + line.size()) return true;  // a blank line
  // a NUL byte ends the C string early: no row either
  if (row.size() < 2 || s != line.c_str() + line.size()) return false;
  r.x.push_back(row[0]);
  r.units.push_back(lastunit(line.substr(0, static_cast<size_t>(first - line.c_str()))));
  r.counts.push_back(row[1]);  // as counted: the factor is applied by the reader
  if (row.size() >= 3) r.factors.push_back(row[2]);
  return true;
}

bool readras(const std::string& data, MetaList& meta, std::vector<FileRange>& ranges,
             std::string& why) {
  (void)meta;  // each range carries its own header
  enum { outside, header, afterheader, rows, other, ended } state = outside;
  bool started = false;
  MetaList head;
  FileRange range;       // the range whose rows are being read
  std::string otherend;  // the end marker of a section of no interest
  size_t pos = 0, lineno = 0;
  std::string line;
  while (rigakuline(data, pos, line)) {
    ++lineno;
    std::string where = "line " + std::to_string(lineno) + ": ";
    if (!started) {
      if (line != "*RAS_DATA_START") {
        why = "not a Rigaku RAS file (no *RAS_DATA_START on line 1)";
        return false;
      }
      started = true;
      continue;
    }
    if (state == ended) break;
    if (state == other) {
      if (line == otherend) state = outside;
      continue;
    }
    if (state == header) {
      if (line == "*RAS_HEADER_END") {
        state = afterheader;
      } else if (!line.empty() && line[0] == '*') {
        headerline(line, head);
      } else if (!line.empty()) {
        why = where + "not a *KEY \"value\" line of a range header";
        return false;
      }
      continue;
    }
    if (state == rows) {
      if (line == "*RAS_INT_END") {
        rigakuscan(headerscan(head), range);
        headermeta(head, range.meta);
        ranges.push_back(std::move(range));
        range = FileRange();
        head.clear();
        state = outside;
      } else if (!rigakurow(line, range)) {
        why = where + "not a row of angle, counts and attenuation factor";
        return false;
      }
      continue;
    }
    if (state == afterheader) {
      if (line == "*RAS_INT_START") {
        state = rows;
      } else if (!line.empty()) {
        why = where + "*RAS_INT_START expected after the range header";
        return false;
      }
      continue;
    }
    // between ranges
    if (line == "*RAS_HEADER_START") {
      state = header;
    } else if (line == "*RAS_DATA_END") {
      state = ended;
    } else if (line.size() > 6 && line[0] == '*' &&
               line.compare(line.size() - 6, 6, "_START") == 0) {
      otherend = line.substr(0, line.size() - 6) + "_END";  // e.g. *RAS_TEMPERATURE_START
      state = other;
    } else if (!line.empty()) {
      why = where + "*RAS_HEADER_START or *RAS_DATA_END expected";
      return false;
    }
  }
  if (!started) {
    why = "not a Rigaku RAS file (empty)";
    return false;
  }
  if (state != ended) {
    why = "ends before *RAS_DATA_END: cut short";
    return false;
  }
  if (ranges.empty()) {
    why = "holds no range";
    return false;
  }
  return true;
}
