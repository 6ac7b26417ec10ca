// PANalytical XRDML read with pugixml: the counting time, the unit of the
// intensities, sample and tube, which xylib does not keep, and the whole of
// the newer files that hold <counts>, which xylib cannot read.
#include <cmath>
#include <cstdlib>
#include <pugixml.hpp>  // the XML parser
#include <string>

#include "scanimport.h"

namespace {

void add(MetaList& meta, const char* key, const char* value) {
  if (value && *value) meta.emplace_back(key, value);
}

std::vector<double> numbers(const char* text) {
  std::vector<double> v;
  for (char* end = nullptr;; text = end) {
    double d = std::strtod(text, &end);
    if (end == text) return v;
    v.push_back(d);
  }
}

// An axis's position at the scan's start: its start, its one common
// position or the first of its list; NaN where the scan does not give it.
double startof(pugi::xml_node dp, const char* axis) {
  for (pugi::xml_node pos : dp.children("positions")) {
    if (std::string(pos.attribute("axis").value()) != axis) continue;
    for (const char* k : {"startPosition", "commonPosition", "listPositions"}) {
      std::vector<double> v = numbers(pos.child_value(k));
      if (pos.child(k) && !v.empty()) return v[0];
    }
  }
  return std::nan("");
}

}  // namespace

bool readxrdml(const std::string& path, MetaList& meta, std::vector<XrdmlScan>& scans,
               std::string& why) {
  pugi::xml_document doc;
  pugi::xml_parse_result res = doc.load_file(path.c_str());
  if (!res) {
    why = std::string("XML error: ") + res.description();
    return false;
  }
  pugi::xml_node top = doc.child("xrdMeasurements");
  add(meta, "sample id", top.child("sample").child_value("id"));
  add(meta, "sample name", top.child("sample").child_value("name"));
  bool first = true;
  // the same walk as xylib's: every scan of every measurement, in order
  for (pugi::xml_node m : top.children("xrdMeasurement")) {
    if (first) {
      pugi::xml_node tube = m.child("incidentBeamPath").child("xRayTube");
      add(meta, "anode", tube.child_value("anodeMaterial"));
      add(meta, "kAlpha1", m.child("usedWavelength").child_value("kAlpha1"));
      add(meta, "kV", tube.child_value("tension"));
      add(meta, "mA", tube.child_value("current"));
    }
    for (pugi::xml_node s : m.children("scan")) {
      if (first) add(meta, "measured", s.child("header").child_value("startTimeStamp"));
      first = false;
      XrdmlScan scan;
      pugi::xml_node dp = s.child("dataPoints");
      // the axis is that of the first positions that move, as in xylib
      for (pugi::xml_node pos : dp.children("positions")) {
        if (pos.child("startPosition")) {
          scan.start = std::strtod(pos.child_value("startPosition"), nullptr);
          scan.end = std::strtod(pos.child_value("endPosition"), nullptr);
        } else if (pos.child("listPositions")) {
          scan.x = numbers(pos.child_value("listPositions"));
        } else {
          continue;
        }
        scan.axis = pos.attribute("axis").value();
        break;
      }
      // one time for the scan, or one for each step
      pugi::xml_node ct = dp.child("commonCountingTime");
      scan.seconds = std::nan("");
      if (ct) {
        std::vector<double> t = numbers(ct.child_value());
        if (t.size() == 1) scan.seconds = t[0];
      } else if ((ct = dp.child("countingTimes"))) {
        scan.times = numbers(ct.child_value());
      }
      std::string unit = ct.attribute("unit").value();
      if (unit == "ms" || unit == "milliseconds") {
        scan.seconds /= 1000;
        for (double& t : scan.times) t /= 1000;
      }
      scan.omega = startof(dp, "Omega");
      scan.chi = startof(dp, "Chi");
      scan.phi = startof(dp, "Phi");
      // <intensities> hold the counts times the attenuation factor, <counts>
      // the counts as detected
      scan.scaled = !dp.child("counts");
      pugi::xml_node counts = scan.scaled ? dp.child("intensities") : dp.child("counts");
      scan.counts = numbers(counts.child_value());
      std::string cunit = counts.attribute("unit").value();
      scan.rate = cunit == "cps" || cunit == "counts per second";
      scan.factors = numbers(dp.child_value("beamAttenuationFactors"));
      std::vector<double> common = numbers(dp.child_value("commonBeamAttenuationFactor"));
      if (scan.factors.empty() && common.size() == 1)
        scan.factors.assign(scan.counts.size(), common[0]);
      scans.push_back(std::move(scan));
    }
  }
  return true;
}
