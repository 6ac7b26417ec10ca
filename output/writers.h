// The four output files. Each writer returns false where the file reported a
// write error; the caller closes the file.
#pragma once

#include <iosfwd>
#include <string>

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
