// A scan is never overwritten, an output file appears only complete, and a
// run that failed never ends as if it went well: under hostile consoles,
// memory and file-size limits, full disks and kill -9.
#include <gtest/gtest.h>

#ifndef _WIN32         // links, modes, devices, fork and ulimit are POSIX's
#include <signal.h>    // kill
#include <sys/stat.h>  // umask
#include <sys/wait.h>  // waitpid, WEXITSTATUS
#include <unistd.h>    // fork, execl, getuid

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "correct/corrections.h"
#include "dialogue/dialogue.h"
#include "output/writers.h"
#include "tests/helpers.h"
#include "text/console.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

#if defined(__SANITIZE_ADDRESS__)
#define UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define UNDER_ASAN 1
#endif
#endif

namespace {

const char* const xrsprompt = "To get XRS82 output file with stdev, enter file name: ";

// An empty folder of its own for a test, made the working folder.
struct Folder {
  fs::path dir, before;
  explicit Folder(const std::string& name)
      : dir(fs::path(E2E_WORK) / "safety" / name), before(fs::current_path()) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::current_path(dir);
  }
  ~Folder() { fs::current_path(before); }
};

const std::string scan = scanfile("tth cts mon tim",
                                  "10.00 400 1000000 100000\n"
                                  "10.05 900 1000000 100000\n");
// a scan no reader could take for one: no tth name on line 14
const std::string anglescan = scanfile("angle cts mon tim", "10.00 400 1000000 100000\n");

std::unique_ptr<MergedPattern> threepoints() {
  auto p = std::make_unique<MergedPattern>();
  p->tthmin = 10;
  p->tthstep = 0.05;
  p->imax = 3;
  for (int k = 0; k < 4; ++k) {
    p->inten[k] = 100.0f * static_cast<float>(k + 1);
    p->sigma[k] = 10.0f;
  }
  return p;
}

struct Asked {
  bool kept;
  std::string con;
};

// One output prompt and its file, as the run takes them.
Asked askandwrite(const std::string& name, const std::vector<std::string>& scans,
                  bool written = true) {
  auto p = threepoints();
  std::istringstream in(name + "\n");
  std::ostringstream con;
  OutputFile out;
  Stop stop;
  FieldCounts counts;
  bool kept = askoutput(xrsprompt, scans, in, con, out, stop) &&
              (!out.opened || keepoutput(out, writexrs82(*p, out.file(), counts) && written, stop));
  return {kept, con.str() + (kept ? "" : stop.text)};
}

std::string xrs() {
  auto p = threepoints();
  std::ostringstream file;
  FieldCounts counts;
  writexrs82(*p, file, counts);
  return file.str();
}

// Gives its text, then fails as a console whose read fails.
class FailingConsole : public std::stringbuf {
 public:
  explicit FailingConsole(const std::string& text) : std::stringbuf(text) {}

 protected:
  int_type underflow() override {
    int_type ch = std::stringbuf::underflow();
    if (traits_type::eq_int_type(ch, traits_type::eof())) throw std::runtime_error("read error");
    return ch;
  }
};

// Runs the built program in dir as runprogram does; returns its exit status
// and the console.
struct Ran {
  int status;  // -1: killed by a signal
  std::string con;
};

Ran runhere(const fs::path& dir, const std::string& input, const std::string& prefix = "",
            const std::string& launcher = "exec") {
  Ran run{runprogram(dir, input, prefix, launcher, "'" SCANMERGE_BIN "'"),
          slurp(dir / "console.out")};
  fs::remove(dir / "console.out");
  return run;
}

// Under a tight limit the loader itself may fail, before the program runs:
// then neither the banner nor "allocation error" was printed.
bool started(const Ran& r) {
  return r.con.rfind("First file", 0) == 0 || r.con == "allocation error\n";
}

bool endswith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

// ---- the console -------------------------------------------------------

