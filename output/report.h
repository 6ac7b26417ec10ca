// The record of a command-line run: what was read, how it was merged and
// corrected, and what was written, for a JSON report.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "correct/corrections.h"
#include "merge/merged_pattern.h"

// Where a scan overlaps what was merged before it, from the unrounded
// normalised values at the grid points both reached.
struct Overlap {
  int points = 0;
  double chi2 = 0;   // mean of ((I1 - I2) / sqrt(s1^2 + s2^2))^2
  double ratio = 0;  // sum of I2 over sum of I1
};

// before: the sums of the scans merged before; alone: the next scan's own
// sums on the same grid. Sums as merged (dead-time corrected counts and
// monitor counts), not yet normalised.
Overlap overlap(const MergedPattern& before, const MergedPattern& alone);

struct ScanRecord {
  std::string name;  // as given
  std::string sha256;
  int rows = 0;         // merged
  int datoffset = 0;    // grid index of the first
  double deadtime = 1;  // the largest dead-time correction factor applied
  std::vector<std::string> warnings;
  bool overlaps = false;  // a scan after the first: overlap is set
  Overlap overlap;
};

struct OutputRecord {
  const char* format;  // "xrs82", "wyriet", "profin", "gdat", "xye", "cif"
  std::string name;    // as given
  std::string sha256;
  int wide = 0;       // fields wider than their columns
  int zerosigma = 0;  // sigmas written as 0.0
};

struct RunRecord {
  std::vector<ScanRecord> scans;  // in the order merged
  bool eiv = false;
  EivGeometry geometry;
  std::vector<std::string> warnings;  // not of a scan: normalising, the files
  std::vector<OutputRecord> outputs;
};

// The report as JSON: version, scans, grid, EIV answer, gaps (runs of grid
// points 0 to imax that no scan reached), overlaps and outputs.
bool writereport(const MergedPattern& pattern, const std::vector<bool>& reached,
                 const RunRecord& record, std::ostream& file);
