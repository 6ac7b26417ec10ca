// The command line used as a hostile or unlucky user would: closed standard
// streams, links, another user's files, odd titles, names and numbers, a
// full disk and signals. Each group is one kind of fault; none may put a
// stray byte in an output or say "nothing written" when something was.
#include <gtest/gtest.h>
#include <signal.h>    // kill
#include <sys/wait.h>  // waitpid
#include <unistd.h>    // fork, execv, mkfifo, getuid

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "files/safefile.h"
#include "output/report.h"
#include "tests/helpers.h"
#include "text/console.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

struct Ran {
  int status;
  std::string err;
};

fs::path fresh(const std::string& name) {
  const fs::path work = workfor("misuse") / name;
  fs::remove_all(work);
  fs::create_directories(work);
  return work;
}

// Runs "scanmerge ARGS" in work through a shell with the redirections given
// (standard error to err.txt unless they say otherwise).
Ran sh(const fs::path& work, const std::string& args, const std::string& redirect = "2> err.txt",
       const std::string& launcher = "") {
  const std::string command = "cd '" + work.string() + "' && " + launcher +
                              " '" SCANMERGE_BIN "' " + args + " < /dev/null " + redirect;
  Ran r{shell(command), slurp(work / "err.txt")};
  fs::remove(work / "err.txt");
  return r;
}

const std::string scana = scanfile("tth cts mon tim",
                                   "10.00 400 1000000 1000000000\n"
                                   "10.05 900 1000000 1000000000\n");
// rows counted too short to correct: warnings on standard error
const std::string helpscan = scanfile("tth cts mon tim", "10.10 5 1000000 5\n10.15 5 1000000 5\n");

}  // namespace

// ---- descriptors 0, 1, 2 closed: no file takes one of them --------------

TEST(StandardStreams, ClosedOnesNeverReachAnOutput) {
  const fs::path work = fresh("closed");
  put(work / "a.dat", scana);
  put(work / "h.dat", helpscan);
  ASSERT_EQ(sh(work, "a.dat h.dat --xrs82 want.xrs --xye want.xye").status, 0);
  const std::string xrs = slurp(work / "want.xrs"), xye = slurp(work / "want.xye");
  for (const char* closed : {"2>&-", ">&- 2>&-", "<&- >&- 2>&-", ">&- 2> err.txt"}) {
    SCOPED_TRACE(closed);
    EXPECT_EQ(sh(work, "a.dat h.dat --verbose --xrs82 o.xrs --xye o.xye", closed).status, 0);
    EXPECT_EQ(slurp(work / "o.xrs"), xrs);
    EXPECT_EQ(slurp(work / "o.xye"), xye);
  }
  // the dialogue: its console goes nowhere, its file is whole
  put(work / "answers", "a.dat\nh.dat\n\n\no.xrs\n\n\n\n");
  for (const char* closed : {">&-", ">&- 2>&-"}) {
    SCOPED_TRACE(closed);
    fs::remove(work / "o.xrs");
    const std::string command =
        "cd '" + work.string() + "' && '" SCANMERGE_BIN "' < answers " + closed;
    const int rc = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 1) << rc;
    EXPECT_EQ(slurp(work / "o.xrs"), xrs);
  }
}

// ---- outputs through links: one file where their final targets are one --

