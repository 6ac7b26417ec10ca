// Bruker BRML (DIFFRAC.SUITE's XML files): a zip archive whose
// Experiment0/DataContainer.xml lists one RawData document per range. Each
// holds the scan's axes and step time, the column definitions (DataViews)
// and one <Datum> row of comma-separated numbers per step.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <pugixml.hpp>  // the XML parser
#include <unordered_set>

#include "archive.h"
#include "readers.h"
#include "util.h"
#include "xml.h"

namespace {

// The numbers of a <Datum>, and the text of its number keep; false where
// one is none.
bool commalist(const char* s, std::vector<double>& v, int keep, std::string& kept) {
  v.clear();
  std::string field;
  for (const char* p = s;; ++p) {
    if (*p == ',' || *p == '\0') {
      double d = NaN;
      if (!tonumber(field, d)) return false;
      if (static_cast<int>(v.size()) == keep) kept = field;
      v.push_back(d);
      field.clear();
      if (*p == '\0') return true;
    } else {
      field += *p;
    }
  }
}

// Positions of the drives that stay put during the scan.
double driveposition(pugi::xml_node raw, const char* name) {
  for (pugi::xml_node d : raw.child("FixedInformation").child("Drives").children("InfoData"))
    if (std::strcmp(d.attribute("LogicName").value(), name) == 0)
      return num(d.child("Position").attribute("Value").value());
  return NaN;
}

pugi::xml_node named(pugi::xml_node top, const char* name) {
  return top.find_node([name](pugi::xml_node n) { return std::strcmp(n.name(), name) == 0; });
}

// The file's sample, start and tube, from its first RawData document.
void filemeta(pugi::xml_node raw, MetaList& meta) {
  auto add = [&meta](const char* key, const char* v) {
    if (v && *v) meta.emplace_back(key, v);
  };
  add("measured", raw.child_value("TimeStampStarted"));
  pugi::xml_node info = raw.find_node([](pugi::xml_node n) {
    return std::strcmp(n.name(), "InfoItem") == 0 &&
           std::strcmp(n.attribute("Name").value(), "SampleName") == 0;
  });
  add("sample name", info.attribute("Value").value());
  pugi::xml_node tube = named(raw.child("FixedInformation"), "Tube");
  add("anode", tube.child_value("TubeMaterial"));
  add("kAlpha1", tube.child("WaveLengthAlpha1").attribute("Value").value());
  add("kV", tube.child("Generator").child("Voltage").attribute("Value").value());
  add("mA", tube.child("Generator").child("Current").attribute("Value").value());
}

// Columns of a <Datum> row as the DataViews define them; -1 where none.
struct Columns {
  int tth = -1, theta = -1, counts = -1, factor = -1, time = -1;
  int width = 1;           // numbers the counts take: more than 1 is a detector frame
  bool rate = false;       // counts per second
  std::string countsname;  // the recording's name
};

Columns columns(pugi::xml_node route) {
  Columns c;
  for (pugi::xml_node v : route.child("DataViews").children("RawDataView")) {
    std::string type = v.attribute("xsi:type").value();
    int start = v.attribute("Start").as_int(-1), length = v.attribute("Length").as_int(0);
    if (start < 0 || start > 100000) continue;
    if (type == "FixedRawDataView") {
      std::string name = v.attribute("LogicName").value();
      if (name == "MeasuredTime") c.time = start;
      if (name == "AbsorptionFactor") c.factor = start;
    } else if (type == "VaryingRawDataView") {
      int i = 0;
      for (pugi::xml_node f : v.child("Varying").children("FieldDefinitions")) {
        std::string axis = f.attribute("AxisId").value();
        if (axis.empty()) axis = f.attribute("FieldName").value();
        if (i < length && axis == "TwoTheta") c.tth = start + i;
        if (i < length && axis == "Theta") c.theta = start + i;
        ++i;
      }
    } else if (type.find("RecordedRawDataView") != std::string::npos && c.counts < 0) {
      pugi::xml_node rec = v.child("Recording");
      c.counts = start;
      c.width = type == "RecordedRawDataView" ? length : 0;  // 0: kept in another file
      c.rate = std::string(rec.child("Unit").attribute("Base").value()).find("PerSecond") !=
               std::string::npos;
      c.countsname = rec.attribute("LogicName").value();
    }
  }
  return c;
}

// One range from a DataRoute; false, with why, where its rows are damaged.
bool routerange(pugi::xml_node raw, pugi::xml_node route, FileRange& r, std::string& why) {
  pugi::xml_node si = route.child("ScanInformation");
  std::string name = si.attribute("ScanName").value();
  if (name.empty()) name = si.attribute("VisibleName").value();
  // the drive: the axes the scan moves (TwoTheta/Theta), else its name
  double start = NaN, step = NaN;  // deg, the 2theta axis as declared
  for (pugi::xml_node a : si.child("ScanAxes").children("ScanAxisInfo")) {
    r.axis += (r.axis.empty() ? "" : "/") + std::string(a.attribute("AxisId").value());
    if (std::strcmp(a.attribute("AxisId").value(), "TwoTheta") != 0) continue;
    double ref = num(a.child_value("Reference"));
    start = num(a.child_value("Start")) + (std::isfinite(ref) ? ref : 0);
    step = num(a.child_value("Increment"));
    if (num(a.child_value("Stop")) < num(a.child_value("Start"))) step = -step;
  }
  // the measured time per step where the file has planned and measured
  pugi::xml_node sub = route.child("SubScans").child("SubScanInfo");
  r.seconds = num(sub.attribute("MeasuredTimePerStep").value());
  for (const char* k : {"TimePerStepEffective", "TimePerStep"})
    if (!(r.seconds > 0)) r.seconds = num(si.child_value(k));
  if (r.axis.empty()) r.axis = name;
  r.meta.emplace_back("ScanName", name);
  r.meta.emplace_back("ScanMode", si.child_value("ScanMode"));

  Columns c = columns(route);
  r.rate = c.rate;
  r.chi = driveposition(raw, "Chi");
  r.phi = driveposition(raw, "Phi");
  r.omega = driveposition(raw, "Theta");
  if (c.counts < 0) {
    r.skip = "names no column of counts";
    return true;
  }
  if (c.width != 1) {
    r.skip = "records a detector frame at each step, not one count";
    return true;
  }
  r.start = start;
  r.step = step;
  int need = std::max({c.tth, c.theta, c.counts, c.factor, c.time}) + 1;
  std::vector<double> row;
  std::string angle;  // the 2theta column as printed
  bool times = c.time >= 0;
  for (pugi::xml_node d : route.children("Datum")) {
    if (!commalist(d.child_value(), row, c.tth, angle) || static_cast<int>(row.size()) < need) {
      why = "row " + std::to_string(r.counts.size() + 1) + " is not " + std::to_string(need) +
            " numbers";
      return false;
    }
    if (r.counts.empty() && c.theta >= 0) r.omega = row[static_cast<size_t>(c.theta)];
    double y = row[static_cast<size_t>(c.counts)];
    if (c.factor >= 0) {
      // stored multiplied by the attenuation factor; the product is printed
      // to a few digits, so the quotient lands a rounding error off a whole count
      double a = row[static_cast<size_t>(c.factor)];
      r.factors.push_back(a);
      y /= a;
      if (std::fabs(y - std::round(y)) <= 1e-9 * std::fabs(y)) y = std::round(y);
    }
    r.counts.push_back(y);
    if (c.tth >= 0) {
      r.x.push_back(row[static_cast<size_t>(c.tth)]);
      r.units.push_back(lastunit(angle));
    }
    if (times) r.times.push_back(row[static_cast<size_t>(c.time)]);
  }
  // a time column of zeros (steps not timed) leaves the scan's time per step
  for (double t : r.times) times = times && t > 0 && std::isfinite(t);
  if (!times) r.times.clear();
  if (c.tth < 0)  // the declared angles
    for (size_t i = 0; i < r.counts.size(); ++i)
      r.x.push_back(start + step * static_cast<double>(i));
  return true;
}

}  // namespace

