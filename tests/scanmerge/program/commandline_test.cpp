// scanmerge SCAN... with options: the files of a run fed from the command
// line are the dialogue's for the same scans and answers; a failed run
// writes nothing; the full-precision files and the report hold the values
// the program holds.
#include <fcntl.h>  // open
#include <gtest/gtest.h>
#include <sys/stat.h>  // mkfifo
#include <unistd.h>    // read, close

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "correct/corrections.h"
#include "merge/scanreader.h"
#include "output/sha256.h"
#include "tests/helpers.h"
#include "version.h"

namespace fs = std::filesystem;

namespace {

struct Cli {
  int status;
  std::string out, err;
};

std::string quote(const std::string& arg) {
  std::string q = "'";
  for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs the program in work with args, standard input empty.
Cli runcli(const fs::path& work, const std::vector<std::string>& args) {
  std::string command = "cd " + quote(work.string()) + " && timeout 60 " SCANMERGE_BIN;
  for (const std::string& a : args) command += " " + quote(a);
  command += " < /dev/null > cli.out 2> cli.err";
  Cli r{shell(command), slurp(work / "cli.out"), slurp(work / "cli.err")};
  fs::remove(work / "cli.out");
  fs::remove(work / "cli.err");
  return r;
}

fs::path fresh(const std::string& name) {
  const fs::path work = workfor("commandline") / name;
  fs::remove_all(work);
  fs::create_directories(work);
  return work;
}

// name -> contents of every file in dir
std::map<std::string, std::string> contents(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.is_regular_file()) files[entry.path().filename().string()] = slurp(entry.path());
  return files;
}

float f32(const std::string& text) { return std::strtof(text.c_str(), nullptr); }

// ---- one random run, both ways ----------------------------------------

// an angle with three decimals, other numbers as integers
std::string field(double v, bool angle) {
  char text[64];
  std::snprintf(text, sizeof text, angle ? "%.3f" : "%.0f", v);
  return text;
}

struct RandomScan {
  std::string name, text;
  float first;  // deg, as the reader converts it
  bool rows;
};

RandomScan randomscan(std::mt19937& rng, const std::string& name, double start, double step) {
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  const char* roles[4] = {"tth", "cts", "mon", "tim"};
  std::vector<int> order = {0, 1, 2, 3};
  std::shuffle(order.begin(), order.end(), rng);
  std::string columns;
  for (int c : order) {
    std::string role = roles[c];
    if (pick(2)) std::transform(role.begin(), role.end(), role.begin(), ::toupper);
    columns += (columns.empty() ? "" : " ") + role;
  }
  int rows = pick(8) == 0 ? pick(2) : 2 + pick(60);
  const char* eol = pick(3) == 0 ? "\r\n" : "\n";
  std::string data;
  for (int r = 0; r < rows; ++r) {
    double v[4];
    v[0] = start + r * step;
    v[1] = pick(20) == 0 ? 2e7 + pick(1000) : pick(6000);
    v[2] = pick(15) == 0 ? pick(1000) : 200000 + pick(800000);
    const double times[] = {5, 1000, 2000, 4000, 100000};
    v[3] = times[pick(30) == 0 ? 0 : 1 + pick(4)];
    std::string row;
    for (int c : order) row += (row.empty() ? "" : " ") + field(v[c], c == 0);
    data += row + eol;
  }
  RandomScan s{name, scanfile(columns, data, "Sample " + name), 0, rows > 0};
  s.first = rows > 0 ? f32(field(start, true)) : 0;
  return s;
}

}  // namespace

