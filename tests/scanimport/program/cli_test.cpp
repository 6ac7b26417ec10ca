// The command line: bad inputs, overwriting, blocks that are no step scan,
// the safety of every file written, usage errors.
#include <sys/stat.h>
#include <sys/wait.h>  // WEXITSTATUS for std::system's result
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>

#include "tests/scanimport/importtest.h"

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
  Result r = run(dir, {"--answers", (dir / "m.txt").string(), "--command", (dir / "m.sh").string(),
                       (dir / "mix.raw").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  std::string out = (dir / "out").string() + "/";
  EXPECT_EQ(slurp(dir / "m.txt").rfind(out + "mix-2.dat\n\n\n", 0), 0u);
  std::string line = slurp(dir / "m.sh");
  EXPECT_EQ(line.substr(line.find(" --xrs82")),
            " --xrs82 '" + out + "mix.xrs' --wyriet '" + out + "mix.wyr' --profin '" + out +
                "mix.profin' --gdat '" + out + "mix.gdat' --title 'mix' -- '" + out +
                "mix-2.dat'\n");
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

// The command names the build's scanmerge, bare only where PATH finds it, so
// sh runs it from a build as from an installation.
TEST(ImportInputs, TheCommandRunsTheScanmergeBesideScanimport) {
  fs::path dir = workdir();
  put(dir / "a.xy", plain);
  std::string bindir = fs::path(SCANMERGE_BIN).parent_path().string();
  for (const std::string& path : {std::string("/usr/bin:/bin"), bindir + ":/usr/bin:/bin"}) {
    fs::remove_all(dir / "out");
    fs::remove(dir / "m.sh");
    fs::create_directories(dir / "out");
    ASSERT_EQ(shell("cd '" + dir.string() + "' && PATH='" + path +
                    "' '" SCANIMPORT_BIN "' -t 1000 -o out --command m.sh a.xy 2>/dev/null"),
              0);
    std::string line = slurp(dir / "m.sh");
    std::string program = path == "/usr/bin:/bin" ? "'" SCANMERGE_BIN "'" : "scanmerge";
    EXPECT_EQ(line.substr(0, line.find(" --xrs82")), program) << path;
    EXPECT_EQ(shell("cd '" + dir.string() + "' && PATH='" + path + "' sh m.sh"), 0) << path;
    EXPECT_TRUE(fs::exists(dir / "out/a.gdat")) << path;
  }
}

// The files of a folder that are not left-over temporary files.
std::vector<std::string> names(const fs::path& dir) {
  std::vector<std::string> v;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename().string().find(".tmp") == std::string::npos)
      v.push_back(e.path().filename().string());
  std::sort(v.begin(), v.end());
  return v;
}

TEST(ImportSafety, AnInputOfTheRunIsNeverWrittenOver) {
  fs::path dir = workdir();
  std::string in = (dir / "D1A5.dat").string(), other = (dir / "D1A5-scan.dat").string();
  put(in, plain);
  put(other, plain);
  // an input named NAME.dat is converted to NAME-scan.dat, never onto itself;
  // here that is another input
  std::ostringstream out, err;
  EXPECT_EQ(scanimport({"-o", dir.string(), "-t", "1000", "--force", in, other}, out, err), 1);
  EXPECT_NE(err.str().find("scanimport: " + other + ": is an input of this run; not overwritten\n"),
            std::string::npos)
      << err.str();
  EXPECT_EQ(slurp(in), plain);
  EXPECT_EQ(slurp(other), plain);
  EXPECT_TRUE(fs::exists(dir / "D1A5-scan-scan.dat"));

  // the answers file on a scan written a moment before, and on the input
  put(dir / "c.raw", rawv3({{10, 0.1, 1, {1, 2, 3}}, {20, 0.1, 1, {4, 5, 6}}}, "c"));
  std::string raw = slurp(dir / "c.raw");
  Result r =
      run(dir, {"--force", "--answers", (dir / "out/c-1.dat").string(), (dir / "c.raw").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("c-1.dat: is written in this run; not overwritten"), std::string::npos)
      << r.err;
  EXPECT_EQ(readscan(dir / "out/c-1.dat").rows.size(), 3u);
  r = run(dir, {"--force", "--answers", (dir / "./c.raw").string(), (dir / "c.raw").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("c.raw: is an input of this run; not overwritten"), std::string::npos)
      << r.err;
  EXPECT_EQ(slurp(dir / "c.raw"), raw);
}

TEST(ImportSafety, AFailedWriteLeavesEveryOldFile) {
  fs::path dir = workdir();
  std::string rows;
  for (int i = 0; i < 20000; ++i) rows += std::to_string(5 + 0.005 * i) + " 123456\n";
  put(dir / "small.xy", plain);
  put(dir / "big.xy", rows);
  auto convert = [&](const fs::path& to, const std::string& limit) {
    for (const char* n : {"small.dat", "big.dat", "m.txt"}) put(to / n, "old\n");
    return shell(limit + "'" SCANIMPORT_BIN "' --force -t 1000 -o '" + to.string() +
                 "' --answers '" + (to / "m.txt").string() + "' '" + (dir / "small.xy").string() +
                 "' '" + (dir / "big.xy").string() + "' 2>/dev/null >/dev/null");
  };
  // a file-size limit: the small scan would fit, the big one not
  EXPECT_EQ(convert(dir / "out", "ulimit -f 64; "), 1);
  EXPECT_EQ(names(dir / "out"), (std::vector<std::string>{"big.dat", "m.txt", "small.dat"}));
  for (const char* n : {"small.dat", "big.dat", "m.txt"})
    EXPECT_EQ(slurp(dir / "out" / n), "old\n");

  // a full disk, where a small one can be mounted
  fs::path disk = dir / "disk";
  fs::create_directories(disk);
  if (shell("mount -t tmpfs -o size=256k tmpfs '" + disk.string() + "' 2>/dev/null") != 0) return;
  int status = convert(disk, "");
  std::vector<std::string> left = names(disk);
  std::vector<std::string> stale;
  for (const auto& e : fs::directory_iterator(disk)) stale.push_back(e.path().filename().string());
  std::vector<std::string> olds;
  for (const char* n : {"small.dat", "big.dat", "m.txt"}) olds.push_back(slurp(disk / n));
  shell("umount '" + disk.string() + "'");
  EXPECT_EQ(status, 1);
  EXPECT_EQ(left, (std::vector<std::string>{"big.dat", "m.txt", "small.dat"}));
  EXPECT_EQ(stale.size(), 3u);  // no temporary file left behind
  for (const std::string& o : olds) EXPECT_EQ(o, "old\n");
}

TEST(ImportSafety, KilledRunsLeaveOldOrWholeFiles) {
  fs::path dir = workdir();
  std::string rows;
  for (int i = 0; i < 20000; ++i) rows += std::to_string(5 + 0.005 * i) + " 123\n";
  put(dir / "a.xy", rows);
  put(dir / "b.xy", plain);
  std::string args = " --force -t 1000 -o '" + (dir / "out").string() + "' --answers '" +
                     (dir / "out/m.txt").string() + "' '" + (dir / "a.xy").string() + "' '" +
                     (dir / "b.xy").string() + "' >/dev/null 2>&1";
  ASSERT_EQ(shell("'" SCANIMPORT_BIN "'" + args), 0);
  std::map<std::string, std::string> whole;
  for (const char* n : {"a.dat", "b.dat", "m.txt"}) whole[n] = slurp(dir / "out" / n);
  std::mt19937 gen(9);
  for (int k = 0; k < 40; ++k) {
    for (const char* n : {"a.dat", "b.dat", "m.txt"}) put(dir / "out" / n, "old\n");
    int ms = static_cast<int>(gen() % 60);
    shell("{ '" SCANIMPORT_BIN "'" + args + " & p=$!; sleep 0.0" + std::to_string(ms / 10) +
          std::to_string(ms % 10) + "; kill -9 $p; wait $p; } 2>/dev/null");
    for (const char* n : {"a.dat", "b.dat", "m.txt"}) {
      std::string text = slurp(dir / "out" / n);
      EXPECT_TRUE(text == "old\n" || text == whole[n]) << n << " after " << ms << " ms";
    }
    for (const auto& e : fs::directory_iterator(dir / "out"))
      if (e.path().filename().string().find(".tmp") != std::string::npos) fs::remove(e.path());
  }
}

TEST(ImportSafety, LineBreaksNeverShiftTheHeader) {
  fs::path dir = workdir();
  // a sample name that would add a column line and rows of its own
  put(dir / "s.xrdml",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xrdMeasurements "
      "xmlns=\"http://www.xrdml.com/XRDMeasurement/1.5\"><sample><id>a&#10;&#10;tth cts mon "
      "tim&#10;"
      "1 2 3 4&#13;</id></sample><xrdMeasurement><scan><dataPoints>"
      "<positions axis=\"2Theta\"><startPosition>10</startPosition><endPosition>10.2"
      "</endPosition></positions><commonCountingTime>1</commonCountingTime>"
      "<intensities>5 6 7</intensities></dataPoints></scan></xrdMeasurement></xrdMeasurements>\n");
  put(dir / "x\ny.xy", plain);
  Result r = run(dir, {"-t", "1000", "--answers", (dir / "m.txt").string(),
                       (dir / "s.xrdml").string(), (dir / "x\ny.xy").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  Scan s = readscan(dir / "out/s.dat");
  EXPECT_EQ(s.rows.size(), 3u);
  EXPECT_EQ(s.lines[10], "Sample: a  tth cts mon tim 1 2 3 4 ");
  Scan t = readscan(dir / "out/x\ny.dat");
  EXPECT_EQ(t.rows.size(), 3u);
  EXPECT_EQ(t.lines[0], ("source: " + dir.string() + "/x y.xy").substr(0, 98));  // cut to its room
  // scanmerge reads a name per line: such a scan stays out of the answers
  EXPECT_NE(r.err.find("y.dat left out: its name holds a line break"), std::string::npos) << r.err;
  std::string answers = slurp(dir / "m.txt");
  EXPECT_EQ(answers.rfind((dir / "out/s.dat").string() + "\n\n\n", 0), 0u) << answers;
  EXPECT_NE(answers.find("\na  tth cts mon tim 1 2 3 4 \n"), std::string::npos) << answers;
}

TEST(ImportSafety, OnlyRegularFilesAreRead) {
  fs::path dir = workdir();
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  for (const std::string& name : {std::string("/dev/zero"), (dir / "fifo").string()}) {
    Result r = run(dir, {"-t", "1000", "-f", "text", name});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "scanimport: " + name + ": not a regular file\n");
  }
  EXPECT_TRUE(fs::is_empty(dir / "out"));
}

TEST(ImportUsage, ErrorsExitTwo) {
  std::vector<std::vector<std::string>> bad = {{},
                                               {"-x", "a.raw"},
                                               {"a.raw", "-t"},
                                               {"-t", "0", "a.raw"},
                                               {"-t", "ten", "a.raw"},
                                               {"-f", "nosuch", "a.raw"},
                                               {"-o", "/nonexistent/folder", "a.raw"},
                                               {"--reftime", "-5", "a.raw"}};
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

}  // namespace
