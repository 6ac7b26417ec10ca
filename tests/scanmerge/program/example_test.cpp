// The shipped example must keep running to a normal end and keep writing
// files of the right shape; the Windows program must write the same bytes
// as the Linux one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "correct/corrections.h"
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

// The full-precision files of the example hold, for every grid point from
// 10 to 120 deg, the last included, the 32-bit values the program holds:
// the example merged, normalised and corrected here, point for point.
TEST(Example, FullPrecisionFilesGiveBackThe32BitValues) {
  if (!windowsexe().empty()) GTEST_SKIP() << "the Linux program's files";
  const fs::path work = workfor("example-full");
  copyexample(work);
  const std::string command = "cd '" + work.string() +
                              "' && '" SCANMERGE_BIN
                              "' si-scan2.dat si-scan1.dat si-scan3.dat --eiv 1,20,5"
                              " --xye out/si.xye --cif out/si.cif";
  ASSERT_EQ(std::system(command.c_str()), 0);

  auto p = std::make_unique<MergedPattern>();
  std::ostringstream con;
  int filenum = 0;
  for (const char* name : {"si-scan1.dat", "si-scan2.dat", "si-scan3.dat"}) {
    std::ifstream scan(work / name, std::ios::binary);
    ASSERT_TRUE(mergescan(*p, scan, ++filenum, con));
  }
  normalize(*p, p->imax + 1, con);
  EivGeometry g;
  ASSERT_EQ(readeiv("1 20 5", g), EivAnswer::ready);
  ASSERT_TRUE(applyeiv(*p, g, p->imax + 1));
  ASSERT_EQ(p->imax, 5500);

  auto same = [](float a, const std::string& text) {
    float b = std::strtof(text.c_str(), nullptr);
    return std::memcmp(&a, &b, sizeof a) == 0;
  };
  std::vector<std::string> xye = crlflines(work / "out/si.xye");
  ASSERT_EQ(xye.size(), 5501u);
  for (int k = 0; k <= p->imax; ++k) {
    std::istringstream fields(xye[static_cast<size_t>(k)]);
    std::string tth, value, sigma, more;
    fields >> tth >> value >> sigma;
    ASSERT_TRUE(!(fields >> more) && !sigma.empty()) << xye[static_cast<size_t>(k)];
    ASSERT_NEAR(std::strtod(tth.c_str(), nullptr), 10 + 0.02 * k, 1e-6);
    ASSERT_TRUE(same(p->inten[k], value) && same(p->sigma[k], sigma)) << "xye point " << k;
  }
  // the CIF loop's value(su): the su's digits in units of the value's
  // last decimal
  std::vector<std::string> cif = crlflines(work / "out/si.cif");
  auto loop = std::find(cif.begin(), cif.end(), "_pd_proc_intensity_total");
  ASSERT_EQ(cif.end() - loop, 1 + 5501);
  for (int k = 0; k <= p->imax; ++k) {
    const std::string& line = *(loop + 1 + k);
    size_t blank = line.find(' '), open = line.find('('), point = line.find('.', blank);
    ASSERT_TRUE(blank != std::string::npos && open != std::string::npos && line.back() == ')');
    const std::string value = line.substr(blank + 1, open - blank - 1);
    const std::string units = line.substr(open + 1, line.size() - open - 2);
    const int decimals = point == std::string::npos || point > open ? 0 : int(open - point - 1);
    const std::string sigma = units + "e-" + std::to_string(decimals);
    ASSERT_TRUE(same(p->inten[k], value) && same(p->sigma[k], sigma)) << line;
    ASSERT_EQ(line.substr(0, blank), xye[static_cast<size_t>(k)].substr(0, blank));
  }
  // a CIF parser takes it, and the CIF library GSAS-II reads it with finds
  // the same numbers
  if (std::system("command -v gemmi > /dev/null") == 0) {
    EXPECT_EQ(std::system(("gemmi validate '" + (work / "out/si.cif").string() + "'").c_str()), 0);
  }
  const std::string pycif =
      "cd '" + work.string() +
      "' && /usr/bin/python3 -c 'import CifFile' 2> /dev/null && /usr/bin/python3 -c '"
      "import CifFile, struct\n"
      "f = lambda v: struct.unpack(\"f\", struct.pack(\"f\", v))[0]\n"
      "cif = CifFile.ReadCif(\"out/si.cif\")\n"
      "block = cif[cif.keys()[0]]\n"
      "rows = [line.split() for line in open(\"out/si.xye\")]\n"
      "pairs = [CifFile.get_number_with_esd(v) for v in block[\"_pd_proc_intensity_total\"]]\n"
      "assert len(pairs) == len(rows) == 5501\n"
      "for (v, e), row in zip(pairs, rows):\n"
      "    assert f(v) == f(float(row[1])) and f(e) == f(float(row[2])), row\n"
      "'";
  EXPECT_EQ(std::system(pycif.c_str()), 0);
}