TEST(Console, ReadErrorToldFromTheEndOfInput) {
  Folder f("console");
  // reading a folder fails (EISDIR), as standard input redirected from one
  std::FILE* folder = std::fopen(".", "r");
  ASSERT_NE(folder, nullptr);
  ConsoleBuf broken(folder);
  std::istream in(&broken);
  std::ostringstream con;
  std::string answer = "?";
  EXPECT_FALSE(askline(in, con, answer));
  EXPECT_EQ(answer, "");
  EXPECT_TRUE(in.bad());
  EXPECT_EQ(con.str(), "");
  std::fclose(folder);

  // answers longer than every buffer, NUL bytes, CR LF, a last line
  // without its end, and then the end of input: blank, every time
  const std::string longone(10000, 'x');
  put("answers", "first\r\n" + longone + "\0z\n"s + "last");
  std::FILE* answers = std::fopen("answers", "rb");
  ConsoleBuf console(answers);
  std::istream typed(&console);
  con.str("");
  for (const std::string& want : {"first"s, longone + std::string("\0z", 2), "last"s, ""s, ""s}) {
    EXPECT_TRUE(askline(typed, con, answer));
    EXPECT_EQ(answer, want);
  }
  EXPECT_FALSE(typed.bad());
  EXPECT_EQ(con.str(), "");
  std::fclose(answers);
}

// Whichever prompt the console fails at, the run ends there and the file
// being made is dropped, the earlier one of its name kept.
TEST(Console, ReadErrorAtEachPrompt) {
  Folder f("console-prompts");
  put("a.dat", scan);
  const std::string fail = "Couldn't read the console.  I die.\n";
  auto p = threepoints();
  std::ostringstream con;
  Stop stop;
  {
    FailingConsole text("a.dat\n");
    std::istream in(&text);
    std::vector<std::string> scans;
    EXPECT_FALSE(readscans(*p, scans, in, con, stop));
    EXPECT_TRUE(endswith(con.str(), "no. 2 name (blank to end): "));
    EXPECT_EQ(stop.text, fail);
  }
  {
    FailingConsole text("1 2\n");
    std::istream in(&text);
    con.str("");
    stop = Stop();
    EXPECT_FALSE(eivcorrect(*p, in, con, stop));
    EXPECT_TRUE(endswith(con.str(), "Otherwise, blank.\n"));
    EXPECT_EQ(stop.status, 0);
    EXPECT_EQ(stop.text, fail);
  }
  {
    FailingConsole text("");
    std::istream in(&text);
    con.str("");
    stop = Stop();
    OutputFile out;
    EXPECT_FALSE(askoutput(xrsprompt, {}, in, con, out, stop));
    EXPECT_EQ(con.str() + stop.text, xrsprompt + fail);
  }
  {
    put("old.gda", "old\n");
    FailingConsole text("old.gda\n");
    std::istream in(&text);
    con.str("");
    stop = Stop();
    {
      OutputFile out;
      ASSERT_TRUE(askoutput("GDAT: ", {}, in, con, out, stop));
      ASSERT_TRUE(out.opened);
      std::string title;
      EXPECT_FALSE(asktitle(in, con, title, stop));
    }
    EXPECT_EQ(con.str() + stop.text, "GDAT: Enter title: " + fail);
    EXPECT_EQ(slurp("old.gda"), "old\n");
    EXPECT_EQ(listing("."), (std::set<std::string>{"a.dat", "old.gda"}));
  }
}

#ifdef __linux__
// A scan that gives a read error ends the dialogue: merged in part, it would
// pass for the whole scan. /proc/self/mem fails (EIO) at its start.
TEST(ReadError, AScanThatFailsEndsTheDialogue) {
  auto p = std::make_unique<MergedPattern>();
  std::istringstream in("/proc/self/mem\n\n");
  std::ostringstream con;
  std::vector<std::string> scans;
  Stop stop;
  EXPECT_FALSE(readscans(*p, scans, in, con, stop));
  EXPECT_EQ(stop.status, 0);
  EXPECT_EQ(stop.text, "Couldn't read file /proc/self/mem.  I die.\n");
}
#endif

// ---- scans are never overwritten -----------------------------------------

