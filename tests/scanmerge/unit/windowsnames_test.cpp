// Output names as a Windows user types them: the NUL device, a file kept
// read-only, a name with a trailing blank. Built for Windows only; they run
// under Wine in tests/windows/run.sh.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "dialogue/dialogue.h"
#include "output/writers.h"
#include "tests/helpers.h"

namespace fs = std::filesystem;

namespace {

const char* const prompt = "To get XRS82 output file with stdev, enter file name: ";

struct Asked {
  bool kept;
  std::string con;
};

// One output prompt answered with name, and the XRS82 file of a
// three-point pattern written to it.
Asked askandwrite(const std::string& name, std::string* written = nullptr) {
  auto p = std::make_unique<MergedPattern>();
  p->tthmin = 10;
  p->tthstep = 0.05;
  p->imax = 3;
  for (int k = 0; k < 3; ++k) {
    p->inten[k] = 100.0f * static_cast<float>(k + 1);
    p->sigma[k] = 10.0f;
  }
  if (written) {
    std::ostringstream file;
    FieldCounts counts;
    writexrs82(*p, file, counts);
    *written = file.str();
  }
  std::istringstream in(name + "\n");
  std::ostringstream con;
  OutputFile out;
  Stop stop;
  FieldCounts counts;
  bool kept = askoutput(prompt, std::vector<std::string>(), in, con, out, stop) &&
              (!out.opened || keepoutput(out, writexrs82(*p, out.file(), counts), stop));
  return {kept, con.str() + (kept ? "" : stop.text)};
}

// An empty working folder of its own for each test.
class WindowsNames : public testing::Test {
 protected:
  void SetUp() override {
    before = fs::current_path();
    const fs::path dir = fs::path(E2E_WORK) / "windows-names" /
                         testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::current_path(dir);
  }
  void TearDown() override { fs::current_path(before); }
  fs::path before;
};

}  // namespace

// NUL is Windows' /dev/null: written to, nothing kept, no file made.
TEST_F(WindowsNames, NulTakesTheFileAndKeepsNothing) {
  for (const char* name : {"NUL", "nul"}) {
    Asked a = askandwrite(name);
    EXPECT_TRUE(a.kept) << name;
    EXPECT_EQ(a.con, prompt) << name;
    EXPECT_TRUE(listing().empty()) << name;
  }
}

TEST_F(WindowsNames, ExistingFileIsReplacedWhole) {
  std::ofstream("old.xrs", std::ios::binary) << std::string(5000, 'x');
  std::string xrs;
  Asked a = askandwrite("old.xrs", &xrs);
  EXPECT_TRUE(a.kept);
  EXPECT_EQ(a.con, prompt);
  EXPECT_EQ(slurp("old.xrs"), xrs);
  EXPECT_EQ(listing(), std::set<std::string>{"old.xrs"});
}

// Read-only is Windows' file without write permission: refused, and kept.
TEST_F(WindowsNames, ReadOnlyFileIsRefusedAndKept) {
  std::ofstream("kept.xrs", std::ios::binary) << "kept\r\n";
  fs::permissions("kept.xrs",
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  if (std::FILE* f = std::fopen("kept.xrs", "ab")) {
    std::fclose(f);
    fs::permissions("kept.xrs", fs::perms::owner_write, fs::perm_options::add);
    GTEST_SKIP() << "a read-only file opens for writing here (Wine run as root)";
  }
  Asked a = askandwrite("kept.xrs");
  EXPECT_FALSE(a.kept);
  EXPECT_EQ(a.con, std::string(prompt) + "Couldn't open file.  I die.\n");
  EXPECT_EQ(slurp("kept.xrs"), "kept\r\n");
  EXPECT_EQ(listing(), std::set<std::string>{"kept.xrs"});
  fs::permissions("kept.xrs", fs::perms::owner_write, fs::perm_options::add);
}

// Windows drops a name's trailing blanks and dots: the file is the
// trimmed name, and nothing else is left beside it.
TEST_F(WindowsNames, TrailingBlankAndDotAreDropped) {
  std::string xrs;
  Asked a = askandwrite("blank.xrs ", &xrs);
  EXPECT_TRUE(a.kept);
  a = askandwrite("dot.xrs.", &xrs);
  EXPECT_TRUE(a.kept);
  EXPECT_EQ(listing(), (std::set<std::string>{"blank.xrs", "dot.xrs"}));
  EXPECT_EQ(slurp("blank.xrs"), xrs);
  EXPECT_EQ(slurp("dot.xrs"), xrs);
}

#endif  // _WIN32
