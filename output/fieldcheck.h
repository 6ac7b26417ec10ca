// What a reader of fixed columns would misread in a file just written: the
// fields its writer counted, and a header step cut to three decimals.
#pragma once

#include <iosfwd>
#include <string>

#include "merge/merged_pattern.h"
#include "output/writers.h"

// deg: the angle of the last point written, imax - 1, rebuilt from tthmin
// and tthstep as a "%8.3f" header carries them, less its grid angle; NaN
// where imax is 0 or either angle is not finite.
double headerstepoff(const MergedPattern& pattern);

// Whether a file's header carries tthstep as "%8.3f" (the Wyriet and PROFIN
// files), so that a reader rebuilding the angles from it may drift.
constexpr bool stepheader = true;
constexpr bool nostepheader = false;

// Tells the console about a file written completely, as its writer counted
// its fields: the wide fields, then the standard deviations written as zero,
// then (stepcheck: the file has a step header) a header step that puts the
// last point more than 0.001 deg off. name as typed.
void warnmisfits(const MergedPattern& pattern, const std::string& name, const FieldCounts& counts,
                 bool stepcheck, std::ostream& con);
