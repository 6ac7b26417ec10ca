// Numbers of the full-precision files, written so that a reader gets back
// exactly the values the program holds.
#pragma once

#include <string>

#include "merge/merged_pattern.h"

// A 32-bit value in "%.9g", enough digits to give it back; nan, inf, -inf
// without a sign on a NaN.
std::string exact(float value);

// deg: the grid angle of point k in "%.9g".
std::string angletext(const MergedPattern& pattern, int k);

// A CIF value(su) pair: the value with the fewest decimals that give it
// back, or more where the su needs them, and the su's digits in units of
// the value's last decimal, so both are given back exactly. "?" for a value
// that is not finite; the value alone where the su is not a finite number
// of at least 0.
std::string valuesu(float value, float su);
