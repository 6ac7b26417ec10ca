#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <system_error>
#include <vector>

#include "dialogue/dialogue.h"
#include "text/console.h"

void banner(std::ostream& con) {
  say(con, "First file must have lowest angle.  Max %d points.\n", maxpts);
  say(con, "Each scan must have same step.  Sums repeated points.\n");
  say(con, "tau = %.2e sec.\n", tau);
}

// Only a regular file counts as opened: a directory or a device is no scan.
// A NUL byte would cut the name short and open some other file.
static bool openscan(const std::string& name, std::ifstream& scan) {
  if (name.empty() || name.find('\0') != std::string::npos) return false;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(name, ec)) return false;
  scan.open(name, std::ios::in | std::ios::binary);
  return scan.is_open();
}

bool consolefailed(Stop& stop) {
  stop = {0, "Couldn't read the console.  I die.\n"};
  return false;
}

bool readscans(MergedPattern& pattern, std::vector<std::string>& scans, std::istream& in,
               std::ostream& con, Stop& stop) {
  for (int filenum = 1;; ++filenum) {
    say(con, "Enter KORVAL data file no. %d name (blank to end): ", filenum);
    std::ifstream scan;
    std::string name;
    for (;;) {
      if (!askline(in, con, name)) return consolefailed(stop);
      if (openscan(name, scan)) {
        scans.push_back(name);
        break;
      }
      if (name.empty()) return true;
      say(con, "? ");
    }
    if (!mergescan(pattern, scan, filenum, con)) {
      stop = {0, std::string(lowestangle) + "\n"};
      return false;
    }
    // a read that failed (EIO, a vanished disk) would leave part of the
    // file merged as if it were all of it
    if (scan.bad()) {
      stop = {0, format("Couldn't read file %s.  I die.\n", name.c_str())};
      return false;
    }
  }
}

void summary(const MergedPattern& p, std::ostream& con) {
  say(con, "imax, tthmin, tthstep, tthmax = %d, %.3f, %.3f, %.4f\n", p.imax, p.tthmin, p.tthstep,
      gridangle(p, p.imax));
}
