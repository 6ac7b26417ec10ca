// The four output files. Each writer returns false where the file reported a
// write error; the caller closes the file.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "merge/merged_pattern.h"

bool writexrs82(const MergedPattern& pattern, std::ostream& file);
bool writewyriet(const MergedPattern& pattern, std::ostream& file);
bool writeprofin(const MergedPattern& pattern, std::ostream& file);
// Asks for the title on the console first.
bool writegdat(const MergedPattern& pattern, std::ostream& file, std::istream& in,
               std::ostream& con);

// The full-precision files: every grid point a scan reached, 0 to imax
// (reached[k] true), at full 32-bit precision; points no scan reached are
// left out.
bool writexye(const MergedPattern& pattern, const std::vector<bool>& reached, std::ostream& file);
// reduction: how the pattern was made, lines ended by "\n"
bool writecif(const MergedPattern& pattern, const std::vector<bool>& reached,
              const std::string& reduction, std::ostream& file);
