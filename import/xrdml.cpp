// PANalytical XRDML read with pugixml: the counting time, the unit of the
// intensities, sample and tube, which xylib does not keep, and the whole of
// the newer files that hold <counts>, which xylib cannot read.
#include <cmath>
#include <cstdlib>
#include <pugixml.hpp>  // the XML parser
#include <string>

#include "readers.h"
#include "util.h"

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
  return NaN;
}

}  // namespace

bool readxrdml(const std::string& data, MetaList& meta, std::vector<FileRange>& ranges,
               std::string& why) {
  pugi::xml_document doc;
  pugi::xml_parse_result res = doc.load_buffer(data.data(), data.size());
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
      FileRange r;
      pugi::xml_node dp = s.child("dataPoints");
      double start = 0, end = 0;  // deg
      // the axis is that of the first positions that move, as in xylib
      for (pugi::xml_node pos : dp.children("positions")) {
        if (pos.child("startPosition")) {
          start = std::strtod(pos.child_value("startPosition"), nullptr);
          end = std::strtod(pos.child_value("endPosition"), nullptr);
        } else if (pos.child("listPositions")) {
          r.x = numbers(pos.child_value("listPositions"));
        } else {
          continue;
        }
        r.axis = pos.attribute("axis").value();
        break;
      }
      // one time for the scan, or one for each step
      pugi::xml_node ct = dp.child("commonCountingTime");
      r.seconds = NaN;
      if (ct) {
        std::vector<double> t = numbers(ct.child_value());
        if (t.size() == 1) r.seconds = t[0];
      } else if ((ct = dp.child("countingTimes"))) {
        r.times = numbers(ct.child_value());
      }
      std::string unit = ct.attribute("unit").value();
      if (unit == "ms" || unit == "milliseconds") {
        r.seconds /= 1000;
        for (double& t : r.times) t /= 1000;
      }
      r.omega = startof(dp, "Omega");
      r.chi = startof(dp, "Chi");
      r.phi = startof(dp, "Phi");
      // <intensities> hold the counts times the attenuation factor, <counts>
      // the counts as detected
      bool scaled = !dp.child("counts");
      pugi::xml_node counts = scaled ? dp.child("intensities") : dp.child("counts");
      r.counts = numbers(counts.child_value());
      std::string cunit = counts.attribute("unit").value();
      r.rate = cunit == "cps" || cunit == "counts per second";
      r.factors = numbers(dp.child_value("beamAttenuationFactors"));
      std::vector<double> common = numbers(dp.child_value("commonBeamAttenuationFactor"));
      size_t n = r.counts.size();
      if (r.factors.empty() && common.size() == 1) r.factors.assign(n, common[0]);
      if (r.x.empty() && n > 1)  // spread from start to end
        for (size_t i = 0; i < n; ++i)
          r.x.push_back(start +
                        (end - start) / static_cast<double>(n - 1) * static_cast<double>(i));
      // intensities are the detected counts times the factor, which was a
      // whole number of counts before
      for (size_t i = 0; i < n && scaled && r.factors.size() == n; ++i)
        if (std::isfinite(r.factors[i]) && r.factors[i] > 0) {
          double c = r.counts[i] / r.factors[i];
          r.counts[i] = !r.rate && std::fabs(c - std::nearbyint(c)) <= 0.01 ? std::nearbyint(c) : c;
        }
      ranges.push_back(std::move(r));
    }
  }
  return true;
}
