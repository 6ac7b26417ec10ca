// The common 2theta grid on which every scan file is summed, and the rules
// that place a scan's rows on it.
#pragma once

#include <iosfwd>
#include <vector>

#include "merge/limits.h"

struct MergedPattern {
  // While reading: sums of dead-time-corrected counts and of monitor counts
  // (a grid point no row reached has monitor 0).
  float cts[maxpts] = {};
  float mon[maxpts] = {};
  // After normalize: intensity per normmonitor monitor counts and its
  // sigma, then corrected; what the writers write.
  float inten[maxpts] = {};
  float sigma[maxpts] = {};
  double tthmin = 0;   // deg, angle of index 0, from file 1's first row
  double tthstep = 0;  // deg, from file 1's first two rows
  int imax = 0;        // highest index that received a row
};

// deg: the angle of grid index k.
inline double gridangle(const MergedPattern& p, long long k) {
  return gridangle(p.tthmin, p.tthstep, k);
}

// What the dialogue says where a later file starts below the grid.
constexpr const char* lowestangle = "First file must contain lowest angle.";

// Merges the scan file open on scan; filenum 1 is the file that fixes the
// grid. Progress and warnings go to con. false where a later file starts
// below the grid: nothing of it is merged, and the run must end.
bool mergescan(MergedPattern& pattern, std::istream& scan, int filenum, std::ostream& con);

// A scan's rows as a merge counts them, placed from grid index datoffset on:
// counts and monitor after the low-monitor rule, 32-bit, and the counting
// time, s, 32-bit; the counts not yet corrected for dead time.
struct ScanCounts {
  int datoffset = 0;
  std::vector<float> cts;
  std::vector<float> mon;
  std::vector<float> sec;
};

// What a merge placed: rows merged, and the grid index of the first.
struct MergeInfo {
  // values no instrument gives, merged as they are; the command line warns
  double start = 0, step = 0;  // deg: the first angle, and file 1's step
  bool oddstart = false;       // start is not finite or beyond 360 deg either way
  bool oddstep = false;        // step is so too
  int oddmon = 0;              // rows with a monitor of nan or inf
  int oddtim = 0;              // rows with a time of inf
  int rows = 0;
  int datoffset = 0;
  double deadmax = 1;            // the largest dead-time correction factor applied
  int deadover = 0;              // rows whose correction passed deadlimit
  ScanCounts* counts = nullptr;  // where given, the rows merged are kept there
  bool hasfirst = false;         // the file has a first row, whose angle is first
  float first = 0;               // deg
};

// The same, the warnings ("!!!!!", "HELP!", "Cannot make dead time
// correction", "Too long") told on warn, the rest on con. Where alone is
// given, the file's own sums are added to it too, as they would be merged
// into an empty pattern on the same grid.
bool mergescan(MergedPattern& pattern, std::istream& scan, int filenum, std::ostream& con,
               std::ostream& warn, MergeInfo& info, MergedPattern* alone = nullptr);
