// The scan file scanmerge reads: lines 1-10 the origin and metadata, 11 the
// sample, 12 the conditions, 13 blank, 14 the column names, then the rows.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <utility>
#include <vector>

#include "merge/limits.h"
#include "scanimport.h"

namespace {

const size_t maxline = maxdataline;

// s cut to n bytes, never inside a UTF-8 character
std::string clip(const std::string& s, size_t n) {
  if (s.size() <= n) return s;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return s.substr(0, n);
}

std::string g9(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.9g", v);
  return buf;
}

// The first key that has a value, in the block's metadata, then the file's.
std::string lookup(const Instrument& ins, const Range& r, std::initializer_list<const char*> keys) {
  for (const MetaList* m : {&r.meta, &ins.meta})
    for (const char* k : keys)
      for (const auto& kv : *m)
        if (kv.first == k && !kv.second.empty()) return kv.second;
  return "";
}

// A number of the file's metadata with the fewest digits that give it
// back ("45.0000000000" as "45"); text that is no number as it is.
std::string shortest(const std::string& text) {
  char* end = nullptr;
  double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end || !std::isfinite(v)) return text;
  char buf[400];
  // decimals where the number has a plain form, else significant digits
  bool plain = std::fabs(v) < 1e15 && (v == 0 || std::fabs(v) >= 1e-5);
  for (int digits = plain ? 0 : 1; digits <= 17; ++digits) {
    std::snprintf(buf, sizeof buf, plain ? "%.*f" : "%.*g", digits, v);
    if (std::strtod(buf, nullptr) == v) break;
  }
  return buf;
}

// An anode given by its atomic number ("29") as its element; else as given.
std::string element(const std::string& anode) {
  const std::pair<const char*, const char*> anodes[] = {
      {"24", "Cr"}, {"25", "Mn"}, {"26", "Fe"}, {"27", "Co"}, {"28", "Ni"}, {"29", "Cu"},
      {"31", "Ga"}, {"42", "Mo"}, {"45", "Rh"}, {"47", "Ag"}, {"49", "In"}, {"74", "W"}};
  for (const auto& a : anodes)
    if (shortest(anode) == a.first) return a.second;
  return anode;
}

}  // namespace

