// End-to-end runs of the built program: each folder under tests/cases holds
// the scan files, the console answers (answers.txt) and, under expected/,
// the whole console text, the exit status and every file the run must write.
#include <gtest/gtest.h>
#include <sys/wait.h>  // WEXITSTATUS for std::system's result

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

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

// Runs the program in work with answers.txt on its console; returns its
// exit status, -1 where it did not exit by itself (a crash, or the timeout).
int runin(const fs::path& work) {
  const std::string command = "cd '" + work.string() + "' && timeout 60 '" SCANMERGE_BIN
                              "' < answers.txt > console.out 2>&1";
  const int rc = std::system(command.c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

class Dialogue : public testing::TestWithParam<std::string> {};

TEST_P(Dialogue, ConsoleStatusAndFiles) {
  const fs::path source = fs::path(CASES_DIR) / GetParam();
  const fs::path work = fs::path(E2E_WORK) / GetParam();
  fs::remove_all(work);
  fs::create_directories(work);
  for (const auto& entry : fs::directory_iterator(source))
    if (entry.path().filename() != "expected")
      fs::copy(entry.path(), work / entry.path().filename(), fs::copy_options::recursive);
  if (!fs::exists(work / "answers.txt")) std::ofstream(work / "answers.txt").close();
  const std::set<std::string> inputs = filesunder(work);

  const int status = runin(work);
  const fs::path expected = source / "expected";
  EXPECT_EQ(slurp(work / "console.out"), slurp(expected / "console.txt"));
  EXPECT_EQ(status, std::stoi(slurp(expected / "status")));

  std::set<std::string> made = filesunder(work);
  for (const std::string& name : inputs) made.erase(name);
  made.erase("console.out");
  std::set<std::string> wanted;
  if (fs::exists(expected / "files")) wanted = filesunder(expected / "files");
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
  const fs::path work = fs::path(E2E_WORK) / "long-answers";
  fs::remove_all(work);
  fs::create_directories(work);
  fs::copy(fs::path(CASES_DIR) / "two-scans" / "a.dat", work / "a.dat");
  const std::string x(100000, 'x');
  const std::string title(100000, 'T');
  std::ofstream(work / "answers.txt", std::ios::binary)
      << x << "\na.dat\n\n" << x << "\n\n\n\n\nt.gda\n" << title << "\n";
  EXPECT_EQ(runin(work), 1);
  const std::string console = slurp(work / "console.out");
  EXPECT_NE(console.find("(blank to end): ? Sample A"), std::string::npos);
  EXPECT_NE(console.find("Otherwise, blank.\nLook, I need 3 numbers.\nTo apply EIV"),
            std::string::npos);
  // a title longer than its 80 columns is written whole
  const std::string gdat = slurp(work / "t.gda");
  EXPECT_EQ(gdat.substr(0, title.size() + 2), title + "\r\n");
}

}  // namespace