TEST(ScanNames, MergedScanUnderEverySpellingAndLink) {
  Folder f("merged");
  put("a.dat", anglescan);
  fs::create_directory("sub");
  fs::create_symlink("a.dat", "soft.dat");
  fs::create_symlink(f.dir / "soft.dat", "sub/chain.dat");
  fs::create_hard_link("a.dat", "hard.dat");
  const std::set<std::string> files = listing(".");
  for (const std::string& name : {"a.dat"s, "./a.dat"s, (f.dir / "a.dat").string(), "sub/../a.dat"s,
                                  "soft.dat"s, "sub/chain.dat"s, "hard.dat"s, ".//a.dat"s}) {
    SCOPED_TRACE(name);
    Asked a = askandwrite(name, {"a.dat"});
    EXPECT_FALSE(a.kept);
    EXPECT_EQ(a.con, xrsprompt + "Won't overwrite scan file "s + name + ".  I die.\n");
    EXPECT_EQ(slurp("a.dat"), anglescan);
    EXPECT_EQ(listing("."), files);
  }
  // not merged in this run and no tth column: an ordinary file, replaced
  Asked a = askandwrite("hard.dat", {});
  EXPECT_TRUE(a.kept);
  EXPECT_EQ(slurp("hard.dat"), xrs());
  EXPECT_EQ(slurp("a.dat"), anglescan);  // now a file of its own
}

TEST(ScanNames, UnmergedScanKnownByItsColumnLine) {
  Folder f("unmerged");
  const std::string scans[] = {scan, scanfile("TTH CTS MON TIM", ""),
                               scanfile("cts mon tim tth", "1 2 3 4\n"),
                               scanfile("a b c d e f g tth", ""),
                               // a first line of 400 characters is read as lines 1 to 3, so the
                               // 11th line after it is line 14; CR LF line ends
                               std::string(400, 'x') +
                                   "\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n11\r\n"
                                   "12\r\n13\r\ntth cts mon tim\r\n"};
  for (const std::string& text : scans) {
    put("b.dat", text);
    Asked a = askandwrite("b.dat", {});
    EXPECT_FALSE(a.kept);
    EXPECT_EQ(a.con, xrsprompt + "Won't overwrite scan file b.dat.  I die.\n"s);
    EXPECT_EQ(slurp("b.dat"), text);
    EXPECT_EQ(listing("."), std::set<std::string>{"b.dat"});
  }
  // a ninth name is never read; a name of two letters is no name
  for (const std::string& text :
       {scanfile("a b c d e f g h tth", ""), scanfile("th cts mon tim", ""), "tth cts mon tim\n"s,
        anglescan}) {
    put("c.dat", text);
    EXPECT_TRUE(askandwrite("c.dat", {}).kept);
    EXPECT_EQ(slurp("c.dat"), xrs());
  }
}

// None of the four formats can look like a scan, so each is replaced again.
TEST(ScanNames, EveryOutputFormatIsReplacedAgain) {
  Folder f("formats");
  auto p = std::make_unique<MergedPattern>();
  p->tthmin = 5;
  p->tthstep = 0.01;
  p->imax = 40;
  for (int k = 0; k < p->imax; ++k) p->inten[k] = p->sigma[k] = 1;
  for (int format = 0; format < 4; ++format) {
    for (int pass = 0; pass < 2; ++pass) {
      std::istringstream in("out\ntth cts mon tim\n");
      std::ostringstream con;
      OutputFile out;
      Stop stop;
      ASSERT_TRUE(askoutput("? ", {}, in, con, out, stop) && out.opened) << format << con.str();
      FieldCounts counts;
      std::string title;
      bool ok = format == 0   ? writexrs82(*p, out.file(), counts)
                : format == 1 ? writewyriet(*p, out.file(), counts)
                : format == 2
                    ? writeprofin(*p, out.file(), counts)
                    : asktitle(in, con, title, stop) && writegdat(*p, title, out.file(), counts);
      EXPECT_TRUE(keepoutput(out, ok, stop)) << format;
    }
  }
}

// ---- files replaced whole or not at all -----------------------------------

