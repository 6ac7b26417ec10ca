// Rigaku RASX (SmartLab Studio's files): a zip archive with, for each range
// n, Data<n>/Profile<n>.txt (rows of angle, counts and attenuation factor)
// and Data<n>/MesurementConditions<n>.xml (the scan, the axes, the tube).
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <pugixml.hpp>  // the XML parser

#include "ownformats.h"

namespace {

const double NaN = std::nan("");

double num(const char* s) {
  double v = NaN;
  return tonumber(s, v) ? v : NaN;
}

// "Data<n>/Profile<n>.txt": n, or -1 where name is not of that form.
long profilenumber(const std::string& name) {
  if (name.compare(0, 4, "Data") != 0) return -1;
  size_t slash = name.find('/');
  if (slash == std::string::npos || slash == 4 || slash > 13) return -1;
  std::string n = name.substr(4, slash - 4);
  if (n.find_first_not_of("0123456789") != std::string::npos) return -1;
  if (name.substr(slash) != "/Profile" + n + ".txt") return -1;
  return std::strtol(n.c_str(), nullptr, 10);
}

}  // namespace

bool rasxprofile(const std::string& profile, const std::string& xml, MetaList& meta, FileRange& r,
                 std::string& why) {
  (void)meta;  // each range carries its own conditions
  pugi::xml_document doc;
  pugi::xml_parse_result res = doc.load_buffer(xml.data(), xml.size());
  if (!res) {
    why = std::string("XML error at byte ") + std::to_string(res.offset) + ": " + res.description();
    return false;
  }
  pugi::xml_node mc = doc.child("MeasurementConditions");
  pugi::xml_node si = mc.child("ScanInformation");
  if (!si) {
    why = "no <ScanInformation> in the measurement conditions";
    return false;
  }
  r.axis = si.child_value("AxisName");
  r.twotheta = rigakutwotheta(r.axis);
  r.seconds = rigakuseconds(si.child_value("Mode"), num(si.child_value("Step")),
                            num(si.child_value("Speed")), si.child_value("SpeedUnit"));
  r.rate = std::string(si.child_value("IntensityUnit")) == "cps";
  double omega = NaN, twotheta = NaN;  // deg, where the file was saved
  for (pugi::xml_node a : mc.child("Axes").children("Axis")) {
    std::string name = a.attribute("Name").value();
    double p = num(a.attribute("Position").value());
    if (name == "Omega") omega = p;
    if (name == "TwoTheta") twotheta = p;
    if (name == "Chi") r.chi = p;
    if (name == "Phi") r.phi = p;
  }
  auto add = [&r](const char* key, const char* v) {
    if (v && *v) r.meta.emplace_back(key, v);
  };
  pugi::xml_node gen = mc.child("HWConfigurations").child("XrayGenerator");
  add("sample name", mc.child("GeneralInformation").child_value("SampleName"));
  add("measured", si.child_value("StartTime"));
  add("TARGET", gen.child_value("TargetName"));
  add("ALPHA1", gen.child_value("WavelengthKalpha1"));
  add("KV", gen.child_value("Voltage"));
  add("MA", gen.child_value("Current"));
  add("MEAS_SCAN_MODE", si.child_value("Mode"));

  // the rows: angle, counts as counted, attenuation factor
  size_t pos = profile.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;  // UTF-8 byte order mark
  bool factors = true;
  int lineno = 0;
  while (pos < profile.size()) {
    size_t end = profile.find('\n', pos);
    if (end == std::string::npos) end = profile.size();
    std::string line = profile.substr(pos, end - pos);
    pos = end + 1;
    ++lineno;
    std::vector<double> row;
    const char* s = line.c_str();
    for (char* e = nullptr;; s = e) {
      double v = std::strtod(s, &e);
      if (e == s) break;
      row.push_back(v);
    }
    while (*s == ' ' || *s == '\t' || *s == '\r') ++s;
    if (row.empty() && !*s) continue;  // a blank line
    if (row.size() < 2 || *s || s != line.c_str() + line.size()) {
      why = "line " + std::to_string(lineno) + " of the profile is not angle, counts and factor";
      return false;
    }
    r.x.push_back(row[0]);
    r.counts.push_back(row[1]);
    factors = factors && row.size() >= 3;
    r.factors.push_back(row.size() >= 3 ? row[2] : 1);
  }
  if (!factors) r.factors.clear();
  if (!r.x.empty()) r.omega = rigakuomega(r.axis, r.x[0], omega, twotheta);
  double count = num(si.child_value("DataCount"));
  if (std::isfinite(count) && count != static_cast<double>(r.x.size())) {
    why = "the profile holds " + std::to_string(r.x.size()) + " rows, the conditions say " +
          si.child_value("DataCount");
    return false;
  }
  return true;
}

bool readrasx(const std::string& data, MetaList& meta, std::vector<FileRange>& ranges,
              std::string& why) {
  std::vector<std::string> names;
  if (!zipnames(data, names, why)) return false;
  std::vector<long> numbers;
  for (const std::string& n : names)
    if (profilenumber(n) >= 0) numbers.push_back(profilenumber(n));
  std::sort(numbers.begin(), numbers.end());
  if (numbers.empty()) {
    why = "a zip archive without the Data0/Profile0.txt of a RASX file";
    return false;
  }
  for (long k : numbers) {
    std::string n = std::to_string(k), dir = "Data" + n + "/";
    std::string profile, xml, name = dir + "MesurementConditions" + n + ".xml";  // sic
    std::string alt = dir + "MeasurementConditions" + n + ".xml";
    if (std::find(names.begin(), names.end(), name) == names.end() &&
        std::find(names.begin(), names.end(), alt) != names.end())
      name = alt;
    if (!zipmember(data, dir + "Profile" + n + ".txt", profile, why) ||
        !zipmember(data, name, xml, why))
      return false;
    FileRange r;
    if (!rasxprofile(profile, xml, meta, r, why)) {
      why = dir + ": " + why;
      return false;
    }
    ranges.push_back(std::move(r));
  }
  return true;
}
