// The shipped example must keep running to a normal end and keep writing
// files of the right shape; the Windows program must write the same bytes
// as the Linux one.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/helpers.h"

namespace fs = std::filesystem;

namespace {

// The lines of an output file; every line must end in CR LF.
std::vector<std::string> crlflines(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  std::string text = all.str();
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << file << ": last line without CR LF";
    if (end == std::string::npos) break;
    std::string line = text.substr(start, end - start);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << file << ": stray line end";
    lines.push_back(line);
    start = end + 2;
  }
  return lines;
}

void expectwidths(const std::vector<std::string>& lines, size_t from, size_t to, size_t width,
                  const char* what) {
  for (size_t k = from; k < to && k < lines.size(); ++k)
    ASSERT_EQ(lines[k].size(), width) << what << " line " << k + 1;
}

void copyexample(const fs::path& work) {
  fs::remove_all(work);
  fs::create_directories(work / "out");
  for (const auto& entry : fs::directory_iterator(EXAMPLES_DIR))
    if (entry.is_regular_file()) fs::copy(entry.path(), work / entry.path().filename());
}

const char* const outputs[] = {"out/si.xrs", "out/si.wyr", "out/si.profin", "out/si.gdat"};

}  // namespace

TEST(Example, RunsToTheEndAndWritesFourWellShapedFiles) {
  const fs::path work = workfor("example");
  copyexample(work);
  ASSERT_EQ(runprogram(work), 1);
  // no warning at all: no cut line, no value wider than its column, a step
  // the headers carry exactly
  const std::string said = consoletext(work);
  EXPECT_EQ(said.find("!!!!!"), std::string::npos) << said;

  // three scans from 10 to 120 deg in steps of 0.02: 5500 points written
  const size_t points = 5500;
  std::vector<std::string> xrs = crlflines(work / "out/si.xrs");
  ASSERT_EQ(xrs.size(), points);
  expectwidths(xrs, 0, points, 25, "XRS82");
  EXPECT_EQ(xrs.front().substr(0, 8), "  10.000");
  EXPECT_EQ(xrs.back().substr(0, 8), " 119.980");

  std::vector<std::string> wyr = crlflines(work / "out/si.wyr");
  ASSERT_EQ(wyr.size(), 1 + 688u);  // 687 lines of eight values and one of four
  EXPECT_EQ(wyr[0], "  10.000   0.020 120.000");
  expectwidths(wyr, 1, wyr.size() - 1, 64, "Wyriet");
  EXPECT_EQ(wyr.back().size(), 32u);

  std::vector<std::string> pro = crlflines(work / "out/si.profin");
  ASSERT_EQ(pro.size(), 1 + 2 * 550u);
  EXPECT_EQ(pro[0], "  10.000   0.020 119.980");
  expectwidths(pro, 1, pro.size(), 80, "PROFIN");

  std::vector<std::string> gda = crlflines(work / "out/si.gdat");
  ASSERT_EQ(gda.size(), 2 + 1100u);
  expectwidths(gda, 0, gda.size(), 80, "GDAT");
  EXPECT_EQ(gda[1].substr(0, 24), "BANK  1     5500    1100");
}

TEST(Example, WindowsProgramWritesTheLinuxBytes) {
  if (windowsexe().empty()) GTEST_SKIP() << "no Windows program to compare";
  const fs::path windows = workfor("example");
  const fs::path native = windows.parent_path() / "example-linux";
  copyexample(windows);
  copyexample(native);
  ASSERT_EQ(runprogram(windows), 1);
  ASSERT_EQ(runprogram(native, "answers.txt", "", "exec", "'" SCANMERGE_BIN "'"), 1);
  EXPECT_EQ(consoletext(windows), slurp(native / "console.out"));
  for (const char* name : outputs) {
    const std::string bytes = slurp(windows / name);
    EXPECT_FALSE(bytes.empty()) << name;
    EXPECT_TRUE(bytes == slurp(native / name)) << name << " differs";
  }
}
