// Rigaku RASX (SmartLab Studio's files): a zip archive with, for each range
// n, Data<n>/Profile<n>.txt (rows of angle, counts and attenuation factor)
// and Data<n>/MesurementConditions<n>.xml (the scan, the axes, the tube).
#include <cmath>
#include <cstdlib>
#include <pugixml.hpp>  // the XML parser

#include "archive.h"
#include "readers.h"
#include "rigaku.h"
#include "util.h"
#include "xml.h"

namespace {

// "Data<n>/Profile<n>.txt": n, or -1 where name is not of that form.
long profilenumber(const std::string& name) {
  size_t slash = name.find('/');
  if (slash == std::string::npos || slash < 4) return -1;
  return numbered(name, "Data", "/Profile" + name.substr(4, slash - 4) + ".txt");
}

}  // namespace

bool rasxprofile(const std::string& profile, const std::string& xml, MetaList& meta, FileRange& r,
                 std::string& why) {
  (void)meta;  // each range carries its own conditions
  pugi::xml_document doc;
  if (!parsexml(xml, doc, why)) return false;
  pugi::xml_node mc = doc.child("MeasurementConditions");
  pugi::xml_node si = mc.child("ScanInformation");
  if (!si) {
    why = "no <ScanInformation> in the measurement conditions";
    return false;
  }
  RigakuScan scan;
  scan.axis = si.child_value("AxisName");
  scan.mode = si.child_value("Mode");
  scan.start = num(si.child_value("Start"));
  scan.stop = num(si.child_value("Stop"));
  scan.step = num(si.child_value("Step"));
  scan.speed = num(si.child_value("Speed"));
  scan.speedunit = si.child_value("SpeedUnit");
  scan.yunit = si.child_value("IntensityUnit");
  for (pugi::xml_node a : mc.child("Axes").children("Axis"))
    rigakuaxis(a.attribute("Name").value(), num(a.attribute("Position").value()), scan);
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

  // the rows, no more than the conditions count
  double count = num(si.child_value("DataCount"));
  bool counted = std::isfinite(count);
  size_t pos = 0;
  std::string line;
  for (int lineno = 1; rigakuline(profile, pos, line); ++lineno) {
    if (!rigakurow(line, r)) {
      why = "line " + std::to_string(lineno) + " of the profile is not angle, counts and factor";
      return false;
    }
    if (counted && static_cast<double>(r.x.size()) > count) break;
  }
  rigakuscan(scan, r);
  if (counted && count != static_cast<double>(r.x.size())) {
    why = static_cast<double>(r.x.size()) > count
              ? "the profile holds more rows than the " + std::string(si.child_value("DataCount")) +
                    " the conditions say"
              : "the profile holds " + std::to_string(r.x.size()) + " rows, the conditions say " +
                    si.child_value("DataCount");
    return false;
  }
  return true;
}

bool readrasx(const std::string& data, MetaList& meta, std::vector<FileRange>& ranges,
              std::string& why) {
  ZipArchive zip;
  if (!zipopen(data, zip, why)) return false;
  auto profiles = bynumber(zip.names, profilenumber);
  if (profiles.empty()) {
    why = "a zip archive without the Data0/Profile0.txt of a RASX file";
    return false;
  }
  for (const auto& p : profiles) {
    // Data<n>/, as the archive spells n
    std::string dir = p.second.substr(0, p.second.find('/') + 1), n = dir.substr(4, dir.size() - 5);
    std::string profile, xml, name = dir + "MesurementConditions" + n + ".xml";  // sic
    std::string alt = dir + "MeasurementConditions" + n + ".xml";
    if (!zip.index.count(name) && zip.index.count(alt)) name = alt;
    if (!zipread(zip, p.second, profile, why) || !zipread(zip, name, xml, why)) return false;
    FileRange r;
    if (!rasxprofile(profile, xml, meta, r, why)) {
      why = dir + ": " + why;
      return false;
    }
    ranges.push_back(std::move(r));
  }
  return true;
}
