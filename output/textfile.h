// What every output file shares: the line writers that put CR LF for each
// line end, and the conversions of intensities into their fields.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <memory>

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

struct FieldCounts;  // output/writers.h

// The lines of one output file, gathered in a large buffer (on the heap:
// a small stack must do) and handed to the file in large writes; each line
// end goes out as CR LF. Every numeric field is counted in counts, from
// zero, where its text is wider than its width.
constexpr std::size_t textbytes = 64 * 1024;
struct TextOut {
  TextOut(std::ostream& f, FieldCounts& c);
  std::ostream& file;
  FieldCounts& counts;
  std::size_t len = 0;
  std::unique_ptr<char[]> text;
};

// Fields appended to out; each returns the field's length, as realfield.
int putreal(TextOut& out, double value, int width, int decimals);
// putreal for a standard deviation: a field that reads as zero ("0.0",
// "-0.00") is counted in counts.zerosigma too
int putsigma(TextOut& out, double value, int width, int decimals);
// putreal for a header number, which printf writes: a negative NaN as -nan
int putheader(TextOut& out, double value, int width, int decimals);
int putcount(TextOut& out, int value, int width);  // "%*d"
void putblank(TextOut& out);
void puttext(TextOut& out, const char* text);  // a line's fixed words, no line end
void endline(TextOut& out);                    // CR LF
// Hands what is left to the file: false where the file has reported an
// error, by this write or an earlier one.
bool flushtext(TextOut& out);