TEST(Replace, WholeFileWithItsModeThroughLinks) {
  Folder f("replace");
  put("old.xrs", "old\n");
  fs::permissions("old.xrs", fs::perms(0640));
  fs::create_symlink("old.xrs", "link.xrs");
  EXPECT_TRUE(askandwrite("link.xrs", {}).kept);
  EXPECT_TRUE(fs::is_symlink("link.xrs"));
  EXPECT_EQ(slurp("old.xrs"), xrs());
  EXPECT_EQ(fs::status("old.xrs").permissions(), fs::perms(0640));
  // a private file is never readable by others, not even half written
  put("private.xrs", "old\n");
  fs::permissions("private.xrs", fs::perms(0600));
  std::istringstream in("private.xrs\n");
  std::ostringstream con;
  OutputFile out;
  Stop stop;
  ASSERT_TRUE(askoutput(xrsprompt, {}, in, con, out, stop) && out.opened);
  EXPECT_EQ(fs::status(out.safe.temp.name).permissions(), fs::perms(0600));
  EXPECT_TRUE(keepoutput(out, true, stop));
  EXPECT_EQ(fs::status("private.xrs").permissions(), fs::perms(0600));
  fs::remove("private.xrs");

  EXPECT_TRUE(askandwrite("new.xrs", {}).kept);
  EXPECT_EQ(slurp("new.xrs"), xrs());
  const mode_t mask = umask(077);  // a new file gets the plain open's mode
  umask(mask);
  EXPECT_EQ(fs::status("new.xrs").permissions(), fs::perms(0666 & ~mask));
  EXPECT_EQ(listing("."), (std::set<std::string>{"link.xrs", "new.xrs", "old.xrs"}));

  // a writer that saw an error: the old file stays, nothing else is left
  put("old.xrs", "old\n");
  Asked a = askandwrite("old.xrs", {}, false);
  EXPECT_FALSE(a.kept);
  EXPECT_EQ(a.con, xrsprompt + "Couldn't write file old.xrs.  I die.\n"s);
  EXPECT_EQ(slurp("old.xrs"), "old\n");
  EXPECT_EQ(listing("."), (std::set<std::string>{"link.xrs", "new.xrs", "old.xrs"}));
}

TEST(Replace, NamesThePlainOpenRefusesAreRefused) {
  Folder f("refused");
  fs::create_directory("adir");
  put("adir.tmp0", "not ours\n");  // a name in the way of a temporary file
  for (const std::string& name : {"adir"s, "adir/"s, "nodir/a.xrs"s, "adir.tmp0/x"s, "a\0b"s}) {
    SCOPED_TRACE(name);
    Asked a = askandwrite(name, {});
    EXPECT_FALSE(a.kept);
    EXPECT_EQ(a.con, xrsprompt + "Couldn't open file.  I die.\n"s);
  }
  EXPECT_EQ(listing("."), (std::set<std::string>{"adir", "adir.tmp0"}));
  EXPECT_TRUE(fs::is_empty("adir"));
  // a temporary name already taken is passed over
  put("b.xrs.tmp0", "not ours\n");
  EXPECT_TRUE(askandwrite("b.xrs", {}).kept);
  EXPECT_EQ(slurp("b.xrs.tmp0"), "not ours\n");
  // devices are written in place
  EXPECT_TRUE(askandwrite("/dev/null", {}).kept);
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  Asked a = askandwrite("/dev/full", {});
  EXPECT_FALSE(a.kept);
  EXPECT_EQ(a.con, xrsprompt + "Couldn't write file /dev/full.  I die.\n"s);
}

// Another user who may write the folder swaps each temporary file for a
// link to a file of ours as soon as it appears: that file is never written,
// and the name gets our whole file or the run says it could not.
TEST(Replace, TemporaryFileSwappedForALink) {
  Folder f("swap");
  put("victim", "victim\n");
  std::atomic<bool> stop{false};
  std::atomic<int> swapped{0};
  std::thread attacker([&] {
    std::error_code ec;
    while (!stop) {
      for (fs::directory_iterator it(".", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind("out.xrs.tmp", 0) != 0 || fs::is_symlink(it->symlink_status(ec))) continue;
        if (fs::remove(name, ec) && !ec) {
          fs::create_symlink("victim", name, ec);
          if (!ec) ++swapped;
        }
      }
      ec.clear();
    }
  });
  for (int k = 0; k < 200; ++k) {
    Asked a = askandwrite("out.xrs", {});
    EXPECT_FALSE(fs::is_symlink("out.xrs"));
    if (a.kept)
      EXPECT_EQ(slurp("out.xrs"), xrs());
    else
      EXPECT_EQ(a.con, xrsprompt + "Couldn't write file out.xrs.  I die.\n"s);
  }
  stop = true;
  attacker.join();
  EXPECT_EQ(slurp("victim"), "victim\n");
  EXPECT_GT(swapped, 0);
}

