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
  std::string anode = lookup(ins, r,
                             {"ANODE_MATERIAL", "ANODE", "TARGET", "CEMICAL SYMBOL FOR TUBE ANODE",
                              "tube anode material", "anode"});
  std::string wl = lookup(
      ins, r,
      {"USED_LAMBDA", "RANGE_WL", "ALPHA1", "WL1", "K_ALPHA1", "LAMDA1", "KALPHA1", "kAlpha1"});
  std::string kv = lookup(ins, r, {"GENERATOR_VOLTAGE", "KV", "kV"});
  std::string ma = lookup(ins, r, {"GENERATOR_CURRENT", "MA", "mA"});
  std::string tube = anode;  // "Cu 1.5406 A 40 kV 40 mA"
  if (!wl.empty()) tube += (tube.empty() ? "" : " ") + wl + " A";
  if (!kv.empty()) tube += (tube.empty() ? "" : " ") + kv + " kV";
  if (!ma.empty()) tube += (tube.empty() ? "" : " ") + ma + " mA";
  std::string times = gnum(r.tim[0] / 1000) + " s/step";
  for (double t : r.tim)
    if (t != r.tim[0]) times = "time from the file";
  // "Cu 1.5406 A 40 kV 40 mA, tth 10 step 0.02, 1 s/step, 10^6 mon/1 s, omega 5 chi 0 phi 0":
  // the pieces in this order as far as they fit, the tube and the scan first
  std::vector<std::string> pieces = {
      tube, "tth " + gnum(r.tth[0]) + " step " + gnum(step), times,
      r.filemon ? "mon from the file" : "10^6 mon/" + gnum(r.refms / 1000) + " s"};
  std::string line;
  for (const std::string& p : pieces)
    if (!p.empty() && line.size() + 2 + p.size() <= maxline) line += (line.empty() ? "" : ", ") + p;
  // omega, then chi and phi, as far as they fit
  const char* sep = ", ";
  for (const auto& a : {std::make_pair("omega ", r.omega), std::make_pair("chi ", r.chi),
                        std::make_pair("phi ", r.phi)}) {
    std::string more = sep + std::string(a.first) + gnum(a.second);
    if (!std::isfinite(a.second) || line.size() + more.size() > maxline) continue;
    line += more;
    sep = " ";
  }
  return oneline(line, maxline);
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