TEST(OutputLinks, DanglingLinksToOneFileAreOneOutput) {
  const fs::path work = fresh("links");
  put(work / "a.dat", scana);
  fs::create_directory(work / "real");
  fs::create_symlink("real/o", work / "l1");
  fs::create_symlink("real/o", work / "l2");
  fs::create_symlink("l1", work / "l3");                // a chain
  fs::create_symlink("./real/../real/o", work / "l4");  // another spelling
  const auto before = listing(work);
  for (const char* second : {"l2", "l3", "l4", "real/o", "./real/../real/o"}) {
    SCOPED_TRACE(second);
    Ran r = sh(work, "a.dat --xrs82 l1 --gdat "s + second);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "scanmerge: --xrs82 and --gdat name one file: "s + second +
                         "\nTry 'scanmerge --help'.\n");
    EXPECT_EQ(listing(work), before);
    EXPECT_TRUE(fs::is_empty(work / "real"));
  }
  // links to two files are two outputs, each made at its link's end
  fs::create_symlink("real/p", work / "l5");
  EXPECT_EQ(sh(work, "a.dat --xrs82 l1 --gdat l5").status, 0);
  EXPECT_EQ(listing(work / "real"), (std::set<std::string>{"o", "p"}));
}

// ---- renames: checked before the first, and told exactly where one fails -

// Another user's file in a sticky folder (as /tmp) cannot be replaced by
// this user: found before any file is renamed, so nothing is written.
TEST(Renames, AnotherUsersFileInAStickyFolder) {
  if (getuid() != 0) GTEST_SKIP() << "needs root to run the program as another user";
  if (std::system("command -v setpriv >/dev/null") != 0) GTEST_SKIP() << "no setpriv";
  const fs::path work = fresh("sticky");
  put(work / "a.dat", scana);
  fs::create_directory(work / "t");
  fs::permissions(work, fs::perms(0755));
  fs::permissions(work / "a.dat", fs::perms(0644));
  fs::permissions(work / "t", fs::perms(01777));
  put(work / "t/b.gda", "root's\n");
  fs::permissions(work / "t/b.gda", fs::perms(0666));  // anyone may write it, not replace it
  put(work / "t/c.xye", "old\n");
  fs::permissions(work / "t/c.xye", fs::perms(0666));
  const std::string nobody = "setpriv --reuid=65534 --regid=65534 --clear-groups";
  if (sh(work, "--version", "> /dev/null 2>&1", nobody).status != 0)
    GTEST_SKIP() << "user 65534 cannot run the program from " << work;
  Ran r = sh(work, "a.dat --xrs82 t/a.xrs --gdat t/b.gda --xye t/c.xye", "2> err.txt", nobody);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "scanmerge: t/b.gda: cannot be written: Operation not permitted; nothing "
            "written\n");
  EXPECT_EQ(listing(work / "t"), (std::set<std::string>{"b.gda", "c.xye"}));
  EXPECT_EQ(slurp(work / "t/b.gda"), "root's\n");
}

// A rename that still fails after the check (here: another file put under
// a temporary name) leaves those before it new and the rest as they were,
// and says which.
TEST(Renames, FailingMidwayTellsWhichAreNew) {
  const fs::path work = fresh("midway");
  for (const char* name : {"a", "b", "c"}) put(work / name, "old\n");
  SafeFile a, b, c;
  ASSERT_TRUE(openfile(a, (work / "a").string()) && openfile(b, (work / "b").string()) &&
              openfile(c, (work / "c").string()));
  a.file << "new\n";
  b.file << "new\n";
  c.file << "new\n";
  fs::remove(b.temp.name);
  put(b.temp.name, "swapped\n");  // another file under the temporary name
  EXPECT_EQ(commitfiles({&a, &b, &c}), 1u);
  EXPECT_TRUE(a.placed);
  EXPECT_FALSE(b.placed);
  EXPECT_FALSE(c.placed);
  EXPECT_EQ(notplaced({&a, &b, &c}, {"a", "b", "c"}, errno),
            "cannot be written: File exists; new: a; as they were: b, c");
  EXPECT_EQ(slurp(work / "a") + slurp(work / "b") + slurp(work / "c"), "new\nold\nold\n");
  EXPECT_EQ(listing(work), (std::set<std::string>{"a", "b", "c"}));
}

// ---- the GDAT title: a line break is a blank -----------------------------

