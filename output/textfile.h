// What every output file shares: the line writer that puts CR LF for each
// "\n", and the conversions of intensities into their fields.
#pragma once

#include <iosfwd>
#include <string>

#include "merge/console.h"  // SCANMERGE_PRINTF

// Writes printf-formatted text to file with each "\n" as CR LF. false where
// the file has reported an error, by this write or an earlier one.
bool writetext(std::ostream& file, const char* fmt, ...) SCANMERGE_PRINTF(2, 3);

// value rounded to a 32-bit integer: the integer part (toward zero) of
// value + 0.5; not finite, or an integer part beyond 32 bits, gives INT_MIN.
int roundcount(double value);

// value as "%<width>.<decimals>f" writes it; a value that is not finite is
// written nan, inf or -inf right-aligned in the field, the sign of a NaN
// never shown, so that every platform writes the same bytes.
std::string realfield(double value, int width, int decimals);