// A link to a file not there yet: the file is made at the link's end
// through a temporary file beside it, never written in place.
TEST(Replace, DanglingLinkGetsAWholeFileAtItsEnd) {
  Folder f("dangling");
  fs::create_directory("sub");
  fs::create_symlink("sub/new.xrs", "out.xrs");
  fs::create_symlink("../far.xrs", "sub/chain");  // from the link's own folder
  fs::create_symlink("sub/chain", "two.xrs");
  {
    std::istringstream in("out.xrs\n");
    std::ostringstream con;
    OutputFile out;
    Stop stop;
    ASSERT_TRUE(askoutput(xrsprompt, {}, in, con, out, stop) && out.opened);
    EXPECT_EQ(fs::path(out.safe.temp.name).parent_path(), "sub");
    EXPECT_FALSE(fs::exists("sub/new.xrs"));
    auto p = threepoints();
    FieldCounts counts;
    EXPECT_TRUE(keepoutput(out, writexrs82(*p, out.file(), counts), stop));
  }
  EXPECT_TRUE(fs::is_symlink("out.xrs"));
  EXPECT_EQ(slurp("sub/new.xrs"), xrs());
  EXPECT_TRUE(askandwrite("two.xrs", {}).kept);
  EXPECT_EQ(slurp("far.xrs"), xrs());
  // a writer that saw an error (a full disk) leaves nothing at the end
  fs::create_symlink("sub/never.xrs", "fail.xrs");
  EXPECT_FALSE(askandwrite("fail.xrs", {}, false).kept);
  // a link into a missing folder, a loop: what the plain open refuses
  fs::create_symlink("nodir/x.xrs", "nodir.xrs");
  fs::create_symlink("loop.xrs", "loop.xrs");
  for (const char* name : {"nodir.xrs", "loop.xrs"})
    EXPECT_EQ(askandwrite(name, {}).con, xrsprompt + "Couldn't open file.  I die.\n"s);
  EXPECT_EQ(listing("."), (std::set<std::string>{"fail.xrs", "far.xrs", "loop.xrs", "nodir.xrs",
                                                 "out.xrs", "sub", "two.xrs"}));
  EXPECT_EQ(listing("sub"), (std::set<std::string>{"chain", "new.xrs"}));
}

// Temporary files that killed runs left never block a run, and a temporary
// name fits the folder whatever the output's name.
TEST(Replace, TemporaryNamesNeverRunOutAndFit) {
  Folder f("tempnames");
  for (int k = 0; k < 100; ++k) put("out.xrs.tmp" + std::to_string(k), "stale\n");
  EXPECT_TRUE(askandwrite("out.xrs", {}).kept);
  EXPECT_EQ(slurp("out.xrs"), xrs());
  EXPECT_EQ(listing(".").size(), 101u);
  if (pathconf(".", _PC_NAME_MAX) != 255) GTEST_SKIP() << "names here are not 255 bytes at most";
  const std::string longest(255, 'x');
  EXPECT_TRUE(askandwrite(longest, {}).kept);  // new, then replaced
  EXPECT_TRUE(askandwrite(longest, {}).kept);
  EXPECT_EQ(slurp(longest), xrs());
  EXPECT_EQ(askandwrite(longest + "x", {}).con, xrsprompt + "Couldn't open file.  I die.\n"s);
  EXPECT_EQ(listing(".").size(), 102u);
}

// Files put in place together: one that could not be written keeps all out.
TEST(Replace, SeveralFilesAllOrNone) {
  Folder f("together");
  put("b", "old\n");
  SafeFile a, b, c;
  ASSERT_TRUE(openfile(a, "a") && openfile(b, "b") && openfile(c, "c"));
  a.file << "a\n";
  b.file << "b\n";
  c.file.setstate(std::ios::badbit);  // its writer saw an error
  EXPECT_EQ(commitfiles({&a, &b, &c}), 2u);
  EXPECT_EQ(listing("."), std::set<std::string>{"b"});
  EXPECT_EQ(slurp("b"), "old\n");
  ASSERT_TRUE(openfile(a, "a") && openfile(b, "b"));
  a.file << "a\n";
  b.file << "b\n";
  EXPECT_EQ(commitfiles({&a, &b}), 2u);
  EXPECT_EQ(slurp("a") + slurp("b"), "a\nb\n");
  EXPECT_EQ(listing("."), (std::set<std::string>{"a", "b"}));
}

