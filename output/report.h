// The record of a command-line run: what was read, how it was merged and
// corrected, and what was written, for a JSON report.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "correct/corrections.h"
#include "correct/deadtimefit.h"
#include "correct/overlaps.h"
#include "merge/merged_pattern.h"

struct ScanRecord {
  std::string name;  // as given
  std::string sha256;
  int rows = 0;         // merged
  int datoffset = 0;    // grid index of the first
  double deadtime = 1;  // the largest dead-time correction factor applied
  std::vector<std::string> warnings;
  bool overlaps = false;  // a scan after the first: overlap is set
  Overlap overlap;
  bool detailed = false;  // alone and label are set, for a picture
  std::string label;      // line 11, as the merge echoes it
  ScanAlone alone;
  std::vector<int> under;  // the scans before it (0 the first) that reach its overlap
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
  bool fitted = false;  // fit is set
  DeadTimeFit fit;
};

// The report as JSON: version, scans, grid, EIV answer, gaps (runs of grid
// points 0 to imax that no scan reached), overlaps and outputs; each scan
// alone where detailed, and the dead-time fit where fitted.
bool writereport(const MergedPattern& pattern, const std::vector<bool>& reached,
                 const RunRecord& record, std::ostream& file);