std::string gnum(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

std::string oneline(const std::string& s, size_t n) {
  std::string t = s;
  for (char& c : t)
    if (static_cast<unsigned char>(c) < 32 || c == 127) c = ' ';
  return clip(t, n);
}

std::string anglestr(double x) {
  std::string s = g9(x);
  if (std::strtof(s.c_str(), nullptr) == static_cast<float>(x)) return s;
  return g9(static_cast<float>(x));
}

std::string monitortext(const Range& r) {
  return r.filemon ? "monitor from the file" : "monitor stand-in 10^6 per " + gnum(r.refms) + " ms";
}

std::string samplename(const Instrument& ins, const Range& r) {
  std::string s = lookup(ins, r,
                         {"SAMPLE_ID", "SAMPLE_NAME", "SAMPLE", "FILE_SAMPLE", "SampleIdent",
                          "sample identification", "sample id", "sample name"});
  return s.empty() ? ins.name : s;
}

std::string sampleline(const Instrument& ins, const Range& r) {
  std::string date = lookup(
      ins, r,
      {"MEASURE_DATE", "DATE_TIME_MEASURE", "DATEMEASURED", "DATE", "MEAS_DATE", "measured"});
  std::string time = lookup(ins, r, {"MEASURE_TIME", "TIME"});
  if (!time.empty() && !date.empty() && date.find(':') == std::string::npos) date += " " + time;
  std::string line = "Sample: " + clip(samplename(ins, r), 60);
  if (!date.empty()) line += ", measured " + date;
  return clip(line, maxline);
}

std::string conditionline(const Instrument& ins, const Range& r) {
  size_t n = r.tth.size();
  double step = n > 1 ? (r.tth[n - 1] - r.tth[0]) / static_cast<double>(n - 1) : 0;
  std::string anode =
      element(lookup(ins, r,
                     {"ANODE_MATERIAL", "ANODE", "TARGET", "Anode", "CEMICAL SYMBOL FOR TUBE ANODE",
                      "tube anode material", "anode"}));
  std::string wl =
      shortest(lookup(ins, r,
                      {"USED_LAMBDA", "RANGE_WL", "ALPHA1", "WL1", "K_ALPHA1", "LAMDA1", "KALPHA1",
                       "kAlpha1", "LabdaAlpha1", "WAVE_LENGTH1"}));
  std::string kv = shortest(lookup(ins, r, {"GENERATOR_VOLTAGE", "KV", "kV", "GeneratorVoltage"}));
  std::string ma = shortest(lookup(ins, r, {"GENERATOR_CURRENT", "MA", "mA", "TubeCurrent"}));
  std::string times = gnum(r.tim[0] / 1000) + " s/step";
  for (double t : r.tim)
    if (t != r.tim[0]) times = "time from the file";
  // "Cu 1.5406 A 40 kV 40 mA, tth 10 step 0.02, 1 s/step, 10^6 mon/1 s, omega 5 chi 0 phi 0"
  enum { tanode, twl, tkv, tma, scan, time, mon, omega, chi, phi, pieces };
  std::string piece[pieces] = {
      anode,
      wl.empty() ? "" : wl + " A",
      kv.empty() ? "" : kv + " kV",
      ma.empty() ? "" : ma + " mA",
      "tth " + gnum(r.tth[0]) + " step " + gnum(step),
      times,
      r.filemon ? "mon from the file" : "10^6 mon/" + gnum(r.refms / 1000) + " s",
      std::isfinite(r.omega) ? "omega " + gnum(r.omega) : "",
      std::isfinite(r.chi) ? "chi " + gnum(r.chi) : "",
      std::isfinite(r.phi) ? "phi " + gnum(r.phi) : ""};
  // the line of the pieces kept, in the order above: the tube's words by
  // blanks, then the scan, time and monitor by commas, then the axes by blanks
  auto compose = [&](const bool(&keep)[pieces]) {
    std::string line, group;
    auto add = [&](int k, const char* sep) {
      if (!keep[k] || piece[k].empty()) return;
      (group.empty() ? group : group += sep) += piece[k];
    };
    auto close = [&]() {
      if (!group.empty()) line += (line.empty() ? "" : ", ") + group;
      group.clear();
    };
    for (int k : {tanode, twl, tkv, tma}) add(k, " ");
    close();
    for (int k : {scan, time, mon}) {
      add(k, "");
      close();
    }
    for (int k : {omega, chi, phi}) add(k, " ");
    close();
    return line;
  };
  // where the line cannot hold all, the least important pieces go first: what
  // a user knows the scan by, then its axes, then the tube
  bool keep[pieces] = {};
  for (int k : {scan, time, mon, omega, chi, phi, tanode, twl, tkv, tma}) {
    keep[k] = true;
    if (compose(keep).size() > maxline) keep[k] = false;
  }
  return oneline(compose(keep), maxline);
}

std::string scantext(const Instrument& ins, const Range& r, int nranges) {
  std::vector<std::string> head;
  head.push_back("source: " + ins.path);
  head.push_back("format: " + ins.format + " (" + ins.formatdesc + ")");
  head.push_back("range: " + std::to_string(r.number) + " of " + std::to_string(nranges) +
                 (r.ratefile ? ", counts per second times the time per step" : ""));
  for (const MetaList* m : {&ins.meta, &r.meta})
    for (const auto& kv : *m)
      if (head.size() < 10 && !kv.second.empty()) head.push_back(kv.first + ": " + kv.second);
  head.resize(10);
  // lines 11 and 12, which scanmerge echoes
  head.push_back(sampleline(ins, r));
  head.push_back(conditionline(ins, r));
  std::string text;
  // each one line: a line break in a name would shift the column line
  for (const std::string& h : head) text += oneline(h, maxline) + "\n";
  text += "\ntth cts mon tim\n";
  for (size_t i = 0; i < r.tth.size(); ++i)
    text +=
        anglestr(r.tth[i]) + " " + g9(r.cts[i]) + " " + g9(r.mon[i]) + " " + g9(r.tim[i]) + "\n";
  return text;
}
