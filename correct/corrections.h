// The corrections applied to the merged sums before they are written.
#pragma once

#include <iosfwd>

#include "merge/merged_pattern.h"

// Turns the sums at indices 0 to imax - 1 into intensities per 1 000 000
// monitor counts (cts) and their counting-statistics sigmas (mon).
void normalize(MergedPattern& pattern, std::ostream& con);

enum class EivStatus {
  done,        // blank answer, or the correction carried out
  rangeerror,  // "Range Error!": the run must end without output
};

// Offers the illuminated-fraction correction of a rocked flat sample and
// divides both arrays by the mean illuminated fraction.
EivStatus eivcorrect(MergedPattern& pattern, std::istream& in, std::ostream& con);
