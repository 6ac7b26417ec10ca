// End-to-end runs of the built program: each folder under tests/cases holds
// the scan files, the console answers (answers.txt) and, under expected/,
// the whole console text, the exit status and every file the run must write.
// A case that holds skip-on-windows (its reason) is skipped for the Windows
// program.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "tests/helpers.h"

namespace fs = std::filesystem;

namespace {

std::set<std::string> filesunder(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    if (entry.is_regular_file()) names.insert(fs::relative(entry.path(), dir).string());
  return names;
}

std::vector<std::string> casenames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(CASES_DIR))
    if (entry.is_directory()) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class Dialogue : public testing::TestWithParam<std::string> {};

TEST_P(Dialogue, ConsoleStatusAndFiles) {
  const fs::path source = fs::path(CASES_DIR) / GetParam();
  if (!windowsexe().empty() && fs::exists(source / "skip-on-windows"))
    GTEST_SKIP() << slurp(source / "skip-on-windows");
  const fs::path work = workfor(GetParam());
  fs::remove_all(work);
  fs::create_directories(work);
  for (const auto& entry : fs::directory_iterator(source))
    if (entry.path().filename() != "expected" && entry.path().filename() != "skip-on-windows")
      fs::copy(entry.path(), work / entry.path().filename(), fs::copy_options::recursive);
  if (!fs::exists(work / "answers.txt")) std::ofstream(work / "answers.txt").close();
  const std::set<std::string> inputs = filesunder(work);

  const int status = runprogram(work);
  const fs::path expected = source / "expected";
  EXPECT_EQ(consoletext(work), slurp(expected / "console.txt"));
  EXPECT_EQ(status, std::stoi(slurp(expected / "status")));

  std::set<std::string> wanted;
  if (fs::exists(expected / "files")) wanted = filesunder(expected / "files");
  // an input file named under expected/files is one the run must replace
  std::set<std::string> made = filesunder(work);
  for (const std::string& name : inputs)
    if (!wanted.count(name)) made.erase(name);
  made.erase("console.out");
  EXPECT_EQ(made, wanted);
  for (const std::string& name : wanted)
    EXPECT_EQ(slurp(work / name), slurp(expected / "files" / name)) << name;
}

INSTANTIATE_TEST_SUITE_P(Cases, Dialogue, testing::ValuesIn(casenames()),
                         [](const testing::TestParamInfo<std::string>& each) {
                           std::string name = each.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

TEST(Dialogue, AnswersOf100000Characters) {
  const fs::path work = workfor("long-answers");
  fs::remove_all(work);
  fs::create_directories(work);
  fs::copy(fs::path(CASES_DIR) / "two-scans" / "a.dat", work / "a.dat");
  const std::string x(100000, 'x');
  const std::string title(100000, 'T');
  std::ofstream(work / "answers.txt", std::ios::binary) << x << "\na.dat\n\n"
                                                        << x << "\n\n\n\n\nt.gda\n"
                                                        << title << "\n";
  EXPECT_EQ(runprogram(work), 1);
  const std::string console = consoletext(work);
  EXPECT_NE(console.find("(blank to end): ? Sample A"), std::string::npos);
  EXPECT_NE(console.find("Otherwise, blank.\nLook, I need 3 numbers.\nTo apply EIV"),
            std::string::npos);
  // a title longer than its 80 columns is written whole
  const std::string gdat = slurp(work / "t.gda");
  EXPECT_EQ(gdat.substr(0, title.size() + 2), title + "\r\n");
}

}  // namespace
