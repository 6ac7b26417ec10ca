#include "merge/numbers.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <system_error>

// The digits at p taken into mantissa, as
// for (; '0' <= *p && *p <= '9'; ++p) mantissa = mantissa * 10 + (*p - '0');
// with one unsigned comparison a digit.
static const char* takedigits(const char* p, std::uint64_t& mantissa) {
  std::uint64_t m = mantissa;
  for (std::uint64_t d; (d = static_cast<unsigned char>(*p) - std::uint64_t{48}) < 10; ++p)
    m = m * 10 + d;
  mantissa = m;
  return p;
}

// Plain tokens only: [-]digits[.digits], [-]digits. or [-].digits, at most
// 38 characters (so never beyond a float's normal range), ended by
// whitespace or the end of the line. Any other token leaves the whole line
// to sscanf, which then decides everything about it.
constexpr long longestplain = 38;

// Every power of ten a float holds exactly.
constexpr float exactpow10[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
constexpr std::uint64_t exactmantissa = std::uint64_t{1} << 24;

int convertplain(const char* text, float v[8], const char*& stop) {
  const char* p = text;
  int got = 0;
  for (; got < 8; ++got) {
    while (*p == ' ') ++p;  // blanks first: nearly always the only whitespace
    if (static_cast<unsigned char>(*p) - 48u > 9) {  // seldom anything but a digit
      while (*p != '\n' && isspace_c(*p)) ++p;
      if (*p == '\0' || *p == '\n') break;
    }
    const char* token = p;
    bool negative = *p == '-';
    if (negative) ++p;
    // the digits as one integer; past 19 digits it wraps and is not used
    std::uint64_t mantissa = 0;
    const char* intpart = p;
    p = takedigits(p, mantissa);
    unsigned long digits = static_cast<unsigned long>(p - intpart);
    unsigned long decimals = 0;
    if (*p == '.') {
      const char* fraction = ++p;
      p = takedigits(p, mantissa);
      decimals = static_cast<unsigned long>(p - fraction);
      digits += decimals;
    }
    if (!(*p == '\0' || isspace_c(*p))) return notplain;
    // 1 to 10 digits (so at most 10 decimals) with a mantissa held exactly
    if (digits - 1 < 10 && mantissa <= exactmantissa) {
      // both operands exact, so the one rounding of the quotient is that of
      // the decimal value itself: the float nearest it, as strtof gives
      float value = static_cast<float>(static_cast<std::int32_t>(mantissa));
      if (decimals > 0) value /= exactpow10[decimals];
      v[got] = negative ? -value : value;
    } else {
      if (digits == 0 || p - token > longestplain) return notplain;
      // correctly rounded to nearest, as strtof
      std::from_chars_result r = std::from_chars(token, p, v[got]);
      if (r.ec != std::errc() || r.ptr != p) return notplain;
    }
  }
  stop = p;
  return got > 0 ? got : EOF;
}

int convertrow(const char* line, float v[8]) {
  const char* stop = line;
  int got = convertplain(line, v, stop);
  if (got != notplain) return got;
  return std::sscanf(line, "%f %f %f %f %f %f %f %f", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                     &v[6], &v[7]);
}
