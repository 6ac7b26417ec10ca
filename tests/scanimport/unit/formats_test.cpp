// Each format's counts, times and angles, against values worked out from the
// test's own input, read back with scanmerge's reader; and a two-range RAW
// measurement merged by scanmerge through the answers file.
#include <sys/wait.h>  // WEXITSTATUS for std::system's result

#include <cmath>

#include "rules.h"
#include "tests/scanimport/importtest.h"

namespace {

// Rows of a step scan: 2theta the 32-bit float of start + i * step (as the
// file's own numbers give it), counts, time and the stand-in monitor, 10^6
// per ref seconds (the first range's time per step) of counting.
void expectrows(const Scan& s, double start, double step, const std::vector<double>& cts,
                double seconds, double ref = 0) {
  ASSERT_EQ(s.rows.size(), cts.size());
  for (size_t i = 0; i < cts.size(); ++i) {
    const ScanPoint& p = s.rows[i];
    EXPECT_EQ(p.tth, static_cast<float>(start + step * static_cast<double>(i))) << "row " << i;
    EXPECT_EQ(p.cts, static_cast<float>(cts[i])) << "row " << i;
    EXPECT_EQ(p.tim, static_cast<float>(1000 * seconds)) << "row " << i;
    EXPECT_EQ(p.mon, static_cast<float>(1e6 * seconds / (ref > 0 ? ref : seconds))) << "row " << i;
  }
}

TEST(ImportFormats, UxdCountsAndCountsPerSecond) {
  fs::path dir = workdir();
  put(dir / "quartz.uxd",
      "; two ranges\n_FILEVERSION=1\n_SAMPLE='quartz'\n_DATEMEASURED='08-Dec-2026 07:45:00'\n"
      "_WL1=1.540600\n_ANODE='Cu'\n"
      "; range 1\n_DRIVE='COUPLED'\n_STEPTIME=2.000000\n_STEPSIZE=0.020000\n_START=10.000000\n"
      "_KV=40\n_MA=30\n_COUNTS\n  100 200 300 400\n  500\n"
      "; range 2, counts per second\n_DRIVE='COUPLED'\n_STEPTIME=0.500000\n_STEPSIZE=0.050000\n"
      "_START=20.000000\n_CPS\n  10.5 20 30\n");
  Result r = run(dir, {(dir / "quartz.uxd").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  Scan one = readscan(dir / "out/quartz-1.dat");
  expectrows(one, 10, 0.02, {100, 200, 300, 400, 500}, 2);
  EXPECT_EQ(one.lines[10], "Sample: quartz, measured 08-Dec-2026 07:45:00");
  EXPECT_EQ(one.lines[11], "Cu 1.5406 A 40 kV 30 mA, tth 10 step 0.02, 2 s/step, 10^6 mon/2 s");
  Scan two = readscan(dir / "out/quartz-2.dat");
  expectrows(two, 20, 0.05, {5.25, 10, 15}, 0.5, 2);
  EXPECT_EQ(two.lines[2], "range: 2 of 2, counts per second times the time per step");
  // 10.5 counts per second for 0.5 s
  EXPECT_NE(r.err.find("quartz.uxd: counts are not whole numbers: scanmerge's standard "
                       "deviations will not be counting statistics\n"),
            std::string::npos)
      << r.err;
}

TEST(ImportFormats, XrdmlTimeFromTheXml) {
  fs::path dir = workdir();
  auto scan = [](const char* start, const char* end, const char* time, const char* unit,
                 const char* values) {
    return std::string("<scan appendNumber=\"0\" mode=\"Continuous\" scanAxis=\"Gonio\">") +
           "<header><startTimeStamp>2026-12-08T07:45:00+01:00</startTimeStamp></header>"
           "<dataPoints><positions axis=\"2Theta\" unit=\"deg\"><startPosition>" +
           start + "</startPosition><endPosition>" + end +
           "</endPosition></positions><positions axis=\"Omega\" unit=\"deg\"><startPosition>5"
           "</startPosition><endPosition>5.05</endPosition></positions>"
           "<commonCountingTime unit=\"seconds\">" +
           time + "</commonCountingTime><intensities unit=\"" + unit + "\">" + values +
           "</intensities></dataPoints></scan>\n";
  };
  put(dir / "si.xrdml",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<xrdMeasurements xmlns=\"http://www.xrdml.com/XRDMeasurement/1.5\" status=\"Completed\">\n"
      "<sample type=\"To be analyzed\"><id>S-17</id><name>silicon</name></sample>\n"
      "<xrdMeasurement measurementType=\"Scan\" status=\"Completed\">\n"
      "<usedWavelength intended=\"K-Alpha 1\"><kAlpha1 unit=\"Angstrom\">1.5405980</kAlpha1>"
      "</usedWavelength><incidentBeamPath><xRayTube><tension unit=\"kV\">45</tension>"
      "<current unit=\"mA\">40</current><anodeMaterial>Cu</anodeMaterial></xRayTube>"
      "</incidentBeamPath>\n" +
          scan("10.00", "10.10", "0.440", "counts", "5 6 7 8 9 10") +
          scan("30.0", "30.3", "2.5", "cps", "100 200 300 400") +
          "</xrdMeasurement>\n</xrdMeasurements>\n");
  Result r = run(dir, {(dir / "si.xrdml").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  Scan one = readscan(dir / "out/si-1.dat");
  expectrows(one, 10, (10.10 - 10.00) / 5, {5, 6, 7, 8, 9, 10}, 0.44);
  EXPECT_EQ(one.lines[10], "Sample: S-17, measured 2026-12-08T07:45:00+01:00");
  EXPECT_EQ(one.lines[11],
            "Cu 1.540598 A 45 kV 40 mA, tth 10 step 0.02, 0.44 s/step, 10^6 mon/0.44 s, "
            "omega 5");
  expectrows(readscan(dir / "out/si-2.dat"), 30, 0.3 / 3, {250, 500, 750, 1000}, 2.5, 0.44);
}

// An XRDML file of one 2theta scan, counted 1.5 s a step.
std::string xrdml(const std::string& factors, const std::string& kind, const std::string& values) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<xrdMeasurements xmlns=\"http://www.xrdml.com/XRDMeasurement/2.1\">\n"
         "<xrdMeasurement measurementType=\"Scan\"><scan><dataPoints>"
         "<positions axis=\"2Theta\" unit=\"deg\"><startPosition>10.00</startPosition>"
         "<endPosition>10.06</endPosition></positions>"
         "<beamAttenuationFactors>" +
         factors +
         "</beamAttenuationFactors>"
         "<commonCountingTime unit=\"seconds\">1.5</commonCountingTime><" +
         kind + " unit=\"counts\">" + values + "</" + kind +
         "></dataPoints></scan></xrdMeasurement>\n</xrdMeasurements>\n";
}

TEST(ImportFormats, AttenuatedStepsKeepTheirDetectedCounts) {
  // <counts> are as detected, <intensities> the counts times the factor:
  // both give the detected counts and the monitor divided by the factor
  fs::path dir = workdir();
  put(dir / "new.xrdml", xrdml("1 1 188 1", "counts", "10 20 1877 40"));
  put(dir / "old.xrdml", xrdml("1 1 188 1", "intensities", "10 20 352876 40"));
  Result r = run(dir, {(dir / "new.xrdml").string(), (dir / "old.xrdml").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  for (const char* name : {"out/new.dat", "out/old.dat"}) {
    Scan s = readscan(dir / name);
    ASSERT_EQ(s.rows.size(), 4u) << name;
    EXPECT_EQ(s.rows[2].cts, 1877.0f) << name;
    EXPECT_EQ(s.rows[2].mon, static_cast<float>(1e6 / 188)) << name;
    EXPECT_EQ(s.rows[3].cts, 40.0f) << name;
    EXPECT_EQ(s.rows[3].mon, 1e6f) << name;
  }
  EXPECT_EQ(readscan(dir / "out/new.dat").lines[1], "format: xrdml (PANalytical XRDML)");
}

TEST(ImportFormats, ImpossibleXrdmlValuesRefuseTheRange) {
  fs::path dir = workdir();
  put(dir / "neg.xrdml", xrdml("1 1 1 1", "counts", "10 -20 30 40"));
  put(dir / "zero.xrdml", xrdml("1 0 1 1", "counts", "10 20 30 40"));
  put(dir / "below.xrdml", xrdml("1 1 -2 1", "intensities", "10 20 30 40"));
  put(dir / "short.xrdml", xrdml("1 1 1", "counts", "10 20 30 40"));
  for (const auto& c : {std::make_pair("neg", "holds negative counts"),
                        std::make_pair("zero", "holds attenuation factors of 0 or below"),
                        std::make_pair("below", "holds attenuation factors of 0 or below"),
                        std::make_pair("short", "has 3 attenuation factors for 4 counts")}) {
    fs::path file = dir / (std::string(c.first) + ".xrdml");
    Result r = run(dir, {file.string()});
    EXPECT_EQ(r.status, 1) << c.first;
    EXPECT_NE(r.err.find(file.string() + ": range 1 skipped: it " + c.second), std::string::npos)
        << r.err;
  }
  EXPECT_TRUE(fs::is_empty(dir / "out"));
}

TEST(ImportFormats, RigakuContinuousAndStepScans) {
  fs::path dir = workdir();
  // in the folder the scans go to: they are named NAME-scan.dat
  put(dir / "out/al2o3.dat",
      "*TYPE           =  Raw\n*CLASS          =  Standard measurement\n"
      "*FILE_SAMPLE    =  corundum\n*GROUP_COUNT    =  4\n"
      "*BEGIN\n*GROUP          =  0\n*TARGET         =  29\n*WAVE_LENGTH1   =  1.540560\n"
      "*KV             =  40.0000000000\n*START          =  10.0000\n"
      "*STOP           =  10.0800\n*STEP           =  0.0200\n*SCAN_MODE      =  CONTINUOUS\n"
      "*SPEED          =  2.0000\n*COUNT          =  5\n 11, 12, 13, 14\n 15\n*END\n"
      "*BEGIN\n*GROUP          =  1\n*START          =  40.0000\n*STOP           =  40.1000\n"
      "*STEP           =  0.0500\n*SCAN_MODE      =  STEP\n*SPEED          =  3.0000\n"
      "*COUNT          =  3\n 21, 22, 23\n*END\n"
      // fixed time: the speed's unit says seconds a step, whatever the scan mode
      "*BEGIN\n*GROUP          =  2\n*START          =  50.0000\n*STOP           =  50.0400\n"
      "*STEP           =  0.0200\n*SCAN_MODE      =  CONTINUOUS\n*MEAS_MODE      =  FT\n"
      "*SPEED          =  10.0000\n*SPEED_DIM      =  sec./step(FT)\n"
      "*COUNT          =  3\n 31, 32, 33\n*END\n"
      // continuous, by its unit: 0.5 deg/min over 0.01 deg is 1.2 s; 90000
      // counts in 1.2 s are 75000 counts/s, corrected by 1 / (1 - 0.225)
      "*BEGIN\n*GROUP          =  3\n*START          =  60.0000\n*STOP           =  60.0200\n"
      "*STEP           =  0.0100\n*MEAS_MODE      =  CS\n"
      "*SPEED          =  0.5000\n*SPEED_DIM      =  deg./min.\n"
      "*COUNT          =  3\n 41, 90000, 43\n*END\n*EOF\n");
  Result r = run(dir, {(dir / "out/al2o3.dat").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  // 2 deg/min over 0.02 deg: 0.6 s a step; a step scan counts SPEED seconds
  Scan one = readscan(dir / "out/al2o3-scan-1.dat");
  expectrows(one, 10, 0.02, {11, 12, 13, 14, 15}, 0.6);
  // the anode as an element, numbers with the fewest digits that give them back
  EXPECT_EQ(one.lines[11], "Cu 1.54056 A 40 kV, tth 10 step 0.02, 0.6 s/step, 10^6 mon/0.6 s");
  expectrows(readscan(dir / "out/al2o3-scan-2.dat"), 40, 0.05, {21, 22, 23}, 3, 0.6);
  expectrows(readscan(dir / "out/al2o3-scan-3.dat"), 50, 0.02, {31, 32, 33}, 10, 0.6);
  expectrows(readscan(dir / "out/al2o3-scan-4.dat"), 60, 0.01, {41, 90000, 43}, 1.2, 0.6);
  // the net: the only range whose correction passes 10 %
  EXPECT_EQ(r.err,
            "scanimport: " + (dir / "out/al2o3.dat").string() +
                ": range 4: up to 75000 counts/s: the dead-time correction reaches 29 %; check "
                "the time per step\n");

  // the same layout as .asc: known by its content
  fs::copy_file(dir / "out/al2o3.dat", dir / "al2o3.asc");
  r = run(dir, {(dir / "al2o3.asc").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  expectrows(readscan(dir / "out/al2o3-3.dat"), 50, 0.02, {31, 32, 33}, 10, 0.6);
}

TEST(ImportFormats, PdCifOneTimeForEveryStep) {
  fs::path dir = workdir();
  put(dir / "one.cif",
      "data_p\n_pd_meas_2theta_range_min 10.0\n_pd_meas_2theta_range_max 10.2\n"
      "_pd_meas_2theta_range_inc 0.1\n_pd_meas_step_count_time 2.0\nloop_\n"
      "_pd_meas_counts_total\n 100\n 110\n 120\n");
  Result r = run(dir, {(dir / "one.cif").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  expectrows(readscan(dir / "out/one.dat"), 10, 0.1, {100, 110, 120}, 2);
  // 500000 counts in 0.0625 s: beyond any correction, converted with the warning
  put(dir / "hot.cif",
      "data_p\n_pd_meas_2theta_range_min 10.0\n_pd_meas_2theta_range_max 10.1\n"
      "_pd_meas_2theta_range_inc 0.1\n_pd_meas_step_count_time 0.0625\nloop_\n"
      "_pd_meas_counts_total\n 500000\n 100\n");
  r = run(dir, {(dir / "hot.cif").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "scanimport: " + (dir / "hot.cif").string() +
                       ": range 1: up to 8000000 counts/s: beyond the dead-time correction; check "
                       "the time per step\n");
}

TEST(ImportFormats, PhilipsUdfTubeAndTime) {
  fs::path dir = workdir();
  put(dir / "q.udf",
      "SampleIdent,quartz ,/\nAnode,Cu,/\nLabdaAlpha1, 1.54060,/\nGeneratorVoltage,  40,/\n"
      "TubeCurrent,  55,/\nDataAngleRange,   3.0100,   3.0500,/\nScanStepSize,   0.020,/\n"
      "ScanType,CONTINUOUS,/\nScanStepTime,    5.00,/\nRawScan\n      640,      625,      729/\n");
  Result r = run(dir, {(dir / "q.udf").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  Scan s = readscan(dir / "out/q.dat");
  expectrows(s, 3.01, 0.02, {640, 625, 729}, 5);
  EXPECT_EQ(s.lines[11], "Cu 1.5406 A 40 kV 55 mA, tth 3.01 step 0.02, 5 s/step, 10^6 mon/5 s");
}

TEST(ImportFormats, PlainColumnsTakeTheTimeFromOption) {
  fs::path dir = workdir();
  put(dir / "plain.xy", "10.0 5\n10.5 6\n11.0 7\n");
  put(dir / "down.xy", "21.0 7\n20.5 6\n20.0 5\n");  // falling: written rising
  Result r = run(dir, {(dir / "plain.xy").string(), "-t", "1500", (dir / "down.xy").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  expectrows(readscan(dir / "out/plain.dat"), 10, 0.5, {5, 6, 7}, 1.5);
  expectrows(readscan(dir / "out/down.dat"), 20, 0.5, {5, 6, 7}, 1.5);
  EXPECT_NE(r.out.find("plain.dat: 3 rows, 2theta 10 to 11 deg, step 0.5 deg, 1500 ms per step, "
                       "monitor stand-in 10^6 per 1500 ms\n"),
            std::string::npos)
      << r.out;

  // the stand-in's reference time from the option
  fs::path ref = dir / "ref";
  fs::create_directories(ref / "out");
  r = run(ref, {"--reftime", "500", "-t", "1500", (dir / "plain.xy").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  expectrows(readscan(ref / "out/plain.dat"), 10, 0.5, {5, 6, 7}, 1.5, 0.5);

  fs::path again = dir / "again";
  fs::create_directories(again / "out");
  put(again / "plain.xy", "10.0 5\n10.5 6\n11.0 7\n");
  r = run(again, {(again / "plain.xy").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("plain.xy: no counting time in the file; give the time per step with -t MS"),
            std::string::npos)
      << r.err;
  EXPECT_TRUE(fs::is_empty(again / "out"));
}

TEST(ImportFormats, PdCifMonitorAndTimesFromTheFile) {
  fs::path dir = workdir();
  put(dir / "p.cif",
      "data_p\n_pd_meas_2theta_range_min 10.0\n_pd_meas_2theta_range_max 10.2\n"
      "_pd_meas_2theta_range_inc 0.1\nloop_\n_pd_meas_counts_total\n_pd_meas_counts_monitor\n"
      "_pd_meas_step_count_time\n 100 5000 2.0\n 110 5100 2.0\n 120 5200 2.5\n");
  Result r = run(dir, {(dir / "p.cif").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("monitor from the file"), std::string::npos) << r.out;
  Scan s = readscan(dir / "out/p.dat");
  ASSERT_EQ(s.rows.size(), 3u);
  EXPECT_EQ(s.rows[2].tth, static_cast<float>(10.0 + 0.1 * 2));
  EXPECT_EQ(s.rows[2].cts, 120.0f);
  EXPECT_EQ(s.rows[2].mon, 5200.0f);
  EXPECT_EQ(s.rows[2].tim, 2500.0f);
  EXPECT_NE(s.lines[11].find("time from the file, mon from the file"), std::string::npos)
      << s.lines[11];
}

// Two ranges of a Bruker RAW 3 file, the higher one first, with other step
// times and numbers of steps; rates depend on the angle alone.
std::vector<RawRange> tworanges() {
  auto rate = [](double tth) { return 100 + std::lround((tth - 10) / 0.02) * 37 % 400; };
  RawRange high{15.0, 0.02, 4.0f, {}}, low{10.0, 0.02, 1.0f, {}};
  for (int i = 0; i < 451; ++i)
    high.counts.push_back(static_cast<float>(4 * rate(15.0 + 0.02 * i)));
  for (int i = 0; i < 301; ++i) low.counts.push_back(static_cast<float>(rate(10.0 + 0.02 * i)));
  return {high, low};
}

TEST(ImportFormats, BrukerRawVersion3Ranges) {
  fs::path dir = workdir();
  std::vector<RawRange> ranges = tworanges();
  put(dir / "two.raw", rawv3(ranges, "LaB6 660c"));
  Result r = run(dir, {(dir / "two.raw").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  for (int k = 0; k < 2; ++k) {
    Scan s = readscan(dir / ("out/two-" + std::to_string(k + 1) + ".dat"));
    const RawRange& rr = ranges[static_cast<size_t>(k)];
    expectrows(s, rr.start, rr.step, std::vector<double>(rr.counts.begin(), rr.counts.end()),
               rr.time, ranges[0].time);
    EXPECT_EQ(s.lines[10], "Sample: LaB6 660c, measured 12/08/26 07:45:00");
    EXPECT_EQ(s.lines[2], "range: " + std::to_string(k + 1) + " of 2");
  }

  // a 2theta scan at a fixed omega in two ranges keeps omega: one pattern, no map
  for (RawRange& rr : ranges) rr.omega = 1;
  put(dir / "fixed.raw", rawv3(ranges, "LaB6 660c"));
  r = run(dir, {"--answers", (dir / "m.txt").string(), (dir / "fixed.raw").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("a map"), std::string::npos) << r.err;
  EXPECT_NE(slurp(dir / "m.txt").find("fixed-1.dat\n"), std::string::npos);
}

TEST(ImportFormats, TwoRangeRawMergesAtTheScaleOfTheCounts) {
  fs::path dir = workdir();
  put(dir / "two.raw", rawv3(tworanges(), "LaB6 660c"));
  Result r = run(dir, {"--answers", (dir / "merge.txt").string(), (dir / "two.raw").string()});
  ASSERT_EQ(r.status, 0) << r.err;
  std::string out = (dir / "out").string() + "/";
  EXPECT_EQ(slurp(dir / "merge.txt"), out + "two-2.dat\n" + out + "two-1.dat\n\n\n" + out +
                                          "two.xrs\n" + out + "two.wyr\n" + out + "two.profin\n" +
                                          out + "two.gdat\nLaB6 660c\n");

  std::string command =
      "cd '" + dir.string() + "' && timeout 60 '" SCANMERGE_BIN "' < merge.txt > console.txt 2>&1";
  int rc = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(rc));
  EXPECT_EQ(WEXITSTATUS(rc), 1);  // scanmerge's normal end
  std::string console = slurp(dir / "console.txt");
  for (const char* warning : {"!!!!!", "HELP", "Cannot", "Too long", "First file must contain"})
    EXPECT_EQ(console.find(warning), std::string::npos) << console;
  EXPECT_NE(console.find("imax, tthmin, tthstep, tthmax = 700, 10.000, 0.020, 24.0000"),
            std::string::npos)
      << console;

  // the stand-in is 10^6 per step of the first range (4 s), so the
  // intensity is the counts of a 4 s step and sigma comes from the counts
  // of both ranges, after the dead-time correction c / (1 - c/t * tau)
  std::istringstream profin(slurp(dir / "out/two.profin"));
  std::string line, sigmas;
  std::getline(profin, line);
  int k = 0;
  while (std::getline(profin, line) && std::getline(profin, sigmas)) {
    std::istringstream values(line), sds(sigmas);
    double v, sd;
    for (int j = 0; j < 10 && values >> v && sds >> sd; ++j, ++k) {
      double rate = 100 + k * 37 % 400;
      double c = rate / (1 - rate * 3e-6);   // corrected counts of a 1 s step
      bool low = k <= 300, high = k >= 250;  // 10 to 16 deg at 1 s, 15 to 24 at 4 s
      double counts = (low ? c : 0) + (high ? 4 * c : 0);
      double monitor = (low ? 0.25e6 : 0) + (high ? 1e6 : 0);
      EXPECT_NEAR(v, 4 * c, 0.051) << "point " << k;
      EXPECT_NEAR(sd, std::sqrt(counts) * 1e6 / monitor, 0.0051) << "point " << k;
    }
  }
  EXPECT_EQ(k, 700);
}

// Real files, from public repositories (tests/scanimport/fixtures/SOURCES.md)
const std::string data = IMPORT_FIXTURES;

TEST(ImportRealFiles, PrintedAnglesFromTheDeclaredStartAndStep) {
  // _START=3.000000, _STEPSIZE=0.015592, angles printed as 3.016, 3.031, ...
  fs::path dir = workdir();
  Result r = run(dir, {"--answers", (dir / "m.txt").string(), data + "/BT86_.UXD"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::string file = "scanimport: " + data + "/BT86_.UXD: ";
  EXPECT_NE(r.err.find(file + "range 1: angles written as the declared start 3 + i * step "
                              "0.015592 deg, which every printed angle rounds\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find(file + "step 0.0155920 deg is not a multiple of 0.0001 deg: scanmerge "
                              "will place the last point 0.0190 deg off\n"),
            std::string::npos)
      << r.err;
  Scan s = readscan(dir / "out/BT86_.dat");
  ASSERT_EQ(s.rows.size(), 2374u);
  for (size_t i = 0; i < s.rows.size(); ++i)
    ASSERT_EQ(s.rows[i].tth, static_cast<float>(3 + 0.015592 * static_cast<double>(i))) << i;
  EXPECT_EQ(
      s.lines[11],
      "Cu 1.5406 A 45 kV 40 mA, tth 3 step 0.015592, 0.5 s/step, 10^6 mon/0.5 s, omega 1.5 chi 0 "
      "phi 0");
  // the same file with CR LF line ends: the same declared start and step
  std::string crlf;
  for (char c : slurp(data + "/BT86_.UXD"))
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  put(dir / "crlf.uxd", crlf);
  ASSERT_EQ(run(dir, {(dir / "crlf.uxd").string()}).status, 0);
  Scan twin = readscan(dir / "out/crlf.dat");
  ASSERT_EQ(twin.rows.size(), s.rows.size());
  for (size_t i = 0; i < s.rows.size(); ++i)
    ASSERT_TRUE(twin.rows[i].tth == s.rows[i].tth && twin.rows[i].cts == s.rows[i].cts &&
                twin.rows[i].tim == s.rows[i].tim)
        << i;
  // scanmerge finds the same drift
  std::string command =
      "cd '" + dir.string() + "' && timeout 60 '" SCANMERGE_BIN "' < m.txt > console.txt 2>&1";
  ASSERT_NE(std::system(command.c_str()), -1);
  EXPECT_NE(slurp(dir / "console.txt").find("Grid off by 0.0190 deg at last point"),
            std::string::npos);
}

// One measurement stored in several formats gives the same scan rows, as far
// as the two files agree: each pair converted in one run (one stand-in
// monitor); a plain angle-counts export is read here as it prints them.
TEST(ImportRealFiles, OneMeasurementInEveryFormatGivesTheSameRows) {
  enum Same { rows, anglescounts, counts };
  struct Set {
    const char *first, *second;
    size_t n;
    Same same;
    double drift;  // deg per step: the second file prints the step shorter
  };
  const Set sets[] = {
      // RAW files and the UXD files converted from them
      {"BT86.raw", "BT86_.UXD", 2374, rows, 0.5e-6},
      {"sdpd-sample2.raw", "sdpd-sample2_.uxd", 876, rows, 0.5e-6},
      // the same counts as UDF and Rigaku DAT: both from 5 deg (the RAW
      // from 4.98), at 5 s and 10 s a step (the RAW at 4 s)
      {"sdpd-sample2u.udf", "sdpd-sample2r.dat", 876, anglescounts, 0},
      {"sdpd-sample2.raw", "sdpd-sample2u.udf", 876, counts, 0},
      // instrument files and their two-column exports
      {"D5000_1.RAW", "D5000_1.xy", 3651, anglescounts, 0},
      {"QTZQUIN.RAW", "qtzquin.asc", 301, anglescounts, 0},
  };
  // the scan file of an input: a .dat input's takes "-scan"
  auto scanof = [](const fs::path& dir, const fs::path& in) {
    return dir / "out" / (in.stem().string() + (in.extension() == ".dat" ? "-scan" : "") + ".dat");
  };
  for (const Set& set : sets) {
    SCOPED_TRACE(std::string(set.first) + " and " + set.second);
    fs::path dir = workdir(), one = data + "/" + set.first, two = data + "/" + set.second;
    bool plain = two.extension() == ".xy" || two.extension() == ".asc";
    std::vector<std::string> args = {one.string()};
    if (!plain) args.push_back(two.string());
    Result r = run(dir, args);
    ASSERT_EQ(r.status, 0) << r.err;
    Scan a = readscan(scanof(dir, one));
    std::vector<ScanPoint> b;
    if (plain) {
      std::istringstream in(slurp(two));
      double tth, cts;
      while (in >> tth >> cts) {
        ScanPoint p;
        p.tth = static_cast<float>(tth);
        p.cts = static_cast<float>(cts);
        b.push_back(p);
      }
    } else {
      b = readscan(scanof(dir, two)).rows;
    }
    ASSERT_EQ(a.rows.size(), set.n);
    ASSERT_EQ(b.size(), set.n);
    for (size_t i = 0; i < set.n; ++i) {
      const ScanPoint &p = a.rows[i], &q = b[i];
      ASSERT_EQ(p.cts, q.cts) << i;
      // 2e-5: the 32-bit angle near 90 deg and the export's last digit
      if (set.same != counts) {
        ASSERT_NEAR(p.tth, q.tth, set.drift * static_cast<double>(i) + 2e-5) << i;
      }
      if (set.same == rows) {
        ASSERT_TRUE(p.tim == q.tim && p.mon == q.mon) << i;
      }
    }
  }
}

TEST(ImportRealFiles, MapsAndPhiScansStayOutOfTheAnswers) {
  fs::path dir = workdir();
  // a 2theta scan, then in the same folder a UXD file of a phi scan and of
  // two coupled scans over one range at the same axes
  put(dir / "mixed.uxd",
      // keywords as the format allows them: blanks around '=', any case
      "_FILEVERSION=2\n_DRIVE = 'PHI'\n_STEPTIME=1\n_STEPSIZE=5\n_START=0\n_COUNTS\n1 2 3\n"
      "_DRIVE='COUPLED'\n_THETA=15\n_steptime = 1\n_STEPSIZE=0.02\n_START=30\n_COUNTS\n4 5 6\n"
      "_DRIVE='COUPLED'\n_THETA=15\n_STEPTIME=1\n_STEPSIZE=0.02\n_START=30\n_COUNTS\n7 8 9\n");
  Result r = run(dir, {"--answers", (dir / "m.txt").string(), data + "/rsm_2-3scans.xrdml",
                       data + "/polefig_Ge113-2scans.xrdml", (dir / "mixed.uxd").string()});
  EXPECT_EQ(r.status, 1) << r.err;  // the pole figure has no 2theta scan
  for (int k : {1, 2})
    EXPECT_NE(r.err.find("polefig_Ge113-2scans.xrdml: range " + std::to_string(k) +
                         " skipped: it is a scan of Phi, not of 2theta"),
              std::string::npos)
        << r.err;
  EXPECT_NE(r.err.find("mixed.uxd: range 1 skipped: it is a scan of PHI, not of 2theta"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("scanimport: " + data +
                       "/rsm_2-3scans.xrdml: 3 ranges at different omega: a map, not one "
                       "pattern; left out of the answers\n"),
            std::string::npos)
      << r.err;
  // each frame says where omega stood: the axes before the tube's kV and mA
  EXPECT_EQ(readscan(dir / "out/rsm_2-3scans-2.dat").lines[11],
            "Cu 1.540598 A 45 kV, tth 65.8755 step 0.00750233, 2 s/step, 10^6 mon/2 s, omega "
            "32.1596 phi -1.64");
  // the answers list the two coupled scans and are named after the first of them
  std::string out = (dir / "out").string() + "/";
  EXPECT_EQ(slurp(dir / "m.txt"), out + "mixed-2.dat\n" + out + "mixed-3.dat\n\n\n" + out +
                                      "mixed.xrs\n" + out + "mixed.wyr\n" + out + "mixed.profin\n" +
                                      out + "mixed.gdat\nmixed\n");

  // a map alone: every frame written, only left out of the answers
  fs::path alone = dir / "alone";
  fs::create_directories(alone / "out");
  r = run(alone, {"--answers", (alone / "m.txt").string(), data + "/rsm_2-3scans.xrdml"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(alone / "out/rsm_2-3scans-3.dat"));
  EXPECT_NE(r.err.find("m.txt: no scan to merge, so no answers\n"), std::string::npos) << r.err;
}

}  // namespace
