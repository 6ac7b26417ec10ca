// Runs the built program as a user would, in a folder of its own with
// answers.txt on its console. Where SCANMERGE_WINDOWS_EXE names the Windows
// build, that program runs instead, under Wine (tests/windows/run.sh).
#pragma once

#include <sys/wait.h>  // WEXITSTATUS for std::system's result

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

inline std::string slurp(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The Windows program to run under Wine, or empty for the Linux one.
inline std::string windowsexe() {
  const char* exe = std::getenv("SCANMERGE_WINDOWS_EXE");
  return exe ? exe : "";
}

// Where a test leaves the runs of the program it is testing.
inline std::filesystem::path workfor(const std::string& name) {
  return std::filesystem::path(E2E_WORK) / (windowsexe().empty() ? "linux" : "windows") / name;
}

// Runs program (the Linux one where empty) in work, its console text going
// to console.out; returns its exit status, -1 where it did not exit by
// itself (a crash, or the timeout).
inline int runprogram(const std::filesystem::path& work, std::string program = "") {
  if (program.empty()) {
    program = "'" SCANMERGE_BIN "'";
    if (!windowsexe().empty()) {
      const char* wine = std::getenv("SCANMERGE_WINE");
      program = std::string("'") + (wine ? wine : "wine") + "' '" + windowsexe() + "'";
    }
  }
  const std::string command =
      "cd '" + work.string() + "' && timeout 60 " + program + " < answers.txt > console.out 2>&1";
  const int rc = std::system(command.c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

// console.out with each CR LF as LF: the Windows console puts CR LF for
// every line end the program writes, so a CR the program writes itself
// (echoing a CR LF scan line) stays before it.
inline std::string consoletext(const std::filesystem::path& work) {
  std::string text = slurp(work / "console.out");
  if (windowsexe().empty()) return text;
  std::string folded;
  for (size_t k = 0; k < text.size(); ++k)
    if (!(text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n')) folded += text[k];
  return folded;
}
