// What every output file shares: the line writers that put CR LF for each
// line end, and the conversions of intensities into their fields.
#pragma once

#include <cstddef>
#include <iosfwd>

#include "text/console.h"  // SCANMERGE_PRINTF

// Writes printf-formatted text to file with each "\n" as CR LF. false where
// the file has reported an error, by this write or an earlier one.
bool writetext(std::ostream& file, const char* fmt, ...) SCANMERGE_PRINTF(2, 3);

// value rounded to a 32-bit integer: the integer part (toward zero) of
// value + 0.5; not finite, or an integer part beyond 32 bits, gives INT_MIN.
int roundcount(double value);

// Room for any field: a double's 309 integer digits, sign, point and up to
// three decimals, with room to spare.
constexpr int fieldroom = 320;

// Writes value into field as snprintf's "%*.*f" with width and decimals
// (at most 3) writes it in the C locale; a value that is not finite is
// written nan, inf or -inf right-aligned in the field, the sign of a NaN
// never shown, so that every platform writes the same bytes. field holds
// fieldroom characters; no NUL is added. Returns the length, more than width
// where the value needs more room.
int realfield(char* field, double value, int width, int decimals);

// The data lines of one output file, gathered in a large buffer and handed
// to the file in large writes; each line end goes out as CR LF.
struct TextOut {
  explicit TextOut(std::ostream& f) : file(f) {}
  std::ostream& file;
  std::size_t len = 0;
  char text[64 * 1024];
};

// Fields appended to out; each returns the field's length, as realfield.
int putreal(TextOut& out, double value, int width, int decimals);
int putcount(TextOut& out, int value, int width);  // "%*d"
void putblank(TextOut& out);
void endline(TextOut& out);  // CR LF
// Hands what is left to the file: false where the file has reported an
// error, by this write or an earlier one.
bool flushtext(TextOut& out);
