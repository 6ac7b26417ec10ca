#include "output/textfile.h"

#include <climits>
#include <cmath>
#include <cstdarg>
#include <ostream>

bool writetext(std::ostream& file, const char* fmt, ...) {
  std::va_list args;
  va_start(args, fmt);
  std::string s = vformat(fmt, args);
  va_end(args);
  std::string crlf;
  crlf.reserve(s.size() + 2);
  for (char ch : s) {
    if (ch == '\n') crlf += '\r';
    crlf += ch;
  }
  file.write(crlf.data(), static_cast<std::streamsize>(crlf.size()));
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
