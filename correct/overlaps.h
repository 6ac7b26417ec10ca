// How a scan agrees with the scans merged before it where they overlap, and
// the scan alone on the grid, for the report.
#pragma once

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
// sums on the same grid, at datoffset to datoffset + rows - 1 (elsewhere
// empty). Sums as merged (dead-time corrected counts and monitor counts),
// not yet normalised.
Overlap overlap(const MergedPattern& before, const MergedPattern& alone, int datoffset, int rows);

// A scan merged alone on the grid, from its first grid index on: its
// intensities and sigmas normalised and corrected as the merged pattern,
// and the normalised differences from the scans merged before it at the
// grid points both reached, each side normalised (32-bit) and not corrected.
struct ScanAlone {
  std::vector<float> inten;
  std::vector<float> sigma;
  std::vector<int> at;    // grid indices both reached
  std::vector<double> z;  // there: (I before - I) / sqrt(sigma before^2 + sigma^2)
};

// before and alone as for overlap; alone's rows lie at datoffset to
// datoffset + rows - 1. eiv: the correction of the merged pattern, or none.
ScanAlone scanalone(const MergedPattern& before, const MergedPattern& alone, int datoffset,
                    int rows, const EivGeometry* eiv);