// Many random runs: scans of random columns, rows, line ends and order on
// the command line; an EIV answer or none; some outputs. Each run goes
// once through the dialogue (scans lowest first) and once through the
// command line.
TEST(CommandLine, WritesTheDialoguesFilesOverRandomRuns) {
  std::mt19937 rng(20261208);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  const char* formats[4] = {"--xrs82", "--wyriet", "--profin", "--gdat"};
  const char* names[4] = {"o.xrs", "o.wyr", "o.pro", "o.gda"};
  for (int run = 0; run < 40; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const fs::path dialogue = fresh("random-dialogue"), cli = fresh("random-cli");
    const double steps[] = {0.02, 0.05, 0.01, 0.013};
    const double step = steps[pick(4)];
    const int nscans = 1 + pick(4);
    std::vector<RandomScan> scans;
    for (int s = 0; s < nscans; ++s) {
      double start = 10 + (s == 0 ? 0 : pick(4) == 0 ? 10 : pick(50) * step + pick(3) * 0.001);
      scans.push_back(randomscan(rng, "s" + std::to_string(s) + ".dat", start, step));
    }
    std::shuffle(scans.begin(), scans.end(), rng);  // the order given
    std::vector<RandomScan> merged = scans;
    std::stable_sort(merged.begin(), merged.end(), [](const RandomScan& a, const RandomScan& b) {
      return a.rows != b.rows ? a.rows : a.rows && a.first < b.first;
    });
    std::string answers;
    // the scans in the order given, each option with its value put anywhere
    std::vector<std::vector<std::string>> args;
    auto option = [&](std::vector<std::string> words) {
      args.insert(args.begin() + pick(static_cast<int>(args.size()) + 1), words);
    };
    for (const RandomScan& s : scans) {
      put(dialogue / s.name, s.text);
      put(cli / s.name, s.text);
      args.push_back({s.name});
    }
    for (const RandomScan& s : merged) answers += s.name + "\n";
    answers += "\n";
    const char* eivs[][2] = {{"1 20 5", "1,20,5"},
                             {"0.5 20 4", "0.5,20,4"},
                             {"1 20 -100", "1,20,-100"}};  // the last: Range Error!
    int eiv = pick(5);
    if (eiv < 3) {
      answers += std::string(eivs[eiv][0]) + "\n";
      option({"--eiv=" + std::string(eivs[eiv][1])});
    } else {
      answers += "\n";
    }
    for (int f = 0; f < 4; ++f) {
      bool wanted = pick(3) != 0;
      answers += (wanted ? names[f] : "") + std::string("\n");
      if (!wanted) continue;
      option({formats[f], names[f]});
      if (f == 3) {
        answers += "Random run " + std::to_string(run) + "\n";
        option({"--title", "Random run " + std::to_string(run)});
      }
    }
    put(dialogue / "answers.txt", answers);
    const int said = runprogram(dialogue);
    const std::string console = consoletext(dialogue);
    fs::remove(dialogue / "console.out");
    fs::remove(dialogue / "answers.txt");
    std::vector<std::string> words;
    for (const auto& group : args) words.insert(words.end(), group.begin(), group.end());
    Cli r = runcli(cli, words);
    EXPECT_EQ(r.status, said == 1 ? 0 : 1) << r.err;
    EXPECT_EQ(r.out, "");
    // nothing written where the dialogue failed
    EXPECT_EQ(contents(cli), contents(dialogue)) << "dialogue status " << said;
    // every warning in the dialogue's words
    std::istringstream lines(r.err);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("scanmerge: ", 0) == 0) continue;
      EXPECT_NE(console.find(line), std::string::npos) << line;
    }
  }
}

namespace {

const std::string scana = scanfile("tth cts mon tim",
                                   "10.00 400 1000000 1000000000\n"
                                   "10.05 900 1000000 1000000000\n"
                                   "10.10 100 1000000 1000000000\n");
const std::string scanb = scanfile("tth cts mon tim",
                                   "10.05 121 1000000 1000000000\n"
                                   "10.10 361 1000000 1000000000\n"
                                   "10.15 1000 1000000 1000000000\n");

}  // namespace

