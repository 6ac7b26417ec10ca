// Helpers shared by the tests of scanmerge and scanimport: files read and
// written whole, a folder's names, scan file text, small patterns, commands
// run by the shell, and the built program run as a user would run it.
#pragma once

#ifndef _WIN32
#include <sys/wait.h>  // WEXITSTATUS for std::system's result
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "merge/merged_pattern.h"

inline std::string slurp(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void put(const std::filesystem::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

// The names of a folder's entries.
inline std::set<std::string> listing(const std::filesystem::path& dir = ".") {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.insert(entry.path().filename().string());
  return names;
}

#ifndef _WIN32
// A command run by the shell: its exit status, or -1 where it did not exit
// by itself (a signal ended it).
inline int shell(const std::string& command) {
  const int rc = std::system(command.c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}
#endif

// Scan file text: ten header lines, the two echoed lines, a spare line, the
// column line and the rows.
inline std::string scanfile(const std::string& columns, const std::string& rows,
                            const std::string& line11 = "sample",
                            const std::string& line12 = "conditions") {
  std::string text;
  for (int k = 1; k <= 10; ++k) text += "header " + std::to_string(k) + "\n";
  text += line11 + "\n" + line12 + "\nspare\n" + columns + "\n" + rows;
  return text;
}

// A pattern of imax points from tthmin (deg) as the merge leaves it, its
// intensities and sigmas still 0; on the heap (160 KB).
inline std::unique_ptr<MergedPattern> grid(double tthmin, double tthstep, int imax) {
  auto p = std::make_unique<MergedPattern>();
  p->tthmin = tthmin;
  p->tthstep = tthstep;
  p->imax = imax;
  return p;
}

// the built program run through a POSIX shell
#if defined(SCANMERGE_BIN) && defined(E2E_WORK) && !defined(_WIN32)
// The Windows program to run under Wine (SCANMERGE_WINDOWS_EXE, set by
// tests/windows/run.sh), or empty for the Linux one.
inline std::string windowsexe() {
  const char* exe = std::getenv("SCANMERGE_WINDOWS_EXE");
  return exe ? exe : "";
}

// Where a test leaves the runs of the program it is testing.
inline std::filesystem::path workfor(const std::string& name) {
  return std::filesystem::path(E2E_WORK) / (windowsexe().empty() ? "linux" : "windows") / name;
}

// Runs the program in work with input (answers.txt there, or any path) on
// its console and its console text going to console.out, under a shell
// prefix such as "ulimit -v 8000;" and a launcher ("exec", or one that
// runs it as another user). program: the Windows one under Wine where
// windowsexe() names it, else the Linux one. Returns its exit status, -1
// where it did not exit by itself (a crash, or the timeout).
inline int runprogram(const std::filesystem::path& work, const std::string& input = "answers.txt",
                      const std::string& prefix = "", const std::string& launcher = "exec",
                      std::string program = "") {
  if (program.empty()) {
    program = "'" SCANMERGE_BIN "'";
    if (!windowsexe().empty()) {
      const char* wine = std::getenv("SCANMERGE_WINE");
      program = std::string("'") + (wine ? wine : "wine") + "' '" + windowsexe() + "'";
    }
  }
  const std::string command = "cd '" + work.string() + "' && timeout 60 bash -c \"" + prefix + " " +
                              launcher + " " + program + "\" < " + input + " > console.out 2>&1";
  return shell(command);
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
#endif