TEST(Title, LineBreaksAreBlanks) {
  const fs::path work = fresh("title");
  put(work / "a.dat", scana);
  put(work / "cr.dat", scanfile("tth cts mon tim", "10.00 400 1000000 1000000000\n", "Quartz\rx"));
  const std::string title = "Quartz x" + std::string(72, ' ') + "\r\nBANK";
  EXPECT_EQ(sh(work, "a.dat --strict --gdat o.gda --title \"$(printf 'Quartz\\nx')\"").status, 0);
  EXPECT_EQ(slurp(work / "o.gda").substr(0, 86), title);
  EXPECT_EQ(sh(work, "a.dat --gdat o.gda --title \"$(printf 'Quartz\\r\\nx')\"").status, 0);
  EXPECT_EQ(slurp(work / "o.gda").substr(0, 86), "Quartz  x" + std::string(71, ' ') + "\r\nBANK");
  // the default title: line 11 of the first scan, a bare CR in it
  EXPECT_EQ(sh(work, "cr.dat --gdat o.gda").status, 0);
  EXPECT_EQ(slurp(work / "o.gda").substr(0, 86), title);
}

// ---- one scan named twice: a usage error ----------------------------------

TEST(ScanTwice, UnderAnySpellingOrLinkIsAUsageError) {
  const fs::path work = fresh("twice");
  put(work / "a.dat", scana);
  fs::create_directory(work / "d");
  fs::create_hard_link(work / "a.dat", work / "d/hard.dat");
  fs::create_symlink("../a.dat", work / "d/soft.dat");
  const auto before = listing(work);
  for (const char* other : {"a.dat", "./a.dat", "d/../a.dat", "d/hard.dat", "d/soft.dat"}) {
    SCOPED_TRACE(other);
    Ran r = sh(work, "a.dat --xrs82 o.xrs "s + other);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "scanmerge: a.dat and "s + other +
                         " name one scan, which would be summed with itself\nTry 'scanmerge "
                         "--help'.\n");
    EXPECT_EQ(listing(work), before);
  }
}

// ---- values no instrument gives: warnings --strict counts -----------------

TEST(OddValues, FirstAngleMonitorAndTimeAreWarnings) {
  const fs::path work = fresh("odd");
  struct Case {
    std::string rows, warning;
  };
  const Case cases[] = {
      {"nan 1 1000000 1000\n10.05 1 1000000 1000\n",
       "!!!!! First angle nan deg is no 2theta: the grid's angles are wrong.\n"
       "!!!!! Step nan deg is no step: the grid's angles are wrong.\n"},
      {"1e6 1 1000000 1000\n1e6 1 1000000 1000\n",
       "!!!!! First angle 1e+06 deg is no 2theta: the grid's angles are wrong.\n"},
      {"10 1 1000000 1000\n1e9 1 1000000 1000\n",
       "!!!!! Step 1e+09 deg is no step: the grid's angles are wrong.\n"},
      {"10 1 nan 1000\n10.05 1 1e40 1000\n10.1 1 -inf 1000\n",
       "!!!!! Monitor nan or inf in 2 rows: their intensities are nan or 0.\n"},
      {"10 1 1000000 1e40\n10.05 1 1000000 inf\n",
       "!!!!! Time inf in 2 rows: no dead time correction there.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rows);
    put(work / "odd.dat", scanfile("tth cts mon tim", c.rows));
    Ran r = sh(work, "odd.dat --strict --xrs82 o.xrs --report o.json");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind(c.warning, 0), 0u) << r.err;
    EXPECT_EQ(listing(work), std::set<std::string>{"odd.dat"});
    r = sh(work, "odd.dat --xrs82 o.xrs --report o.json");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err.rfind(c.warning, 0), 0u) << r.err;
    fs::remove(work / "o.xrs");
    fs::remove(work / "o.json");
  }
  // a later scan, merged twice for the report's overlap: its rows counted once
  put(work / "a.dat", scana);
  put(work / "odd.dat", scanfile("tth cts mon tim", "10.05 1 nan 1000\n10.1 1 nan 1000\n"));
  EXPECT_EQ(sh(work, "a.dat odd.dat --report o.json").err,
            "!!!!! Monitor nan or inf in 2 rows: their intensities are nan or 0.\n");
}

