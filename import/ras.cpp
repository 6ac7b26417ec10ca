// Rigaku RAS (SmartLab's text files): between *RAS_DATA_START and
// *RAS_DATA_END, one block per range: a header of *KEY "value" lines between
// *RAS_HEADER_START and *RAS_HEADER_END, then rows of angle, counts and
// attenuation factor between *RAS_INT_START and *RAS_INT_END.
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "ownformats.h"

namespace {

const double NaN = std::nan("");

const std::string* find(const MetaList& m, const std::string& key) {
  for (const auto& kv : m)
    if (kv.first == key) return &kv.second;
  return nullptr;
}

double number(const MetaList& m, const std::string& key) {
  const std::string* s = find(m, key);
  double v = NaN;
  return s && tonumber(*s, v) ? v : NaN;
}

std::string value(const MetaList& m, const std::string& key) {
  const std::string* s = find(m, key);
  return s ? *s : "";
}

// "*KEY "value"": the key without its star, the value without its quotes
// and control characters.
void headerline(const std::string& line, MetaList& head) {
  size_t sp = line.find_first_of(" \t");
  std::string key = line.substr(1, sp == std::string::npos ? std::string::npos : sp - 1);
  std::string v = sp == std::string::npos ? "" : line.substr(sp + 1);
  for (char& c : v)
    if (static_cast<unsigned char>(c) < 32) c = ' ';
  size_t a = v.find_first_not_of(' ');
  v = a == std::string::npos ? "" : v.substr(a, v.find_last_not_of(' ') - a + 1);
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  head.emplace_back(key, v);
}

// A range from its header and rows (angle, counts, attenuation factor).
FileRange makerange(const MetaList& head, const std::vector<std::vector<double>>& rows) {
  FileRange r;
  r.axis = value(head, "MEAS_SCAN_AXIS_X");
  if (r.axis.empty()) r.axis = value(head, "MEAS_SCAN_AXIS_X_INTERNAL");
  r.twotheta = rigakutwotheta(r.axis);
  bool factors = !rows.empty();
  for (const auto& row : rows) factors = factors && row.size() >= 3;
  for (const auto& row : rows) {
    r.x.push_back(row[0]);
    r.counts.push_back(row[1]);  // as counted: the factor is applied by the reader
    if (factors) r.factors.push_back(row[2]);
  }
  r.seconds = rigakuseconds(value(head, "MEAS_SCAN_MODE"), number(head, "MEAS_SCAN_STEP"),
                            number(head, "MEAS_SCAN_SPEED"), value(head, "MEAS_SCAN_SPEED_UNIT"));
  r.rate = value(head, "MEAS_SCAN_UNIT_Y") == "cps";
  // the fixed axes' positions: *MEAS_COND_AXIS_NAME-n and -POSITION-n
  double omega = NaN, twotheta = NaN;
  for (const auto& kv : head) {
    if (kv.first.rfind("MEAS_COND_AXIS_NAME-", 0) != 0) continue;
    double p = number(head, "MEAS_COND_AXIS_POSITION-" + kv.first.substr(20));
    if (kv.second == "Omega") omega = p;
    if (kv.second == "TwoTheta") twotheta = p;
    if (kv.second == "Chi") r.chi = p;
    if (kv.second == "Phi") r.phi = p;
  }
  if (!r.x.empty()) r.omega = rigakuomega(r.axis, r.x[0], omega, twotheta);
  const char* keys[][2] = {
      {"FILE_SAMPLE", "FILE_SAMPLE"},         {"FILE_COMMENT", "FILE_COMMENT"},
      {"MEAS_SCAN_START_TIME", "measured"},   {"HW_XG_TARGET_NAME", "TARGET"},
      {"HW_XG_WAVE_LENGTH_ALPHA1", "ALPHA1"}, {"MEAS_COND_XG_VOLTAGE", "KV"},
      {"MEAS_COND_XG_CURRENT", "MA"},         {"MEAS_SCAN_MODE", "MEAS_SCAN_MODE"}};
  for (const auto& k : keys)
    if (!value(head, k[0]).empty()) r.meta.emplace_back(k[1], value(head, k[0]));
  return r;
}

}  // namespace

bool rigakutwotheta(const std::string& axis) {
  // TwoTheta, TwoThetaOmega, TwoThetaTheta, OmegaTwoTheta, 2-Theta/Omega, ...;
  // not TwoThetaChi (in-plane) nor TwoThetaChiPhi
  std::string a;
  for (char c : axis)
    if (std::isalnum(static_cast<unsigned char>(c)))
      a += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (a.find("chi") != std::string::npos) return false;
  return a.find("twotheta") != std::string::npos || a.find("2theta") != std::string::npos;
}

double rigakuomega(const std::string& axis, double start, double omega, double twotheta) {
  std::string a;
  for (char c : axis) a += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // TwoThetaTheta, TwoThetaOmega, OmegaTwoTheta: theta twice, or theta and omega
  size_t theta = a.find("theta");
  bool coupled = theta != std::string::npos && (a.find("theta", theta + 1) != std::string::npos ||
                                                a.find("omega") != std::string::npos);
  if (coupled && std::isfinite(twotheta)) return omega + (start - twotheta) / 2;
  return omega;
}

double rigakuseconds(const std::string& mode, double step, double speed, const std::string& unit) {
  if (!(speed > 0) || !std::isfinite(speed)) return NaN;
  std::string u;
  for (char c : unit) u += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  bool perminute = u.find("/min") != std::string::npos;
  if (u.find("deg") != std::string::npos || u.find("/") != std::string::npos) {
    // a continuous scan: deg per minute (or second); a step takes step/speed
    double t = std::fabs(step) / speed * (perminute ? 60 : 1);
    return t > 0 && std::isfinite(t) ? t : NaN;
  }
  if (u == "min") return speed * 60;
  // a step scan counts speed seconds at each step
  std::string m;
  for (char c : mode) m += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (u == "s" || u == "sec" || m.rfind("STEP", 0) == 0) return speed;
  return NaN;
}

bool readras(const std::string& data, MetaList& meta, std::vector<FileRange>& ranges,
             std::string& why) {
  (void)meta;  // each range carries its own header
  enum { outside, header, afterheader, rows, other, ended } state = outside;
  bool started = false;
  MetaList head;
  std::vector<std::vector<double>> table;
  std::string otherend;  // the end marker of a section of no interest
  size_t pos = 0, lineno = 0;
  if (data.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;  // a UTF-8 byte order mark
  while (pos < data.size()) {
    size_t end = data.find('\n', pos);
    if (end == std::string::npos) end = data.size();
    std::string line = data.substr(pos, end - pos);
    pos = end + 1;
    ++lineno;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
      line.pop_back();
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
        ranges.push_back(makerange(head, table));
        head.clear();
        table.clear();
        state = outside;
        continue;
      }
      if (line.empty()) continue;
      std::vector<double> row;
      const char* s = line.c_str();
      for (char* e = nullptr;; s = e) {
        double v = std::strtod(s, &e);
        if (e == s) break;
        row.push_back(v);
      }
      while (*s == ' ' || *s == '\t') ++s;
      if (row.size() < 2 || *s) {
        why = where + "not a row of angle, counts and attenuation factor";
        return false;
      }
      table.push_back(row);
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