// Each failure: its status and line on standard error, and not one file
// written or changed (an earlier output stays as it was).
TEST(CommandLine, FailuresWriteNothing) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;  // the first line on standard error
  };
  const std::vector<Case> cases = {
      {{"--xrs82", "new.xrs", "a.dat", "none.dat"},
       1,
       "scanmerge: none.dat: No such file or directory"},
      {{"a.dat", "dir", "--xrs82", "new.xrs"}, 1, "scanmerge: dir: not a plain file"},
      {{"a.dat", "--xrs82", "./dir/../a.dat"},
       1,
       "scanmerge: ./dir/../a.dat: is a scan file; it is never overwritten"},
      {{"a.dat", "--gdat", "link.dat"},
       1,
       "scanmerge: link.dat: is a scan file; it is never overwritten"},
      {{"a.dat", "--xye", "other.dat"},
       1,
       "scanmerge: other.dat: is a scan file; it is never overwritten"},
      {{"a.dat", "--xrs82", "old.xrs", "--cif", "nofolder/x.cif"},
       1,
       "scanmerge: nofolder/x.cif: No such file or directory"},
      {{"a.dat", "b.dat", "--eiv", "1,20,-100", "--xrs82", "old.xrs"},
       1,
       "scanmerge: --eiv: Range Error!: the rocking range leaves 0 to 2theta"},
      // (with the report: its hashing thread ended on the way out)
      {{"b.dat", "one.dat", "--xrs82", "old.xrs", "--report", "new.json"},
       1,
       "scanmerge: b.dat: First file must contain lowest angle."},
      {{"a.dat", "short.dat", "--strict", "--xrs82", "old.xrs"},
       1,
       "Cannot make dead time correction:"},
      // 4000 counts in 0.1 s: 1 / (1 - 0.12)
      {{"hot.dat", "--strict", "--xrs82", "old.xrs"},
       1,
       "scanmerge: hot.dat: the dead-time correction reaches 14 % at 1 points\n"},
      {{"wide.dat", "--strict", "--xrs82", "old.xrs", "--report", "new.json"},
       1,
       "!!!!! Values wider than their columns in old.xrs: 1"},
      {{"faint.dat", "--strict", "--gdat", "old.xrs"},
       1,
       "!!!!! Standard deviations written as 0.0 in old.xrs: 2"},
      {{"a.dat", "--eiv", "1,20"}, 2, "scanmerge: --eiv 1,20: needs H,L,OSC"},
      {{"a.dat", "--eiv", "1,,20,5"}, 2, "scanmerge: --eiv 1,,20,5: needs H,L,OSC"},
      {{"a.dat", "--eiv", "1 20 5,"}, 2, "scanmerge: --eiv 1 20 5,: needs H,L,OSC"},
      {{"a.dat", "--eiv", "1 20 5 6"}, 2, "scanmerge: --eiv 1 20 5 6: needs H,L,OSC"},
      {{"a.dat", "--eiv", "1,20,5,6"}, 2, "scanmerge: --eiv 1,20,5,6: needs H,L,OSC"},
      {{"a.dat", "--eiv", "1,20,5x"}, 2, "scanmerge: --eiv 1,20,5x: needs H,L,OSC"},
      {{"a.dat", "--eiv", "0,20,5"}, 2, "scanmerge: --eiv 0,20,5: needs H,L,OSC"},
      {{"a.dat", "--eiv", "30,20,5"}, 2, "scanmerge: --eiv 30,20,5: needs H,L,OSC"},
      {{"a.dat", "--xrs82"}, 2, "scanmerge: option --xrs82 needs a value"},
      {{"a.dat", "--wyriet", "w", "--wyriet", "v"}, 2, "scanmerge: option --wyriet given twice"},
      {{"a.dat", "--xrs82", "o", "--report", "./o"},
       2,
       "scanmerge: --xrs82 and --report name one file: ./o"},
      {{"a.dat", "--quiet"}, 2, "scanmerge: unknown option --quiet"},
      {{"--strict"}, 2, "scanmerge: no scan file"},
  };
  const fs::path work = fresh("failures");
  put(work / "a.dat", scana);
  put(work / "b.dat", scanb);
  put(work / "other.dat", scanb);  // a scan not merged: known by its column line
  put(work / "one.dat", scanfile("tth cts mon tim", "9.00 1 1000000 1000\n"));
  put(work / "short.dat", scanfile("tth cts mon tim", "10.20 5 1000000 5\n10.25 5 1000000 5\n"));
  put(work / "hot.dat",
      scanfile("tth cts mon tim", "10.00 4000 1000000 100\n10.05 100 1000000 100\n"));
  put(work / "wide.dat", scanfile("tth cts mon tim",
                                  "10 20000000 1000000 1000000000\n"
                                  "10.05 1 1000000 1000000000\n"));
  put(work / "faint.dat", scanfile("tth cts mon tim",
                                   "10.00 1 1e12 1000\n10.05 1 1e12 1000\n"
                                   "10.10 1 1e12 1000\n"));
  put(work / "old.xrs", "old\n");
  fs::create_directory(work / "dir");
  fs::create_symlink("b.dat", work / "link.dat");
  const auto before = contents(work);
  for (const Case& c : cases) {
    std::string command;
    for (const std::string& a : c.args) command += " " + a;
    SCOPED_TRACE(command);
    Cli r = runcli(work, c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(contents(work), before);
    EXPECT_EQ(fs::is_symlink(work / "link.dat"), true);
  }
  // the same warning without --strict: written
  Cli r = runcli(work, {"a.dat", "short.dat", "--xrs82", "old.xrs"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err.rfind("Cannot make dead time correction:\n10.20 5 1000000 5\n", 0), 0u) << r.err;
  EXPECT_NE(slurp(work / "old.xrs"), "old\n");
  // and the largest factor of each scan in the report
  r = runcli(work, {"hot.dat", "--xrs82", "hot.xrs", "--report", "hot.json"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "scanmerge: hot.dat: the dead-time correction reaches 14 % at 1 points\n");
  EXPECT_NE(slurp(work / "hot.json").find("\"deadtime\": 1.136"), std::string::npos)
      << slurp(work / "hot.json");
}

// The prompt's spelling of the EIV answer, scanplot's too, is the same
// correction as the option's.
TEST(CommandLine, EivAnswerSpelledAsAtThePrompt) {
  const fs::path work = fresh("eivspelling");
  put(work / "a.dat", scana);
  ASSERT_EQ(runcli(work, {"a.dat", "--eiv", "1,20,5", "--xrs82", "comma.xrs"}).status, 0);
  for (const char* eiv : {"1 20 5", " 1, 20 ,5 ", "1\t20\t5"}) {
    SCOPED_TRACE(eiv);
    ASSERT_EQ(runcli(work, {"a.dat", "--eiv", eiv, "--xrs82", "blank.xrs"}).status, 0);
    EXPECT_EQ(slurp(work / "blank.xrs"), slurp(work / "comma.xrs"));
  }
  ASSERT_EQ(runcli(work, {"a.dat", "--xrs82", "none.xrs"}).status, 0);
  EXPECT_NE(slurp(work / "none.xrs"), slurp(work / "comma.xrs"));
}

// A file written in place (here a FIFO) is written only once all is
// checked: a failure under --strict sends nothing down it.
TEST(CommandLine, FileWrittenInPlaceWaitsForEveryCheck) {
  const fs::path work = fresh("inplace");
  put(work / "a.dat", scana);
  put(work / "short.dat", scanfile("tth cts mon tim", "10.20 5 1000000 5\n"));
  ASSERT_EQ(mkfifo((work / "pipe").c_str(), 0600), 0);
  const int pipe = open((work / "pipe").c_str(), O_RDONLY | O_NONBLOCK);  // its reader
  ASSERT_GE(pipe, 0);
  for (bool strict : {true, false}) {
    std::vector<std::string> args = {"a.dat", "short.dat", "--xye", "pipe"};
    if (strict) args.push_back("--strict");
    Cli r = runcli(work, args);
    EXPECT_EQ(r.status, strict ? 1 : 0) << r.err;
    char got[256];
    EXPECT_EQ(read(pipe, got, sizeof got) > 0, !strict);
  }
  close(pipe);
}

TEST(CommandLine, HelpVersionAndVerbose) {
  const fs::path work = fresh("help");
  put(work / "a.dat", scana);
  Cli r = runcli(work, {"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "scanmerge " SCANMERGE_VERSION "\n");
  r = runcli(work, {"a.dat", "-h"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("Usage: scanmerge [OPTIONS] SCAN...\n", 0), 0u);
  EXPECT_EQ(contents(work).size(), 1u);
  // -- ends the options: a scan named like one
  put(work / "-a.dat", scana);
  r = runcli(work, {"--verbose", "--xye", "a.xye", "--", "-a.dat"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Scan runs from 2theta = 10.0000, datoffset = 0, tthstep = 0.05000000,  to "
                       "10.1000\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Wrote a.xye\n"), std::string::npos);
}

// Two scans of three points that overlap at two; a time so long that the
// dead-time factor is 1 in 32 bits, and monitors of 1 000 000, so each
// intensity is its count and each sigma its square root.
TEST(CommandLine, ReportsTheOverlapAsComputedByHand) {
  const fs::path work = fresh("report");
  put(work / "a.dat", scana);
  put(work / "b.dat", scanb);
  Cli r = runcli(work, {"b.dat", "a.dat", "--report", "run.json", "--xye", "run.xye"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string json = slurp(work / "run.json");
  // at 10.05: (900 - 121) / sqrt(900 + 121); at 10.10: (100 - 361) / sqrt(100 + 361)
  const double chi2 = (779.0 * 779.0 / 1021.0 + 261.0 * 261.0 / 461.0) / 2;
  const double ratio = (121.0 + 361.0) / (900.0 + 100.0);
  auto numberafter = [&](const std::string& key) {
    size_t at = json.find("\"" + key + "\": ");
    EXPECT_NE(at, std::string::npos) << key;
    return std::strtod(json.c_str() + at + key.size() + 4, nullptr);
  };
  EXPECT_NEAR(numberafter("chi2"), chi2, 1e-12 * chi2);
  EXPECT_NEAR(numberafter("ratio"), ratio, 1e-12);
  EXPECT_EQ(numberafter("points"), 2);
  EXPECT_NE(json.find("\"sha256\": \"" + sha256hex(scana) +
                      "\", \"rows\": 3, \"first\": 10, "
                      "\"last\": 10.1"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"sha256\": \"" + sha256hex(slurp(work / "run.xye")) + "\""),
            std::string::npos);
  // 10.00 to 10.15, the last point too: counts / 2 and sqrt(counts) / 2
  // where the scans overlap, to 32 bits
  EXPECT_EQ(slurp(work / "run.xye"),
            "10 400 20\r\n10.05 510.5 15.9765453\r\n10.1 230.5 10.7354555\r\n10.15 1000 "
            "31.622776\r\n");

  // each scan alone, for a picture: b's differences from a, point by point;
  // a dead-time factor of 1 at every dead time tried cannot tell one
  r = runcli(work, {"a.dat", "b.dat", "--report-scans", "--fit-dead-time"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--report-scans needs --report FILE"), std::string::npos) << r.err;
  r = runcli(work, {"a.dat", "b.dat", "--report", "run.json", "--report-scans", "--fit-dead-time"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "dead time from the overlaps: not determined (the overlapping scans count at "
            "alike rates)\n");
  const std::string scans = slurp(work / "run.json");
  size_t at = scans.find("\"differences\": [[10.05, ");
  ASSERT_NE(at, std::string::npos) << scans;
  char* end = nullptr;
  EXPECT_NEAR(std::strtod(scans.c_str() + at + 24, &end), 779.0 / std::sqrt(1021.0), 1e-12);
  EXPECT_EQ(std::string(end, 10), "], [10.1, ");
  EXPECT_NEAR(std::strtod(end + 10, nullptr), -261.0 / std::sqrt(461.0), 1e-12);
  EXPECT_NE(scans.find("\"points\": [[10.05, 121, 11], [10.1, 361, 19], [10.15, 1000, 31.622776]]"),
            std::string::npos)
      << scans;
  EXPECT_NE(scans.find("\"deadtimefit\": {\"points\": 2, "), std::string::npos);
}

// The report's digest of a scan is of the whole file, also where its data
// end long before it, as read once for the merge; of an output, of the
// file as written.
TEST(CommandLine, ReportHashesEveryByteOfAScan) {
  const fs::path work = fresh("hash");
  std::string tail = "end of the data\n";
  for (int k = 0; tail.size() < 300000; ++k) tail += "comment line " + std::to_string(k) + "\n";
  const std::string scan = scana + tail;
  put(work / "a.dat", scan);
  Cli r = runcli(work, {"a.dat", "--report", "run.json", "--xrs82", "run.xrs"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string json = slurp(work / "run.json");
  EXPECT_NE(json.find("\"sha256\": \"" + sha256hex(scan) + "\", \"rows\": 3,"), std::string::npos)
      << json;
  EXPECT_NE(json.find("\"sha256\": \"" + sha256hex(slurp(work / "run.xrs")) + "\""),
            std::string::npos);
}

TEST(CommandLine, Sha256OfKnownTexts) {
  EXPECT_EQ(sha256hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(sha256hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(sha256hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(sha256hex(std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  // fed in pieces of every size, by the plain code and by the processor's
  // SHA instructions where it has them: the same digest
  std::mt19937 random(35);
  std::string text(1000, '\0');
  for (char& c : text) c = static_cast<char>(random());
  for (std::size_t n = 0; n <= text.size(); n += 1 + n / 8) {
    const std::string whole = sha256hex(text.substr(0, n));
    for (bool hardware : {false, sha256hardware()}) {
      Sha256 d;
      d.hardware = hardware;
      for (std::size_t at = 0, piece = 1; at < n; at += piece, piece = piece % 97 + 13)
        sha256add(d, text.data() + at, std::min(piece, n - at));
      EXPECT_EQ(sha256end(d), whole) << n << (hardware ? " hardware" : " plain");
    }
  }
}

namespace {

// Gives its text at the first read, then fails as a file buffer fails on
// EIO: by throwing.
struct FailingRead : std::streambuf {
  std::string text;
  bool given = false;
  std::streamsize xsgetn(char* to, std::streamsize n) override {
    if (given) throw std::ios_base::failure("read error");
    given = true;
    n = std::min(n, static_cast<std::streamsize>(text.size()));
    std::memcpy(to, text.data(), static_cast<std::size_t>(n));
    return n;
  }
};

}  // namespace

// The digests taken on the second thread: each file's own, whatever the
// pieces it is given in, across the ring's blocks and around files of no
// bytes; a read that fails leaves the digest of the bytes read before it;
// a ring dropped mid-file, as a failed run drops it, ends its thread.
TEST(CommandLine, HashRingDigestsEachFileInTurn) {
  std::mt19937 random(36);
  std::string large(ringblocks * ringbytes * 3 + 17, '\0');
  for (char& c : large) c = static_cast<char>(random());
  const std::vector<std::string> files = {"", "abc", std::string(ringbytes, 'x'), "", large, "z"};
  HashRing ring(static_cast<int>(files.size()));
  for (std::size_t f = 0; f < files.size(); ++f)
    for (std::size_t at = 0, piece = 1; at < files[f].size(); at += piece, piece = piece * 3 + 1)
      hashadd(ring, static_cast<int>(f), files[f].data() + at,
              std::min(piece, files[f].size() - at));
  hashfinish(ring);
  for (std::size_t f = 0; f < files.size(); ++f)
    EXPECT_EQ(hashhex(ring, static_cast<int>(f)), sha256hex(files[f])) << f;

  FailingRead failing;
  failing.text = large.substr(0, ringbytes + 5);
  HashRing read(1);
  HashedInput hashed(&failing, read, 0);
  std::istream in(&hashed);
  std::vector<char> block(blockbytes);
  while (readblock(in, block.data(), blockbytes) > 0) {
  }
  EXPECT_TRUE(in.bad());
  hashfinish(read);
  EXPECT_EQ(hashhex(read, 0), sha256hex(failing.text));

  HashRing dropped(2);
  hashadd(dropped, 0, large.data(), large.size());
}

#ifdef __linux__
// SIGTERM, SIGINT and SIGHUP come to the run's own thread, never the
// hashing one: only the run's thread holds them back while it changes the
// list of temporary files their handler removes.
TEST(CommandLine, HashThreadTakesNoEndSignal) {
  HashRing ring(1);
  const std::string self = std::to_string(getpid());
  int others = 0;
  for (const auto& task : fs::directory_iterator("/proc/self/task")) {
    if (task.path().filename() == self) continue;  // the test's own thread
    std::istringstream status(slurp(task.path() / "status"));
    std::string line;
    while (std::getline(status, line) && line.rfind("SigBlk:", 0) != 0) {
    }
    const unsigned long long blocked = std::stoull(line.substr(7), nullptr, 16);
    for (int s : {SIGTERM, SIGINT, SIGHUP}) EXPECT_TRUE(blocked >> (s - 1) & 1) << s;
    ++others;
  }
  EXPECT_EQ(others, 1);
}
#endif
