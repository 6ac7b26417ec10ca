#include "output/textfile.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ostream>

#include "output/writers.h"

bool writetext(std::ostream& file, const char* fmt, ...) {
  // a record nearly always fits this piece; only a long title needs a string
  char piece[256];
  std::va_list args;
  va_start(args, fmt);
  std::va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(piece, sizeof piece, fmt, args);
  va_end(args);
  std::string whole;
  const char* formatted = piece;
  bool again_needed = n >= static_cast<int>(sizeof piece);
#ifdef _WIN32
  again_needed = true;  // vformat spells a negative NaN as glibc does
#endif
  if (again_needed) {
    whole = vformat(fmt, again);
    formatted = whole.data();
    n = static_cast<int>(whole.size());
  }
  va_end(again);
  char crlf[2 * sizeof piece];
  size_t len = 0;
  for (int k = 0; k < n; ++k) {
    if (len + 2 > sizeof crlf) {  // a long text goes out in several writes
      file.write(crlf, static_cast<std::streamsize>(len));
      len = 0;
    }
    if (formatted[k] == '\n') crlf[len++] = '\r';
    crlf[len++] = formatted[k];
  }
  file.write(crlf, static_cast<std::streamsize>(len));
  return !file.fail();
}

int roundcount(double value) {
  double v = value + 0.5;
  // the integer part of v fits exactly when INT_MIN - 1 < v < INT_MAX + 1;
  // a NaN fails the test too
  if (!(v > INT_MIN - 1.0 && v < INT_MAX + 1.0)) return INT_MIN;
  return static_cast<int>(v);
}

// Right-aligns the n characters at field in width: blanks before them.
static int alignright(char* field, int n, int width) {
  if (n >= width) return n;
  // one loop over the few characters: no calls of a move and a fill
  int pad = width - n;
  for (int k = width - 1; k >= 0; --k) field[k] = k >= pad ? field[k - pad] : ' ';
  return width;
}

// "00", "01", ... "99": the digits of each number below 100
struct DigitPairs {
  char text[200];
  constexpr DigitPairs() : text() {
    for (int k = 0; k < 100; ++k) {
      text[2 * k] = static_cast<char>('0' + k / 10);
      text[2 * k + 1] = static_cast<char>('0' + k % 10);
    }
  }
};
static constexpr DigitPairs digitpairs;

// value below 2^53 in size as "%*.*f" writes it, decimals 0 to 3, width at
// most 32; 32 bytes of field are written. value is
// m / 2^shift exactly, m below 2^53 (from the bits of the double), so
// value * 10^decimals is m * 10^decimals / 2^shift exactly, with the
// numerator below 2^63: that quotient rounded to an integer, halfway cases
// to even, is the number printf writes, its last decimals after the point.
static int smallfield(char* field, double value, int width, int decimals) {
  static const std::uint64_t pow10[] = {1, 10, 100, 1000};
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  int exponent = static_cast<int>(bits >> 52 & 0x7ff);
  std::uint64_t m = bits & ((std::uint64_t{1} << 52) - 1);
  int shift = 1074;  // subnormal
  if (exponent > 0) {
    m |= std::uint64_t{1} << 52;
    shift = 1075 - exponent;
  }
  std::uint64_t scaled = m * pow10[decimals];
  std::uint64_t q = 0;  // past 63 bits of shift the quotient is below 1/2
  if (shift == 0) {
    q = scaled;
  } else if (shift < 64) {
    q = scaled >> shift;
    std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
    std::uint64_t half = std::uint64_t{1} << (shift - 1);
    if (rest > half || (rest == half && (q & 1))) ++q;
  }
  // built from the right, ending at the middle of a line of blanks, then
  // copied with the blanks before it in one move of a fixed size: no call
  // for a few bytes
  char line[64];
  std::memset(line, ' ', sizeof line);
  char* d = line + 32;
  for (int k = 0; k < decimals; ++k, q /= 10) *--d = static_cast<char>('0' + q % 10);
  if (decimals > 0) *--d = '.';
  // the integer part, at least one digit, two at a time
  for (; q >= 100; q /= 100) d = std::copy_n(digitpairs.text + 2 * (q % 100), 2, d - 2) - 2;
  if (q >= 10)
    d = std::copy_n(digitpairs.text + 2 * q, 2, d - 2) - 2;
  else
    *--d = static_cast<char>('0' + q);
  if (bits >> 63) *--d = '-';               // -0.0 and what rounds to 0 too
  int n = static_cast<int>(line + 32 - d);  // at most 21: 19 digits, point, sign
  int total = n < width ? width : n;
  std::memcpy(field, line + 32 - total, 32);
  return total;
}

