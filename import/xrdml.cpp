// PANalytical XRDML: the counting time, the unit of the intensities and the
// sample and tube, which xylib does not keep, read with pugixml.
#include <cmath>
#include <cstdlib>
#include <pugixml.hpp>  // the XML parser

#include "scanimport.h"

namespace {

void add(MetaList& meta, const char* key, const char* value) {
  if (value && *value) meta.emplace_back(key, value);
}

}  // namespace

bool readxrdml(const std::string& path, MetaList& meta, std::vector<double>& times,
               std::vector<bool>& rates, std::string& why) {
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
      pugi::xml_node dp = s.child("dataPoints");
      pugi::xml_node ct = dp.child("commonCountingTime");
      double t = std::nan("");
      if (ct) {
        const char* text = ct.child_value();
        char* end = nullptr;
        t = std::strtod(text, &end);
        if (end == text) t = std::nan("");
        std::string unit = ct.attribute("unit").value();
        if (unit == "ms" || unit == "milliseconds") t /= 1000;
      }
      times.push_back(t);
      std::string unit = dp.child("intensities").attribute("unit").value();
      rates.push_back(unit == "cps" || unit == "counts per second");
    }
  }
  return true;
}