bool brmlrawdata(const std::string& xml, MetaList& meta, std::vector<FileRange>& ranges,
                 std::string& why) {
  pugi::xml_document doc;
  if (!parsexml(xml, doc, why)) return false;
  pugi::xml_node raw = doc.child("RawData");
  if (!raw) {
    why = "no <RawData> document";
    return false;
  }
  if (meta.empty()) filemeta(raw, meta);
  // the measured data; other routes hold what was made of them
  pugi::xml_node routes = raw.child("DataRoutes");
  bool measured = false;
  for (pugi::xml_node route : routes.children("DataRoute"))
    measured = measured || std::strcmp(route.attribute("RouteFlag").value(), "Measured") == 0;
  size_t before = ranges.size();
  for (pugi::xml_node route : routes.children("DataRoute")) {
    if (measured && std::strcmp(route.attribute("RouteFlag").value(), "Measured") != 0) continue;
    if (!route.child("Datum")) continue;
    FileRange r;
    if (!routerange(raw, route, r, why)) return false;
    ranges.push_back(std::move(r));
  }
  if (ranges.size() == before) {
    why = "holds no measured data";
    return false;
  }
  return true;
}

bool readbrml(const std::string& data, MetaList& meta, std::vector<FileRange>& ranges,
              std::string& why) {
  ZipArchive zip;
  if (!zipopen(data, zip, why)) return false;
  // the RawData documents in the order the experiments' DataContainer lists them
  auto containers = bynumber(zip.names, [](const std::string& n) {
    return numbered(n, "Experiment", "/DataContainer.xml");
  });
  auto raws = bynumber(zip.names, [](const std::string& n) {
    return numbered(n.substr(n.find_last_of('/') + 1), "RawData", ".xml");
  });
  std::vector<std::string> members;
  std::unordered_set<std::string> listed;  // a document listed again is one range still
  for (const auto& c : containers) {
    std::string text;
    if (!zipread(zip, c.second, text, why)) return false;
    pugi::xml_document doc;
    if (!parsexml(text, doc, why)) {
      why = c.second + ": " + why;
      return false;
    }
    for (pugi::xml_node s :
         doc.child("DataContainer").child("RawDataReferenceList").children("string"))
      if (listed.insert(s.child_value()).second) members.push_back(s.child_value());
  }
  if (containers.empty())
    for (const auto& r : raws) members.push_back(r.second);
  if (members.empty()) {
    why = "a zip archive without the RawData documents of a BRML file";
    return false;
  }
  for (const std::string& m : members) {
    std::string text;
    if (!zipread(zip, m, text, why)) return false;
    if (!brmlrawdata(text, meta, ranges, why)) {
      why = m + ": " + why;
      return false;
    }
  }
  return true;
}
