// The four output files. Each writer returns false where the file reported a
// write error; the caller closes the file.
#pragma once

#include <iosfwd>

#include "merge/merged_pattern.h"

bool writexrs82(const MergedPattern& pattern, std::ostream& file);
bool writewyriet(const MergedPattern& pattern, std::ostream& file);
bool writeprofin(const MergedPattern& pattern, std::ostream& file);
// Asks for the title on the console first.
bool writegdat(const MergedPattern& pattern, std::ostream& file, std::istream& in,
               std::ostream& con);
