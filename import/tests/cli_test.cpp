// The command line: bad inputs, overwriting, blocks that are no step scan,
// usage errors; and the checks behind them.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>

#include "importtest.h"

namespace {

const char* plain = "10.0 5\n10.5 6\n11.0 7\n";

TEST(ImportInputs, BadOnesFailAloneAndWriteNothing) {
  fs::path dir = workdir();
  std::string noise;
  std::mt19937 gen(15);
  for (int i = 0; i < 4096; ++i) noise += static_cast<char>(gen() & 0xFF);
  put(dir / "noise.raw", noise);
  put(dir / "cut.raw", rawv3({{10, 0.02, 1, std::vector<float>(50, 7)}}, "cut").substr(0, 900));
  put(dir / "good.xy", plain);
  fs::create_directories(dir / "folder.raw");
  // binary, with rows of numbers as text in it
  put(dir / "v4.raw", std::string("RAW4.00\0\1", 9) + "\n10 1\n11 2\n12 3\n");
  std::vector<std::string> names = {"missing.raw", "folder.raw", "noise.raw", "cut.raw", "v4.raw"};
  for (const std::string& n : names) {
    Result r = run(dir, {"-t", "1000", (dir / n).string()});
    EXPECT_EQ(r.status, 1) << n;
    EXPECT_EQ(r.err.rfind("scanimport: " + (dir / n).string() + ": ", 0), 0u) << r.err;
    EXPECT_TRUE(fs::is_empty(dir / "out")) << n;
  }
  Result v4 = run(dir, {"-t", "1000", (dir / "v4.raw").string()});
  EXPECT_NE(v4.err.find("v4.raw: ends inside its header"), std::string::npos) << v4.err;
  // the good one among them is still converted
  Result r = run(dir, {"-t", "1000", (dir / "missing.raw").string(), (dir / "good.xy").string(),
                       (dir / "cut.raw").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(fs::exists(dir / "out/good.dat"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "out"), fs::directory_iterator()), 1);

  if (geteuid() != 0) {  // root reads any file
    put(dir / "locked.xy", plain);
    fs::permissions(dir / "locked.xy", fs::perms::none);
    r = run(dir, {"-t", "1000", (dir / "locked.xy").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("locked.xy: cannot be read"), std::string::npos) << r.err;
  }
}

TEST(ImportInputs, NeverOverwritesWithoutForce) {
  fs::path dir = workdir();
  put(dir / "a.xy", plain);
  put(dir / "out/a.dat", "mine\n");
  Result r = run(dir, {"-t", "1000", (dir / "a.xy").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("a.dat exists; --force overwrites it"), std::string::npos) << r.err;
  EXPECT_EQ(slurp(dir / "out/a.dat"), "mine\n");

  r = run(dir, {"--force", "-t", "1000", (dir / "a.xy").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readscan(dir / "out/a.dat").rows.size(), 3u);

  // two inputs of one name: --force never lets the second replace the first
  fs::create_directories(dir / "b");
  put(dir / "b/a.xy", "50 1\n51 2\n");
  r = run(dir, {"--force", "-t", "1000", (dir / "a.xy").string(), (dir / "b/a.xy").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("a.dat was written from an earlier input"), std::string::npos) << r.err;
  EXPECT_EQ(readscan(dir / "out/a.dat").rows[0].tth, 10.0f);

  // a range that clashes stops the whole input: nothing of it is written
  put(dir / "c.raw", rawv3({{10, 0.1, 1, {1, 2, 3}}, {20, 0.1, 1, {4, 5, 6}}}, "c"));
  put(dir / "out/c-2.dat", "mine\n");
  r = run(dir, {(dir / "c.raw").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(fs::exists(dir / "out/c-1.dat"));
}

TEST(ImportInputs, BlocksThatAreNoStepScanAreSkipped) {
  fs::path dir = workdir();
  put(dir / "mixed.uxd",
      "_FILEVERSION=2\n_DRIVE='COUPLED'\n_STEPTIME=1\n_2THETACOUNTS\n10.00 5\n10.02 6\n10.05 7\n"
      "_DRIVE='COUPLED'\n_STEPTIME=1\n_2THETACOUNTS\n20.00 5\n20.02 6\n20.04 7\n"
      "_DRIVE='COUPLED'\n_STEPTIME=1\n_2THETACOUNTSTIME\n30.00 5 1\n30.02 6 1\n");
  Result r = run(dir, {(dir / "mixed.uxd").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("mixed.uxd: range 1 skipped: it is not a step scan (its steps differ by "
                       "more than 1 %)"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("mixed.uxd: range 3 skipped: it holds _2THETACOUNTSTIME rows"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(dir / "out/mixed-1.dat"));
  EXPECT_FALSE(fs::exists(dir / "out/mixed-3.dat"));
  EXPECT_EQ(readscan(dir / "out/mixed-2.dat").rows.size(), 3u);

  put(dir / "back.xy", "10 1\n10.5 2\n10.2 3\n");
  r = run(dir, {"-t", "1000", (dir / "back.xy").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("back.xy: no step scan to convert"), std::string::npos) << r.err;
}

TEST(ImportInputs, AnswersLeaveOutScansOfAnotherStep) {
  fs::path dir = workdir();
  put(dir / "mix.raw", rawv3({{30, 0.05, 1, {1, 2, 3}}, {10, 0.02, 1, {4, 5, 6}}}, "mix"));
  Result r = run(dir, {"--answers", (dir / "m.txt").string(), (dir / "mix.raw").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  std::string out = (dir / "out").string() + "/";
  EXPECT_EQ(slurp(dir / "m.txt").rfind(out + "mix-2.dat\n\n\n", 0), 0u);
  EXPECT_NE(r.err.find("mix-1.dat left out: its step 0.05 deg is not the 0.02 deg of"),
            std::string::npos)
      << r.err;
}

TEST(ImportInputs, LongScansAreWrittenWholeWithAWarning) {
  fs::path dir = workdir();
  std::string rows;
  for (int i = 0; i < 20002; ++i) rows += std::to_string(5 + 0.005 * i) + " 9\n";
  put(dir / "long.xy", rows);
  Result r = run(dir, {"-t", "1000", (dir / "long.xy").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("long.dat: 20002 rows; scanmerge takes the first 20001"), std::string::npos)
      << r.err;
  std::string text = slurp(dir / "out/long.dat");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 14 + 20002);
}

TEST(ImportUsage, ErrorsExitTwo) {
  std::vector<std::vector<std::string>> bad = {{},
                                               {"-x", "a.raw"},
                                               {"a.raw", "-t"},
                                               {"-t", "0", "a.raw"},
                                               {"-t", "ten", "a.raw"},
                                               {"-f", "nosuch", "a.raw"},
                                               {"-o", "/nonexistent/folder", "a.raw"}};
  for (const auto& args : bad) {
    std::ostringstream out, err;
    EXPECT_EQ(scanimport(args, out, err), 2) << (args.empty() ? "" : args[0]);
    EXPECT_NE(err.str().find("Try 'scanimport --help'."), std::string::npos);
    EXPECT_EQ(out.str(), "");
  }
  std::ostringstream out, err;
  EXPECT_EQ(scanimport({"a.raw", "--help"}, out, err), 0);
  EXPECT_EQ(out.str().rfind("Usage: scanimport [options] FILE...\n", 0), 0u);
}

TEST(ImportNumbers, AnglesReadBackAsTheSourceFloat) {
  std::mt19937_64 gen(20001);
  std::uniform_real_distribution<double> angle(-10, 180);
  for (int i = 0; i < 100000; ++i) {
    double x = angle(gen);
    ASSERT_EQ(std::strtof(anglestr(x).c_str(), nullptr), static_cast<float>(x)) << x;
  }
  EXPECT_EQ(anglestr(10.3), "10.3");
  EXPECT_EQ(anglestr(10 + 0.02 * 3), "10.06");
}

TEST(ImportNumbers, StepCheck) {
  EXPECT_EQ(stepcheck({10, 10.02, 10.04}), "");
  EXPECT_EQ(stepcheck({10.04, 10.02, 10}), "");  // falling
  EXPECT_EQ(stepcheck({10, 11, 10.5}),
            "is not a step scan (2theta does not rise or fall steadily)");
  EXPECT_EQ(stepcheck({0, 1.0099, 2.0}), "");  // within 1 %
  EXPECT_NE(stepcheck({0, 1.0101, 2.0}), "");  // beyond
  EXPECT_NE(stepcheck({10, 10, 10}), "");
  EXPECT_EQ(stepcheck({10}), "has fewer than two points");
  EXPECT_NE(stepcheck({10, std::nan(""), 11}), "");
}

}  // namespace