// ---- the report: valid UTF-8 JSON whatever the bytes of a name -----------

// Each byte that is not part of a well-formed UTF-8 character is written as
// the Latin-1 character of that byte; well-formed characters as they are.
TEST(ReportUtf8, InvalidSequencesOfEveryKind) {
  struct Case {
    std::string bytes, json;
  };
  const Case cases[] = {
      {"\x80", "\\u0080"},                                   // a lone continuation byte
      {"\xbf\xbf", "\\u00bf\\u00bf"},                        // two
      {"\xc0\xaf", "\\u00c0\\u00af"},                        // overlong "/" in two bytes
      {"\xc1\xbf", "\\u00c1\\u00bf"},                        // overlong, the largest
      {"\xe0\x80\xaf", "\\u00e0\\u0080\\u00af"},             // overlong in three
      {"\xe0\x9f\xbf", "\\u00e0\\u009f\\u00bf"},             // overlong, the largest
      {"\xed\xa0\x80", "\\u00ed\\u00a0\\u0080"},             // a surrogate (U+D800)
      {"\xed\xbf\xbf", "\\u00ed\\u00bf\\u00bf"},             // U+DFFF
      {"\xf0\x80\x80\xaf", "\\u00f0\\u0080\\u0080\\u00af"},  // overlong in four
      {"\xf4\x90\x80\x80", "\\u00f4\\u0090\\u0080\\u0080"},  // past U+10FFFF
      {"\xf5\x80\x80\x80", "\\u00f5\\u0080\\u0080\\u0080"},  // a lead byte never used
      {"\xfe\xff", "\\u00fe\\u00ff"},
      {"\xe2\x82", "\\u00e2\\u0082"},                            // cut at the end
      {"\xe2\x82z", "\\u00e2\\u0082z"},                          // cut before an ASCII letter
      {"\xf0\x9d\x84", "\\u00f0\\u009d\\u0084"},                 // cut four
      {"\xe2\xe2\x82\xac", "\\u00e2\xe2\x82\xac"},               // a lead byte, then a whole euro
      {"\xe9t\xe9", "\\u00e9t\\u00e9"},                          // Latin-1
      {"\xc3\xa9\xe2\x82\xac", "\xc3\xa9\xe2\x82\xac"},          // well-formed: as they are
      {"\xed\x9f\xbf\xee\x80\x80", "\xed\x9f\xbf\xee\x80\x80"},  // around the surrogates
      {"\xf0\x90\x80\x80\xf4\x8f\xbf\xbf", "\xf0\x90\x80\x80\xf4\x8f\xbf\xbf"},
      {"\xc2\x80\x7f\x1f\"\\", "\xc2\x80\\u007f\\u001f\\\"\\\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    MergedPattern* p = new MergedPattern();
    RunRecord r;
    ScanRecord s;
    s.name = c.bytes;
    s.warnings = {"HELP! can't decode columns " + c.bytes};
    r.scans.push_back(s);
    std::ostringstream file;
    writereport(*p, std::vector<bool>(1, true), r, file);
    delete p;
    EXPECT_NE(file.str().find("{\"name\": \"" + c.json + "\", "), std::string::npos) << file.str();
    EXPECT_NE(file.str().find("[\"HELP! can't decode columns " + c.json + "\"]"),
              std::string::npos);
  }
}

// ---- a full disk names the file that did not fit, and why ------------------

TEST(FullDisk, NamesTheFileThatFailedAndTheReason) {
  const fs::path work = fresh("fulldisk");
  std::string rows;
  for (int k = 0; k < 1500; ++k) rows += format("%.2f %d 100000 1000\n", 5 + 0.01 * k, 1000 + k);
  put(work / "long.dat", scanfile("tth cts mon tim", rows));
  ASSERT_EQ(sh(work, "long.dat --xrs82 o.xrs --xye o.xye").status, 0);
  const auto xrs = fs::file_size(work / "o.xrs"), xye = fs::file_size(work / "o.xye");
  fs::create_directory(work / "disk");
  // a disk where the XRS82 list fits and the xye file after it does not
  const auto size = (xrs / 4096 + 4) * 4096;
  ASSERT_LT(size, xrs + xye);
  const std::string disk = (work / "disk").string();
  if (std::system(
          ("mount -t tmpfs -o size=" + std::to_string(size) + " tmpfs '" + disk + "' 2>/dev/null")
              .c_str()) != 0)
    GTEST_SKIP() << "no small disk can be mounted here";
  put(work / "disk/o.xrs", "old\n");
  Ran r = sh(work, "long.dat --xrs82 disk/o.xrs --xye disk/o.xye");
  const auto left = listing(work / "disk");
  const std::string old = slurp(work / "disk/o.xrs");
  std::system(("umount '" + disk + "'").c_str());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "scanmerge: disk/o.xye: cannot be written: No space left on device; nothing "
            "written\n");
  EXPECT_EQ(left, std::set<std::string>{"o.xrs"});
  EXPECT_EQ(old, "old\n");
}

