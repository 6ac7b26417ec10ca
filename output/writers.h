// The four output files. Each writer returns false where the file reported a
// write error; the caller closes the file.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "merge/merged_pattern.h"

// What a reader of fixed columns would misread in a file just written, as
// its writer counted the fields: numeric fields whose text is wider than
// their width (the title is free text and not counted), and standard
// deviations that read as zero (0.0, 0.00).
struct FieldCounts {
  int wide = 0;
  int zerosigma = 0;
};

// Each writer sets counts to the fields of the file it wrote.
bool writexrs82(const MergedPattern& pattern, std::ostream& file, FieldCounts& counts);
bool writewyriet(const MergedPattern& pattern, std::ostream& file, FieldCounts& counts);
bool writeprofin(const MergedPattern& pattern, std::ostream& file, FieldCounts& counts);
// title: line 1, as typed
bool writegdat(const MergedPattern& pattern, const std::string& title, std::ostream& file,
               FieldCounts& counts);

// The full-precision files: every grid point a scan reached, 0 to imax
// (reached[k] true), at full 32-bit precision; points no scan reached are
// left out.
bool writexye(const MergedPattern& pattern, const std::vector<bool>& reached, std::ostream& file);
// reduction: how the pattern was made, lines ended by "\n"
bool writecif(const MergedPattern& pattern, const std::vector<bool>& reached,
              const std::string& reduction, std::ostream& file);
