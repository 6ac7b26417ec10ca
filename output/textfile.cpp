#include "output/textfile.h"

#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <ostream>

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
  if (n >= static_cast<int>(sizeof piece)) {
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

std::string realfield(double value, int width, int decimals) {
  if (std::isfinite(value)) return format("%*.*f", width, decimals, value);
  const char* name = std::isnan(value) ? "nan" : value > 0 ? "inf" : "-inf";
  return format("%*s", width, name);
}