int realfield(char* field, double value, int width, int decimals) {
  if (!std::isfinite(value)) {
    const char* name = std::isnan(value) ? "nan" : value > 0 ? "inf" : "-inf";
    int n = static_cast<int>(std::strlen(name));
    std::memcpy(field, name, static_cast<size_t>(n));
    return alignright(field, n, width);
  }
  if (std::fabs(value) < 0x1p53 && decimals <= 3 && width <= 32)
    return smallfield(field, value, width, decimals);
  // fixed with a precision: printf's "%.*f", digit for digit
  char* end =
      std::to_chars(field, field + fieldroom, value, std::chars_format::fixed, decimals).ptr;
  return alignright(field, static_cast<int>(end - field), width);
}

TextOut::TextOut(std::ostream& f, FieldCounts& c) : file(f), counts(c), text(new char[textbytes]) {
  counts = FieldCounts();
}

// The free part of out's buffer, at least n characters.
static char* room(TextOut& out, size_t n) {
  if (textbytes - out.len < n) {
    out.file.write(out.text.get(), static_cast<std::streamsize>(out.len));
    out.len = 0;
  }
  return out.text.get() + out.len;
}

// A field of n characters written at the end of out, counted where wider
// than width.
static int added(TextOut& out, int n, int width) {
  out.len += static_cast<size_t>(n);
  out.counts.wide += n > width;
  return n;
}

int putreal(TextOut& out, double value, int width, int decimals) {
  return added(out, realfield(room(out, fieldroom), value, width, decimals), width);
}

int putsigma(TextOut& out, double value, int width, int decimals) {
  const char* field = room(out, fieldroom);
  int n = putreal(out, value, width, decimals);
  // a sigma of 1 or more has a digit other than 0 before the point; only
  // smaller ones (nearly none) have their text looked at
  if (!(std::fabs(value) < 1.0)) return n;
  // nothing but zeros besides blanks, sign and point: a reader takes 0
  bool zero = true;
  for (int k = 0; k < n; ++k) {
    char ch = field[k];
    zero = zero && (ch == ' ' || ch == '-' || ch == '.' || ch == '0');
  }
  out.counts.zerosigma += zero;
  return n;
}

int putheader(TextOut& out, double value, int width, int decimals) {
  if (!(std::isnan(value) && std::signbit(value))) return putreal(out, value, width, decimals);
  char* field = room(out, fieldroom);
  std::memcpy(field, "-nan", 4);
  return added(out, alignright(field, 4, width), width);
}

int putcount(TextOut& out, int value, int width) {
  char* field = room(out, fieldroom);
  char* end = std::to_chars(field, field + fieldroom, value).ptr;
  return added(out, alignright(field, static_cast<int>(end - field), width), width);
}

void putblank(TextOut& out) { *room(out, 1) = ' ', ++out.len; }

void puttext(TextOut& out, const char* text) {
  size_t n = std::strlen(text);  // a few words: far below the buffer's size
  std::memcpy(room(out, n), text, n);
  out.len += n;
}

void endline(TextOut& out) {
  char* end = room(out, 2);
  end[0] = '\r', end[1] = '\n';
  out.len += 2;
}

bool flushtext(TextOut& out) {
  out.file.write(out.text.get(), static_cast<std::streamsize>(out.len));
  out.len = 0;
  return !out.file.fail();
}
