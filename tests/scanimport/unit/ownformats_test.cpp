// The readers of Bruker RAW 4 and BRML and Rigaku RAS and RASX, on real
// files (tests/scanimport/fixtures, SOURCES.md says where each comes
// from): the ranges they find against values read from the files by hand
// (Python's struct and zipfile at the layouts the formats' public readers
// document), and damaged files, which must end in one line of reason and
// status 1.
#include <zip.h>  // libzip, to make archives

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>

#include "archive.h"
#include "formats.h"
#include "readers.h"
#include "rigaku.h"
#include "rules.h"
#include "tests/scanimport/importtest.h"

namespace {

std::string fixture(const char* name) { return slurp(fs::path(IMPORT_FIXTURES) / name); }

// A zip archive of the members, deflated as the instruments write them.
std::string zipof(const std::vector<std::pair<std::string, std::string>>& members) {
  zip_error_t err;
  zip_error_init(&err);
  zip_source_t* src = zip_source_buffer_create(nullptr, 0, 0, &err);
  zip_source_keep(src);
  zip_t* z = zip_open_from_source(src, ZIP_TRUNCATE, &err);
  for (const auto& m : members) {
    zip_source_t* s = zip_source_buffer(z, m.second.data(), m.second.size(), 0);
    zip_file_add(z, m.first.c_str(), s, ZIP_FL_ENC_UTF_8);
  }
  zip_close(z);
  std::string out;
  if (zip_source_open(src) == 0) {
    char buf[4096];
    for (zip_int64_t n; (n = zip_source_read(src, buf, sizeof buf)) > 0;)
      out.append(buf, static_cast<size_t>(n));
    zip_source_close(src);
  }
  zip_source_free(src);
  zip_error_fini(&err);
  return out;
}

std::string member(const std::string& zip, const char* name) {
  std::string text, why;
  EXPECT_TRUE(zipmember(zip, name, text, why)) << why;
  return text;
}

// A range's angles from first to last in steps of step, its time per step,
// and its counts at the given rows.
void expectrange(const FileRange& r, size_t n, double first, double last, double step,
                 double seconds, const std::vector<std::pair<size_t, double>>& counts) {
  ASSERT_EQ(r.x.size(), n);
  ASSERT_EQ(r.counts.size(), n);
  EXPECT_NEAR(r.x.front(), first, 1e-9);
  EXPECT_NEAR(r.x.back(), last, 1e-4);
  EXPECT_NEAR(r.x[1] - r.x[0], step, 1e-7);
  if (std::isnan(seconds))
    EXPECT_TRUE(std::isnan(r.seconds));
  else
    EXPECT_NEAR(r.seconds, seconds, 1e-9);
  for (const auto& c : counts) EXPECT_DOUBLE_EQ(r.counts[c.first], c.second) << "row " << c.first;
}

const double nan = std::nan("");

TEST(Raw4, RealFileAndRangesOfOtherHeaders) {
  std::string d = fixture("raw4-scrambled.raw");
  MetaList meta;
  std::vector<FileRange> ranges;
  std::string why;
  ASSERT_TRUE(readraw4(d, meta, ranges, why)) << why;
  ASSERT_EQ(ranges.size(), 1u);  // "2Theta" twice in it: a drive and the scan axis
  const FileRange& r = ranges[0];
  // 8 bytes a step, the counts in the first 4
  // the range's time per step is in seconds: the effective time of the
  // strips, 310 s, as BRML files of these instruments store it
  expectrange(r, 7134, 10, 85.0413, 0.0105203, 310.00299072265625,
              {{0, 283.7691955566406},
               {1, -164.5344696044922},
               {3, 3158.152099609375},
               {3566, 252.30972290039062},
               {7133, -105.77827453613281}});
  EXPECT_EQ(r.axis, "Locked Coupled");
  EXPECT_TRUE(drives2theta(r.axis));
  EXPECT_EQ(r.start, 10);  // declared: the angles are start + i * step
  EXPECT_EQ(r.x[7133], r.start + r.step * 7133);
  EXPECT_EQ(r.omega, 5.0);  // the Theta drive's start
  EXPECT_TRUE(r.factors.empty());
  EXPECT_EQ(meta[0], (std::pair<std::string, std::string>("MEASURE_DATE", "04/07/2025")));
  bool sample = false, anode = false;
  for (const auto& kv : meta) {
    sample = sample || kv == std::pair<std::string, std::string>(
                                 "SAMPLE_ID", "HeOx-1001-nsp-sps-900C-10min-01-poliert");
    anode = anode || kv == std::pair<std::string, std::string>("ANODE_MATERIAL", "Cu");
  }
  EXPECT_TRUE(sample && anode);

  // three ranges after the real file's header: its own range cut to four
  // steps, a detector scan of 4-byte steps without segments, and a rocking
  // curve marked 160
  const size_t head = 447, segs = 704, data = head + 160 + segs;
  std::string two = d.substr(0, data + 4 * 8);
  poke(two, head + 88, std::uint32_t{4});
  std::string b = d.substr(head, 160);
  poke(b, 32, std::string("Detector Scan\0\0\0\0\0\0\0\0\0\0\0", 24));
  poke(b, 72, 20.0);
  poke(b, 80, 0.5);
  poke(b, 88, std::uint32_t{3});
  poke(b, 92, 2.0f);
  poke(b, 136, std::uint32_t{4});
  poke(b, 140, std::uint32_t{0});
  for (float c : {5.0f, 6.0f, 7.5f}) {
    std::string v(4, '\0');
    poke(v, 0, c);
    b += v;
  }
  std::string c = b.substr(0, 160);
  poke(c, 0, std::uint32_t{160});
  poke(c, 32, std::string("Rocking Curve\0\0\0\0\0\0\0\0\0\0\0", 24));
  poke(c, 88, std::uint32_t{0});
  two += b + c;
  meta.clear();
  ranges.clear();
  ASSERT_TRUE(readraw4(two, meta, ranges, why)) << why;
  ASSERT_EQ(ranges.size(), 3u);
  expectrange(ranges[0], 4, 10, 10.0315609, 0.0105203, 310.00299072265625,
              {{0, 283.7691955566406}, {3, 3158.152099609375}});
  expectrange(ranges[1], 3, 20, 21, 0.5, 2, {{0, 5}, {1, 6}, {2, 7.5}});
  EXPECT_TRUE(drives2theta(ranges[1].axis));
  EXPECT_TRUE(std::isnan(ranges[1].omega));
  EXPECT_FALSE(drives2theta(ranges[2].axis));
  EXPECT_EQ(ranges[2].axis, "Rocking Curve");
}

// BRML RawData documents in other layouts than the real file's: counts in
// the 5th and the 10th column, 2theta from the declared axis, planned and
// measured times, a rocking curve, a detector frame per step.
std::string rawdata(const std::string& views, const std::string& axes, const std::string& times,
                    const std::vector<std::string>& rows) {
  std::string x =
      "<?xml version=\"1.0\"?>\n<RawData "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><DataRoutes>"
      "<DataRoute RouteFlag=\"Measured\"><ScanInformation ScanName=\"Made\">" +
      times + "<ScanAxes>" + axes + "</ScanAxes></ScanInformation>" + "<DataViews>" + views +
      "</DataViews>";
  for (const std::string& r : rows) x += "<Datum>" + r + "</Datum>\n";
  return x + "</DataRoute></DataRoutes></RawData>\n";
}

std::string view(const char* type, int start, int length, const std::string& inner) {
  return std::string("<RawDataView xsi:type=\"") + type + "\" Start=\"" + std::to_string(start) +
         "\" Length=\"" + std::to_string(length) + "\"" + inner + "</RawDataView>";
}

const std::string tthaxis =
    "<ScanAxisInfo AxisId=\"TwoTheta\"><Reference>0.5</Reference><Start>20</Start>"
    "<Stop>20.2</Stop><Increment>0.1</Increment></ScanAxisInfo>";
const std::string counter =
    "><Recording LogicName=\"ScanCounter\"><Unit Base=\"Counts\"/></Recording>";

TEST(Brml, RealFileAndOtherColumnLayouts) {
  std::string real = fixture("brml-2thomega.brml");
  MetaList meta;
  std::vector<FileRange> ranges;
  std::string why;
  ASSERT_TRUE(readbrml(real, meta, ranges, why)) << why;
  ASSERT_EQ(ranges.size(), 1u);
  const FileRange& r = ranges[0];
  // counts in the 8th column, stored times the factor in the 2nd:
  // 213600.5 = 25735 x 8.3
  expectrange(r, 2001, 44, 48, 0.002, 1,
              {{0, 3}, {1, 1}, {894, 182114}, {895, 25735}, {910, 59706}, {2000, 2}});
  EXPECT_EQ(r.factors[894], 1);
  EXPECT_EQ(r.factors[895], 8.3);
  EXPECT_EQ(r.times.size(), 2001u);  // the MeasuredTime column
  EXPECT_EQ(r.times[0], 1);
  EXPECT_TRUE(drives2theta(r.axis));
  // declared in ScanAxisInfo; the rows print 44.002, ..., 44.01
  EXPECT_EQ(r.start, 44);
  EXPECT_EQ(r.step, 0.002);
  EXPECT_EQ(r.units[1], 0.001);
  EXPECT_EQ(r.units[5], 0.01);
  EXPECT_EQ(r.omega, 18.028);
  EXPECT_EQ(r.chi, -0.7452);
  EXPECT_EQ(r.phi, 0);
  ASSERT_GE(meta.size(), 2u);
  EXPECT_EQ(meta[1], (std::pair<std::string, std::string>("sample name", "Commander Sample ID")));

  std::string five = rawdata(
      view("FixedRawDataView", 0, 1, " LogicName=\"MeasuredTime\">") +
          view("FixedRawDataView", 1, 1, " LogicName=\"AbsorptionFactor\">") +
          view("VaryingRawDataView", 2, 2,
               "><Varying><FieldDefinitions FieldName=\"TwoTheta\" AxisId=\"TwoTheta\"/>"
               "<FieldDefinitions FieldName=\"Theta\" AxisId=\"Theta\"/></Varying>") +
          view("RecordedRawDataView", 4, 1, counter),
      tthaxis, "<TimePerStep>1</TimePerStep>", {"0.5,1,30,15,100", "0.5,2,30.05,15.025,300.5"});
  std::string ten =
      rawdata(view("RecordedRawDataView", 9, 1, counter), tthaxis, "<TimePerStep>2</TimePerStep>",
              {"1,2,3,4,5,6,7,8,9,10", "1,2,3,4,5,6,7,8,9,11", "0,0,0,0,0,0,0,0,0,12"});
  ten.insert(ten.find("<ScanInformation"),
             "<SubScans><SubScanInfo MeasuredTimePerStep=\"2.1\" PlannedTimePerStep=\"2\"/>"
             "</SubScans>");
  std::string rocking = rawdata(view("RecordedRawDataView", 1, 1, counter),
                                "<ScanAxisInfo AxisId=\"Theta\"><Start>10</Start><Stop>11</Stop>"
                                "<Increment>0.5</Increment></ScanAxisInfo>",
                                "", {"10,1", "10.5,2", "11,3"});
  std::string frame =
      rawdata(view("RecordedRawDataView", 1, 3, counter), tthaxis, "", {"20,1,2,3", "20.1,4,5,6"});
  std::string container =
      "<DataContainer><RawDataReferenceList><string>Experiment0/RawData0.xml</string>"
      "<string>Experiment0/RawData2.xml</string><string>Experiment0/RawData1.xml</string>"
      "<string>Experiment0/RawData3.xml</string><string>Experiment0/RawData4.xml</string>"
      "</RawDataReferenceList></DataContainer>";
  std::string zip = zipof({{"Experiment0/DataContainer.xml", container},
                           {"Experiment0/RawData0.xml", member(real, "Experiment0/RawData0.xml")},
                           {"Experiment0/RawData1.xml", five},
                           {"Experiment0/RawData2.xml", ten},
                           {"Experiment0/RawData3.xml", rocking},
                           {"Experiment0/RawData4.xml", frame}});
  EXPECT_EQ(detectformat(zip), "bruker_brml");
  meta.clear();
  ranges.clear();
  ASSERT_TRUE(readbrml(zip, meta, ranges, why)) << why;
  ASSERT_EQ(ranges.size(), 5u);  // in the container's order
  expectrange(ranges[1], 3, 20.5, 20.7, 0.1, 2.1, {{0, 10}, {2, 12}});
  EXPECT_EQ(ranges[1].start, 20.5);      // Start from the Reference
  EXPECT_TRUE(ranges[1].times.empty());  // no time column: the measured time per step
  expectrange(ranges[2], 2, 30, 30.05, 0.05, 1, {{0, 100}, {1, 150.25}});
  EXPECT_EQ(ranges[2].factors, (std::vector<double>{1, 2}));
  EXPECT_EQ(ranges[2].times, (std::vector<double>{0.5, 0.5}));
  EXPECT_EQ(ranges[2].omega, 15);
  EXPECT_FALSE(drives2theta(ranges[3].axis));
  EXPECT_EQ(ranges[3].skip, "");
  EXPECT_EQ(ranges[4].skip, "records a detector frame at each step, not one count");
}

TEST(Ras, RangesOfAMadeFileWithRealRows) {
  std::string d = fixture("ras-three-ranges.ras");
  EXPECT_EQ(detectformat(d), "rigaku_ras");
  MetaList meta;
  std::vector<FileRange> ranges;
  std::string why;
  ASSERT_TRUE(readras(d, meta, ranges, why)) << why;
  ASSERT_EQ(ranges.size(), 3u);
  // continuous at 1 deg/min over 0.04 deg: 2.4 s a step
  expectrange(ranges[0], 100, 10, 13.96, 0.04, 2.4,
              {{0, 170.55354309082}, {49, 181.840835571289}, {99, 185.575759887695}});
  EXPECT_TRUE(drives2theta(ranges[0].axis));
  EXPECT_EQ(ranges[0].start, 10);  // *MEAS_SCAN_START and _STEP; the rows print 10.0400
  EXPECT_EQ(ranges[0].step, 0.04);
  EXPECT_EQ(ranges[0].units[1], 0.0001);
  EXPECT_NEAR(ranges[0].omega, 10 + (10 - 10.2063) / 2, 1e-12);  // coupled: omega - 2theta/2 kept
  // a step scan of 1.20 s a step at fixed omega
  expectrange(ranges[1], 301, 36.544, 42.544, 0.02, 1.2, {{0, 0}, {150, 10475.298559567}});
  EXPECT_EQ(ranges[1].omega, 19.702);
  EXPECT_EQ(ranges[1].phi, 42.964);
  EXPECT_EQ(ranges[1].factors.size(), 301u);
  // a rocking curve, its third step attenuated; counts as counted
  EXPECT_FALSE(drives2theta(ranges[2].axis));
  EXPECT_EQ(ranges[2].counts[2], 2301);
  EXPECT_EQ(ranges[2].factors[2], 10.3);
  bool sample = false;
  for (const auto& kv : ranges[0].meta)
    sample = sample || kv == std::pair<std::string, std::string>("FILE_SAMPLE", "powder, scan 1");
  EXPECT_TRUE(sample);
}

// A real file whose header sets the attenuator to 1/10000 (automatic mode)
// while every row's factor is 1: 255 407 232 counts in 5.98 s at the
// substrate peak are counts already scaled, and no row says which steps
// were. Converted as the rows give them, with the warning.
TEST(Ras, HeaderAttenuatorIsNotAppliedAndWarns) {
  fs::path dir = workdir();
  std::string file = fs::path(IMPORT_FIXTURES) / "inas_layer_radial_002_004.ras";
  Result r = run(dir, {file});
  EXPECT_EQ(r.status, 0) << r.err;
  // continuous, 0.004 deg at 0.040111 deg/min: 5.98340 s a step
  EXPECT_NE(
      r.err.find(file + ": range 1: up to 42685998 counts/s: beyond the dead-time correction"),
      std::string::npos)
      << r.err;
  Scan s = readscan(dir / "out/inas_layer_radial_002_004-1.dat");
  ASSERT_EQ(s.rows.size(), 1501u);
  const ScanPoint& peak = s.rows[737];  // 29.4480 deg
  EXPECT_EQ(peak.tth, 29.448f);
  EXPECT_EQ(peak.cts, 255407232.0f);
  EXPECT_EQ(peak.mon, 1e6f);
}

TEST(Rasx, RealPowderScanCoupledScanAndMap) {
  MetaList meta;
  std::vector<FileRange> ranges;
  std::string why;
  ASSERT_TRUE(readrasx(fixture("rasx-powder.rasx"), meta, ranges, why)) << why;
  ASSERT_EQ(ranges.size(), 1u);
  expectrange(ranges[0], 2726, 10, 119, 0.04, 2.4,
              {{0, 170.55354309082}, {1363, 14.9337072372437}, {2725, 13.8521060943604}});
  EXPECT_TRUE(drives2theta(ranges[0].axis));
  EXPECT_EQ(ranges[0].omega, 10);  // 2theta alone: omega stays where it is

  ranges.clear();
  ASSERT_TRUE(readrasx(fixture("rasx-omega2theta.rasx"), meta, ranges, why)) << why;
  ASSERT_EQ(ranges.size(), 1u);
  // 0.04 deg/min over 0.0048 deg: 7.2 s a step
  expectrange(ranges[0], 1042, 44, 48.9968, 0.0048, 7.2,
              {{0, 2.16424083709717}, {521, 28.5047721862793}, {1041, 0}});
  EXPECT_NEAR(ranges[0].omega, 24.6185 + (44 - 48.7405) / 2, 1e-12);
  EXPECT_EQ(ranges[0].start, 44);  // Start and Step; the rows print 44.0048
  EXPECT_EQ(ranges[0].step, 0.0048);
  EXPECT_EQ(ranges[0].units[1], 0.0001);

  ranges.clear();
  ASSERT_TRUE(readrasx(fixture("rasx-map.rasx"), meta, ranges, why)) << why;
  ASSERT_EQ(ranges.size(), 3u);
  const double counts[] = {6731.40805113428, 10475.298559567, 12000.7729670708};
  for (size_t k = 0; k < 3; ++k) {
    expectrange(ranges[k], 301, 36.544, 42.544, 0.02, 1.2, {{150, counts[k]}, {300, 0}});
    EXPECT_NEAR(ranges[k].omega, 19.692 + 0.01 * static_cast<double>(k), 1e-9);
    EXPECT_EQ(ranges[k].factors.size(), 301u);
  }
}

// Every fixture through the command line; -f names; and damaged files.
TEST(OwnFormatsDamaged, CutFlippedOrIncompleteFilesFailWithAReason) {
  fs::path dir = workdir();
  const char* names[] = {"raw4-scrambled.raw", "brml-2thomega.brml", "ras-three-ranges.ras",
                         "rasx-powder.rasx", "rasx-map.rasx"};
  std::vector<std::string> all;
  for (const char* n : names) all.push_back((fs::path(IMPORT_FIXTURES) / n).string());
  // the RAW 4 file's scrambled counts go negative: its header with 4 steps
  // of counts
  std::string raw4 = slurp(all[0]).substr(0, 1311 + 4 * 8);
  poke(raw4, 447 + 88, std::uint32_t{4});
  for (size_t i = 0; i < 4; ++i) poke(raw4, 1311 + 8 * i, 100.0f + static_cast<float>(i));
  put(dir / "four.raw", raw4);
  Result r = run(dir, {all[1], all[2], all[3], all[4], (dir / "four.raw").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readscan(dir / "out/rasx-map-2.dat").lines[1], "format: rigaku_rasx (Rigaku RASX)");
  r = run(dir, {"--force", "-f", "rigaku_ras", all[2]});
  EXPECT_EQ(r.status, 0) << r.err;
  r = run(dir, {"--force", "-f", "bruker_raw", (dir / "four.raw").string()});  // and version 4
  EXPECT_EQ(r.status, 0) << r.err;
  r = run(dir, {"--force", "-f", "bruker_brml", all[2]});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("scanimport: " + all[2] + ": not read as Bruker BRML: ", 0), 0u) << r.err;

  auto fails = [&](const std::string& data, const std::string& what, bool mustfail) {
    fs::path f = dir / ("damaged" + fs::path(what).extension().string());
    put(f, data);
    Result d = run(dir, {"--force", f.string()});
    std::string head = "scanimport: " + f.string() + ": ";
    if (mustfail || d.status != 0) {
      EXPECT_EQ(d.status, 1) << what << "\n" << d.err;
      EXPECT_EQ(d.err.rfind(head, 0), 0u) << what << "\n" << d.err;
    }
  };
  for (size_t k = 0; k < 4; ++k) {
    std::string d = slurp(all[k]);
    // cut anywhere before the end of the last range (a RAS file at its last lines)
    size_t usable = d.size() - (k == 2 ? 16 : 1);
    for (size_t i = 0; i < 40; ++i) {
      size_t at = usable * i / 40 + i % 7;
      fails(d.substr(0, at), names[k] + std::string(" cut at ") + std::to_string(at), true);
    }
    // bytes flipped: any outcome but a crash or a reason that is not one line
    for (size_t i = 0; i < 40; ++i) {
      std::string f = d;
      size_t at = (f.size() - 1) * i / 40 + i % 5;
      f[at] = static_cast<char>(f[at] ^ (i % 2 ? 0xFF : 0x20));
      fails(f, names[k] + std::string(" flipped at ") + std::to_string(at), false);
    }
  }
  std::string real = member(slurp(all[1]), "Experiment0/RawData0.xml");
  std::string container =
      "<DataContainer><RawDataReferenceList><string>Experiment0/RawData0.xml</string>"
      "<string>Experiment0/RawData1.xml</string></RawDataReferenceList></DataContainer>";
  fails(zipof({{"Experiment0/DataContainer.xml", container}, {"Experiment0/RawData0.xml", real}}),
        "missing.brml", true);
  fails(zipof({{"Experiment0/RawData0.xml", "10 20 30\n"}}), "notxml.brml", true);
  fails(zipof({{"Experiment0/RawData0.xml", real.substr(0, real.size() / 2)}}), "halfxml.brml",
        true);
  std::string rasx = slurp(all[3]);
  std::string profile = member(rasx, "Data0/Profile0.txt");
  std::string cond = member(rasx, "Data0/MesurementConditions0.xml");
  fails(zipof({{"Data0/Profile0.txt", profile}}), "noconditions.rasx", true);
  fails(zipof({{"Data0/Profile0.txt", profile}, {"Data0/MesurementConditions0.xml", "counts"}}),
        "notxml.rasx", true);
  fails(zipof({{"Data0/Profile0.txt", profile.substr(0, profile.size() / 2)},
               {"Data0/MesurementConditions0.xml", cond}}),
        "shortprofile.rasx", true);
  fails(zipof({{"Data0/Profile0.txt", profile + "12.5 abc 1\n"},
               {"Data0/MesurementConditions0.xml", cond}}),
        "badrow.rasx", true);
}

// Hostile and huge inputs: each refused with one line of reason, or
// converted, within bounded memory, time and open files.

// A RASX range of n rows from 10 deg in steps of 0.01 deg, 1 s a step, its
// scan axis axis.
std::vector<std::pair<std::string, std::string>> rasxrange(int k, int n, const char* axis,
                                                           const std::string& count) {
  std::string rows;
  for (int i = 0; i < n; ++i)
    rows += std::to_string(10 + 0.01 * i) + " " + std::to_string(i) + " 1\n";
  std::string d = "Data" + std::to_string(k) + "/";
  return {{d + "Profile" + std::to_string(k) + ".txt", rows},
          {d + "MesurementConditions" + std::to_string(k) + ".xml",
           std::string("<MeasurementConditions><ScanInformation><AxisName>") + axis +
               "</AxisName><Mode>STEP</Mode><Speed>1</Speed><SpeedUnit>sec</SpeedUnit>"
               "<DataCount>" +
               count + "</DataCount></ScanInformation></MeasurementConditions>"}};
}

std::string rasxof(int ranges, int n, const char* axis) {
  std::vector<std::pair<std::string, std::string>> m;
  for (int k = 0; k < ranges; ++k)
    for (const auto& p : rasxrange(k, n, axis, std::to_string(n))) m.push_back(p);
  return zipof(m);
}

// The archive with a member's declared size set to size in its local and
// central headers.
std::string declared(std::string zip, const std::string& name, std::uint32_t size) {
  const struct {
    const char* sig;
    size_t sizeat, nameat;
  } headers[] = {{"PK\x03\x04", 22, 30}, {"PK\x01\x02", 24, 46}};
  for (const auto& h : headers)
    for (size_t at = zip.find(h.sig); at != std::string::npos; at = zip.find(h.sig, at + 4))
      if (zip.compare(at + h.nameat, name.size(), name) == 0) poke(zip, at + h.sizeat, size);
  return zip;
}

// A RAS file of the ranges, each a header of its lines and its rows.
std::string rasof(const std::vector<std::pair<std::string, std::string>>& ranges) {
  std::string f = "*RAS_DATA_START\n";
  for (const auto& r : ranges)
    f += "*RAS_HEADER_START\n*MEAS_SCAN_AXIS_X \"TwoTheta\"\n*MEAS_SCAN_MODE \"STEP\"\n"
         "*MEAS_SCAN_SPEED_UNIT \"sec\"\n" +
         r.first + "*RAS_HEADER_END\n*RAS_INT_START\n" + r.second + "*RAS_INT_END\n";
  return f + "*RAS_DATA_END\n";
}

#if defined(__SANITIZE_ADDRESS__)
const bool asan = true;
#elif defined(__has_feature)
const bool asan = __has_feature(address_sanitizer);  // clang's way of saying it
#else
const bool asan = false;
#endif

// scanimport run by the shell within 60 s under the limits (ulimit -v only
// without AddressSanitizer, whose shadow memory takes terabytes of address
// space): its status (124 out of time, -1 a signal) and what it said.
Result limited(const fs::path& dir, std::string limits, const std::string& args) {
  if (asan && limits.find("ulimit -v") != std::string::npos) limits = "";
  const int status = shell(limits + "timeout 60 '" SCANIMPORT_BIN "' --force -o '" +
                           (dir / "out").string() + "' " + args + " >'" +
                           (dir / "stdout").string() + "' 2>'" + (dir / "stderr").string() + "'");
  return {status, slurp(dir / "stdout"), slurp(dir / "stderr")};
}

// 5: two members of one name: which is the range is not known
TEST(Hostile, TwoMembersOfOneNameRefuseTheArchive) {
  fs::path dir = workdir();
  auto m = rasxrange(0, 5, "TwoTheta", "5");
  m.push_back({"Data0/ProfileX.txt", m[0].second});
  std::string zip = zipof(m);
  zip.replace(zip.find("Data0/ProfileX.txt"), 18, "Data0/Profile0.txt");
  zip.replace(zip.find("Data0/ProfileX.txt"), 18, "Data0/Profile0.txt");  // the central directory
  put(dir / "two.rasx", zip);
  for (const char* f : {"", "rigaku_rasx"}) {
    Result r = run(dir, *f ? std::vector<std::string>{"-f", f, (dir / "two.rasx").string()}
                           : std::vector<std::string>{(dir / "two.rasx").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("holds two members named Data0/Profile0.txt; the archive is damaged"),
              std::string::npos)
        << r.err;
  }
  EXPECT_TRUE(fs::is_empty(dir / "out"));
}

// 7: a time, angle or monitor no step has refuses the input with the reason
TEST(Hostile, NonFiniteOrAbsurdTimeAngleOrMonitorRefuseTheInput) {
  fs::path dir = workdir();
  const char* rows = "10 5 1\n10.01 6 1\n10.02 7 1\n";
  const std::pair<std::string, std::string> cases[] = {
      {rasof({{"*MEAS_SCAN_SPEED \"1e308\"\n", rows}}),
       "range 1: a time of 1e+308 s at 2theta 10 deg is none a step is counted"},
      {rasof({{"*MEAS_SCAN_SPEED \"1\"\n", "10 5 1\n1e39 6 1\n"}}),
       "range 1: 2theta 1e+39 deg at step 2 is no angle"},
      {rasof({{"*MEAS_SCAN_SPEED \"1\"\n", "10 5 1\n10.01 6 1e-300\n10.02 7 1\n"}}),
       "range 1: the stand-in monitor at 2theta 10.01 deg would be 1e+306"}};
  for (const auto& c : cases) {
    put(dir / "bad.ras", c.first);
    Result r = run(dir, {"--force", (dir / "bad.ras").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("scanimport: " + (dir / "bad.ras").string() + ": " + c.second, 0), 0u)
        << r.err;
    EXPECT_TRUE(fs::is_empty(dir / "out"));
  }
}

// 9: what a file declares bounds what is read, and memory running out is a
// reason, not an abort
TEST(Hostile, ArchivesTakeNoMoreMemoryThanTheirContentNeeds) {
  fs::path dir = workdir();
  const std::string limit = "ulimit -v 300000; ";  // KiB
  // a member of 95 bytes that says it makes 256 MiB
  put(dir / "big.rasx", declared(rasxof(1, 5, "TwoTheta"), "Data0/Profile0.txt", 256u << 20));
  // a zip bomb: 4 MiB of one row
  std::string bomb(4u << 20, '\0');
  for (size_t i = 0; i < bomb.size(); ++i) bomb[i] = "10 1 1\n"[i % 7];
  auto b = rasxrange(0, 1, "TwoTheta", "1");
  b[0].second = bomb;
  put(dir / "bomb.rasx", zipof(b));
  // more rows than the conditions count
  auto more = rasxrange(0, 20, "TwoTheta", "10");
  put(dir / "more.rasx", zipof(more));
  // a RawData document of 800 KB of empty elements
  std::string empty = "<RawData>";
  for (int i = 0; i < 200000; ++i) empty += "<a/>";
  put(dir / "empty.brml", zipof({{"Experiment0/RawData0.xml", empty + "</RawData>"}}));
  // 1 GiB to read whole in 300 MB
  put(dir / "huge.ras", "*RAS_DATA_START\n");
  fs::resize_file(dir / "huge.ras", 1u << 30);
  const std::pair<const char*, const char*> cases[] = {
      {"big.rasx", "Data0/Profile0.txt: declares 268435456 bytes from "},
      {"bomb.rasx", "Data0/Profile0.txt: the members read grow to 4194304 bytes from an archive"},
      {"more.rasx", "Data0/: the profile holds more rows than the 10 the conditions say"},
      {"empty.brml", "Experiment0/RawData0.xml: XML of 800019 bytes with 200002 tags"},
      {"huge.ras", "out of memory; nothing written from it"}};
  for (const auto& c : cases) {
    if (asan && c.first == std::string("huge.ras")) continue;  // no memory limit there
    Result r = limited(dir, limit, "'" + (dir / c.first).string() + "'");
    EXPECT_EQ(r.status, 1) << c.first << "\n" << r.err;
    EXPECT_EQ(r.err.rfind("scanimport: " + (dir / c.first).string() + ": " + c.second, 0), 0u)
        << r.err;
  }
  // one RawData document of 20001 rows listed 3000 times: one range
  std::string container = "<DataContainer><RawDataReferenceList>";
  for (int i = 0; i < 3000; ++i) container += "<string>Experiment0/RawData0.xml</string>";
  std::vector<std::string> rows;
  for (int i = 0; i < 20001; ++i) rows.push_back(std::to_string(20 + 0.001 * i) + ",1");
  std::string raw = rawdata(view("VaryingRawDataView", 0, 1,
                                 "><Varying><FieldDefinitions AxisId=\"TwoTheta\"/></Varying>") +
                                view("RecordedRawDataView", 1, 1, counter),
                            tthaxis, "<TimePerStep>1</TimePerStep>", rows);
  put(dir / "listed.brml", zipof({{"Experiment0/DataContainer.xml",
                                   container + "</RawDataReferenceList></DataContainer>"},
                                  {"Experiment0/RawData0.xml", raw}}));
  Result r = limited(dir, limit, "'" + (dir / "listed.brml").string() + "'");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readscan(dir / "out/listed.dat").rows.size(), 20001u);
}

// 10: time linear in the file: thousands of ranges and members, a header of
// a great many axes (each took minutes when its cost grew as the square)
TEST(Hostile, ManyRangesMembersOrAxesTakeTimeLinearInTheFile) {
  fs::path dir = workdir();
  put(dir / "ranges.rasx", rasxof(4000, 3, "Omega"));  // each skipped, none written
  std::vector<std::pair<std::string, std::string>> members;
  std::string container = "<DataContainer><RawDataReferenceList>";
  std::string rocking = rawdata(view("RecordedRawDataView", 1, 1, counter),
                                "<ScanAxisInfo AxisId=\"Theta\"><Start>10</Start><Stop>11</Stop>"
                                "<Increment>0.5</Increment></ScanAxisInfo>",
                                "", {"10,1", "10.5,2", "11,3"});
  for (int k = 0; k < 8000; ++k) {
    std::string name = "Experiment0/RawData" + std::to_string(k) + ".xml";
    container += "<string>" + name + "</string>";
    members.push_back({name, rocking});
  }
  members.push_back(
      {"Experiment0/DataContainer.xml", container + "</RawDataReferenceList></DataContainer>"});
  put(dir / "members.brml", zipof(members));
  std::string axes = "*MEAS_SCAN_SPEED \"1\"\n";
  for (int a = 0; a < 256000; ++a)
    axes += "*MEAS_COND_AXIS_NAME-" + std::to_string(a) + " \"A\"\n*MEAS_COND_AXIS_POSITION-" +
            std::to_string(a) + " \"1\"\n";
  put(dir / "axes.ras", rasof({{axes, "10 5 1\n10.01 6 1\n"}}));
  for (const char* f : {"ranges.rasx", "members.brml"}) {
    Result r = limited(dir, "", "'" + (dir / f).string() + "'");
    EXPECT_EQ(r.status, 1) << f;  // no range drives 2theta
    EXPECT_NE(r.err.find(": no step scan to convert\n"), std::string::npos) << f << r.err.size();
  }
  EXPECT_EQ(limited(dir, "", "'" + (dir / "axes.ras").string() + "'").status, 0);
}

// 11: any number of ranges under the usual limit of open files, all or
// nothing still
TEST(Hostile, ManyRangesConvertWithFewOpenFiles) {
  fs::path dir = workdir();
  std::vector<std::pair<std::string, std::string>> ranges(
      1100, {"*MEAS_SCAN_SPEED \"1\"\n", "10 5 1\n10.01 6 1\n"});
  put(dir / "many.ras", rasof(ranges));
  put(dir / "one.xy", "10 5\n10.01 6\n");
  Result r = limited(dir, "ulimit -n 1024; ", "-t 1000 '" + (dir / "many.ras").string() + "'");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "out"), fs::directory_iterator()), 1100);
  EXPECT_EQ(readscan(dir / "out/many-1100.dat").rows.size(), 2u);
  // the last output cannot be written: none is, and no temporary file stays
  fs::remove_all(dir / "out");
  fs::create_directories(dir / "out/one.dat/x");
  r = limited(dir, "ulimit -n 1024; ",
              "-t 1000 '" + (dir / "many.ras").string() + "' '" + (dir / "one.xy").string() + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "out"), fs::directory_iterator()), 1);
}

// 13: a member whose declared size is wrong says how
TEST(Hostile, AMemberOfTheWrongSizeSaysHow) {
  fs::path dir = workdir();
  std::string zip = rasxof(1, 5, "TwoTheta");
  size_t n = member(zip, "Data0/Profile0.txt").size();
  const std::pair<std::uint32_t, std::string> cases[] = {
      {static_cast<std::uint32_t>(n + 10), "holds " + std::to_string(n) +
                                               " bytes, its header declares " +
                                               std::to_string(n + 10) + " bytes"},
      {static_cast<std::uint32_t>(n - 10),
       "longer than the " + std::to_string(n - 10) + " bytes its header declares"}};
  for (const auto& c : cases) {
    put(dir / "size.rasx", declared(zip, "Data0/Profile0.txt", c.first));
    Result r = run(dir, {(dir / "size.rasx").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Data0/Profile0.txt: damaged in the archive: " + c.second + "\n"),
              std::string::npos)
        << r.err;
  }
}

}  // namespace