// ---- signals: the temporary files go with the process ----------------------

// An output that is a FIFO nobody reads holds the run in its open, after the
// temporary file of the output before it is made; the dialogue waits at its
// title prompt with the GDAT file's temporary file made.
TEST(Signals, TermIntAndHupRemoveTheTemporaryFiles) {
  const fs::path work = fresh("signals");
  put(work / "a.dat", scana);
  ASSERT_EQ(mkfifo((work / "fifo").c_str(), 0600), 0);
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(sig);
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir(work.c_str()) != 0) _exit(127);
      execl(SCANMERGE_BIN, SCANMERGE_BIN, "a.dat", "--xrs82", "o.xrs", "--xye", "fifo",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    bool made = false;
    for (int k = 0; k < 1000 && !made; ++k) {
      for (const std::string& name : listing(work)) made = made || name.rfind("o.xrs.tmp", 0) == 0;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(made);
    kill(pid, sig);
    int st = 0;
    waitpid(pid, &st, 0);
    EXPECT_TRUE(WIFSIGNALED(st) && WTERMSIG(st) == sig) << st;
    EXPECT_EQ(listing(work), (std::set<std::string>{"a.dat", "fifo"}));
  }
  // the dialogue at its title prompt, the GDAT file's temporary file made
  for (int sig : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(sig);
    int typed[2];
    ASSERT_EQ(pipe(typed), 0);
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir(work.c_str()) != 0) _exit(127);
      dup2(typed[0], 0);
      close(typed[1]);
      std::freopen("/dev/null", "wb", stdout);
      execl(SCANMERGE_BIN, SCANMERGE_BIN, static_cast<char*>(nullptr));
      _exit(127);
    }
    close(typed[0]);
    const std::string answers = "a.dat\n\n\n\n\n\no.gda\n";
    ASSERT_EQ(write(typed[1], answers.data(), answers.size()),
              static_cast<ssize_t>(answers.size()));
    bool made = false;
    for (int k = 0; k < 1000 && !made; ++k) {
      for (const std::string& name : listing(work)) made = made || name.rfind("o.gda.tmp", 0) == 0;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(made);
    kill(pid, sig);
    int st = 0;
    waitpid(pid, &st, 0);
    close(typed[1]);
    EXPECT_TRUE(WIFSIGNALED(st) && WTERMSIG(st) == sig) << st;
    EXPECT_EQ(listing(work), (std::set<std::string>{"a.dat", "fifo"}));
  }
}