// ---- the built program under hostile limits ------------------------------

class Limits : public testing::Test {
 protected:
  Folder f{"limits-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name())};
  void SetUp() override { put("a.dat", scan); }
};

TEST_F(Limits, ConsoleThatIsAFolder) {
  Ran r = runhere(f.dir, "'" + f.dir.string() + "'");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(endswith(r.con, "(blank to end): Couldn't read the console.  I die.\n")) << r.con;
}

TEST_F(Limits, AllocationFailureAnywhere) {
#ifdef UNDER_ASAN
  GTEST_SKIP() << "the address sanitizer cannot run under a memory limit";
#endif
  // a data-segment limit around what the grid needs: the program either
  // cannot start, or says so and ends with 0, or has enough and ends with 1
  int failed = 0;
  put("answers", "a.dat\n\n\nout.xrs\n\n\nout.gda\ntitle\n");
  for (int kib = 200; kib <= 700; kib += 20) {
    SCOPED_TRACE(kib);
    Ran r = runhere(f.dir, "answers", "ulimit -d " + std::to_string(kib) + ";");
    if (!started(r)) continue;
    if (r.status == 0) {
      EXPECT_TRUE(endswith(r.con, "allocation error\n")) << r.con;
      ++failed;
    } else {
      EXPECT_EQ(r.status, 1) << r.con;
    }
  }
  EXPECT_GT(failed, 0);

  // an answer of 20 MB at each prompt, under a few address-space limits;
  // the XRS82 file before the title stays complete, no temporary file stays
  const std::string huge(20000000, 'T');
  const std::string answers[] = {huge + "\n", "a.dat\n\n" + huge + "\n",
                                 "a.dat\n\n\n" + huge + "\n",
                                 "a.dat\n\n\nout.xrs\n\n\nout.gda\n" + huge + "\n"};
  int ran = 0;
  fs::remove("out.gda");
  for (const std::string& text : answers) {
    put("answers", text);
    for (int kib : {8000, 12000, 16000}) {
      SCOPED_TRACE(std::to_string(kib) + " KiB, answer at " + text.substr(0, 30));
      fs::remove("out.xrs");
      Ran r = runhere(f.dir, "answers", "ulimit -v " + std::to_string(kib) + ";");
      if (!started(r)) continue;
      ++ran;
      EXPECT_EQ(r.status, 0);
      EXPECT_TRUE(endswith(r.con, "allocation error\n")) << r.con.substr(0, 2000);
      std::set<std::string> left = listing(".");
      left.erase("out.xrs");
      EXPECT_EQ(left, (std::set<std::string>{"a.dat", "answers"}));
      // the scan's first point: 400 counts in 100 s, dead-time corrected
      // to 400.005, per 1e6 monitor counts; sigma its square root
      if (text.size() > huge.size() + 20) {
        EXPECT_EQ(slurp("out.xrs"), "  10.000     400     20.0\r\n");
      }
    }
  }
  if (ran == 0) GTEST_SKIP() << "the program cannot start under 16000 KiB here";
}

// A stack of 64 KiB (ulimit -s 64), the least the README promises, runs the
// whole program, the dialogue and the command line with every output (the C
// library's printf and path resolving take pages of stack): no large buffer
// lives on the stack.
TEST_F(Limits, SmallStack) {
#ifdef UNDER_ASAN
  GTEST_SKIP() << "the address sanitizer's frames need more stack";
#endif
  put("answers", "a.dat\n\n\nout.xrs\nout.wyr\nout.pro\nout.gda\ntitle\n");
  Ran r = runhere(f.dir, "answers", "ulimit -s 64;");
  EXPECT_EQ(r.status, 1) << r.con;
  EXPECT_EQ(slurp("out.xrs"), "  10.000     400     20.0\r\n");
  int status = runprogram(f.dir, "answers", "ulimit -s 64;", "exec",
                          "'" SCANMERGE_BIN
                          "' a.dat --xrs82 out.xrs --wyriet out.wyr --xye out.xye "
                          "--cif out.cif --report out.json");
  EXPECT_EQ(status, 0) << slurp(f.dir / "console.out");
  EXPECT_EQ(slurp("out.xrs"), "  10.000     400     20.0\r\n");
}

// Standard output on a full disk: the run goes on, its files are written,
// and the status is a failure's, said on standard error.
TEST_F(Limits, ConsoleThatCannotBeWritten) {
  put("answers", "a.dat\n\n\nout.xrs\n");
  const std::string command =
      "cd '" + f.dir.string() + "' && " SCANMERGE_BIN " < answers > /dev/full 2> errors";
  const int rc = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << rc;
  EXPECT_EQ(slurp("errors"), "scanmerge: couldn't write the console\n");
  EXPECT_EQ(slurp("out.xrs"), "  10.000     400     20.0\r\n");
}

// Closing the terminal hangs it up (its reads give nothing) and sends
// SIGHUP: a console read error, whatever came first.
TEST_F(Limits, TerminalClosedIsAConsoleReadError) {
  int typed[2];
  ASSERT_EQ(pipe(typed), 0);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(typed[0], 0);
    close(typed[1]);
    std::freopen("console.out", "wb", stdout);
    execl(SCANMERGE_BIN, SCANMERGE_BIN, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(typed[0]);
  ASSERT_EQ(write(typed[1], "a.dat\n\n\n", 8), 8);
  const std::string asked = xrsprompt;
  for (int k = 0; k < 1000 && !endswith(slurp("console.out"), asked); ++k)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  kill(pid, SIGHUP);
  close(typed[1]);
  int st = 0;
  waitpid(pid, &st, 0);
  ASSERT_TRUE(WIFEXITED(st)) << "ended by signal " << WTERMSIG(st);
  EXPECT_EQ(WEXITSTATUS(st), 0);
  EXPECT_TRUE(endswith(slurp("console.out"), asked + "Couldn't read the console.  I die.\n"));
}

std::string longscan(int points) {
  std::string rows;
  char row[64];
  for (int k = 0; k < points; ++k) {
    std::snprintf(row, sizeof row, "%.2f %d 100000 1000\n", 5 + 0.01 * k, 1000 + k);
    rows += row;
  }
  return scanfile("tth cts mon tim", rows);
}

// A limit of 4 KiB lets the console through, not a list of 500 points.
TEST_F(Limits, FileSizeLimitAndFullDisk) {
  put("a.dat", longscan(501));
  put("out.xrs", "old\n");
  put("answers", "a.dat\n\n\nout.xrs\n");
  Ran r = runhere(f.dir, "answers", "ulimit -f 4;");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(endswith(r.con, xrsprompt + "Couldn't write file out.xrs.  I die.\n"s)) << r.con;
  EXPECT_EQ(slurp("out.xrs"), "old\n");
  EXPECT_EQ(listing("."), (std::set<std::string>{"a.dat", "answers", "out.xrs"}));

  put("answers", "a.dat\n\n\n/dev/full\n");
  r = runhere(f.dir, "answers");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(endswith(r.con, "Couldn't write file /dev/full.  I die.\n")) << r.con;
}

// Write permission is the plain open's: a user who may not write the file
// may not replace it either, even with a writable folder.
TEST_F(Limits, ReadOnlyFileOfAnotherUser) {
  put("ro.xrs", "old\n");
  fs::permissions("ro.xrs", fs::perms(0444));
  put("answers", "a.dat\n\n\nro.xrs\n");
  std::string launcher = "exec";
  if (getuid() == 0) {
    if (std::system("command -v setpriv >/dev/null") != 0)
      GTEST_SKIP() << "no setpriv to run as another user";
    launcher = "exec setpriv --reuid=65534 --regid=65534 --clear-groups";
  }
  fs::permissions(f.dir, fs::perms::all);  // anyone may make a file here
  if (runhere(f.dir, "/dev/null", "", launcher).status != 1)
    GTEST_SKIP() << "user 65534 cannot run the program from " << f.dir;
  Ran r = runhere(f.dir, "answers", "", launcher);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(endswith(r.con, xrsprompt + "Couldn't open file.  I die.\n"s)) << r.con;
  EXPECT_EQ(slurp("ro.xrs"), "old\n");
  EXPECT_EQ(listing("."), (std::set<std::string>{"a.dat", "answers", "ro.xrs"}));
}

// kill -9 at many moments of a run that writes four large files, one after
// the other, to the same name: the name holds the file before the run or
// one of the four, whole, never a part.
TEST_F(Limits, KilledAtAnyMomentLeavesAWholeFile) {
  put("a.dat", longscan(20001));
  put("answers", "a.dat\n\n\nout\nout\nout\nout\ntitle\n");
  const std::string old = "old\n";
  put("out", old);

  auto start = [&]() {
    pid_t pid = fork();
    if (pid == 0) {
      std::freopen("answers", "rb", stdin);
      std::freopen("/dev/null", "wb", stdout);
      execl(SCANMERGE_BIN, SCANMERGE_BIN, static_cast<char*>(nullptr));
      _exit(127);
    }
    return pid;
  };
  // one whole run gives the four files and how long a run takes
  std::set<std::string> whole = {old};
  auto t0 = std::chrono::steady_clock::now();
  pid_t pid = start();
  int st = 0;
  waitpid(pid, &st, 0);
  auto runtime = std::chrono::steady_clock::now() - t0;
  ASSERT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 1);
  whole.insert(slurp("out"));
  for (const char* answers : {"a.dat\n\n\nout\n", "a.dat\n\n\n\nout\n", "a.dat\n\n\n\n\nout\n",
                              "a.dat\n\n\n\n\n\nout\ntitle\n"}) {
    put("answers", answers);
    waitpid(start(), &st, 0);
    whole.insert(slurp("out"));
  }
  ASSERT_EQ(whole.size(), 5u);
  put("answers", "a.dat\n\n\nout\nout\nout\nout\ntitle\n");

  const int kills = 40;
  for (int k = 0; k < kills; ++k) {
    put("out", old);
    pid = start();
    std::this_thread::sleep_for(runtime * k / kills);
    kill(pid, SIGKILL);
    waitpid(pid, &st, 0);
    EXPECT_EQ(whole.count(slurp("out")), 1u) << "killed after " << k << "/" << kills;
    for (const std::string& name : listing("."))  // what kill -9 left behind
      if (name.rfind("out.tmp", 0) == 0) fs::remove(name);
  }
}

// The command line puts all its files in place at its end: killed at any
// moment, and most often near the end where the renames are, each name
// holds its file before the run or the whole file of this run.
TEST_F(Limits, CommandLineKilledAtAnyMomentLeavesEachNameOldOrWhole) {
  put("a.dat", longscan(20001));
  const std::vector<std::string> names = {"o.xrs", "o.wyr", "o.pro", "o.gda",
                                          "o.xye", "o.cif", "o.json"};
  auto start = [&]() {
    pid_t pid = fork();
    if (pid == 0) {
      std::freopen("/dev/null", "wb", stderr);
      execl(SCANMERGE_BIN, SCANMERGE_BIN, "a.dat", "--xrs82", "o.xrs", "--wyriet", "o.wyr",
            "--profin", "o.pro", "--gdat", "o.gda", "--xye", "o.xye", "--cif", "o.cif", "--report",
            "o.json", static_cast<char*>(nullptr));
      _exit(127);
    }
    return pid;
  };
  auto t0 = std::chrono::steady_clock::now();
  int st = 0;
  waitpid(start(), &st, 0);
  auto runtime = std::chrono::steady_clock::now() - t0;
  ASSERT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
  std::vector<std::string> whole;
  for (const std::string& name : names) whole.push_back(slurp(name));

  const int kills = 40;
  for (int k = 0; k < kills; ++k) {
    for (const std::string& name : names) put(name, "old " + name);
    pid_t pid = start();
    // half the kills spread over the run, half over its last tenth
    auto at = k % 2 ? runtime * k / kills : runtime * (90 + k / 4) / 100;
    std::this_thread::sleep_for(at);
    kill(pid, SIGKILL);
    waitpid(pid, &st, 0);
    for (size_t n = 0; n < names.size(); ++n) {
      const std::string now = slurp(names[n]);
      EXPECT_TRUE(now == "old " + names[n] || now == whole[n])
          << names[n] << " killed after " << k << "/" << kills;
    }
    for (const std::string& name : listing("."))  // what kill -9 left behind
      if (name.find(".tmp") != std::string::npos) fs::remove(name);
  }
}

#endif  // _WIN32
