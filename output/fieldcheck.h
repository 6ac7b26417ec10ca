// What a reader of fixed columns would misread in a file just written: the
// values wider than their fields, and a header step cut to three decimals.
#pragma once

#include <iosfwd>
#include <string>

#include "merge/merged_pattern.h"

// The numeric fields of each file whose text is longer than their width,
// as the writers convert them (the title is free text and not counted).
int widexrs82(const MergedPattern& pattern);
int widewyriet(const MergedPattern& pattern);
int wideprofin(const MergedPattern& pattern);
int widegdat(const MergedPattern& pattern);

// deg: the angle of the last point written, imax - 1, rebuilt from tthmin
// and tthstep as a "%8.3f" header carries them, less its grid angle; NaN
// where imax is 0 or either angle is not finite.
double headerstepoff(const MergedPattern& pattern);

// Tells the console about a file written completely: the count of wide
// fields, if any, then (stepcheck: a Wyriet or PROFIN file) a header step
// that puts the last point more than 0.001 deg off. name as typed.
void warnmisfits(const MergedPattern& pattern, const std::string& name, int wide, bool stepcheck,
                 std::ostream& con);
