#include "output/textfile.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
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

// Right-aligns the n characters at field in width: blanks before them.
static int alignright(char* field, int n, int width) {
  if (n >= width) return n;
  std::memmove(field + (width - n), field, static_cast<size_t>(n));
  std::memset(field, ' ', static_cast<size_t>(width - n));
  return width;
}

int realfield(char* field, double value, int width, int decimals) {
  if (!std::isfinite(value)) {
    const char* name = std::isnan(value) ? "nan" : value > 0 ? "inf" : "-inf";
    int n = static_cast<int>(std::strlen(name));
    std::memcpy(field, name, static_cast<size_t>(n));
    return alignright(field, n, width);
  }
  // fixed with a precision: printf's "%.*f", digit for digit
  char* end = std::to_chars(field, field + fieldroom, value, std::chars_format::fixed, decimals).ptr;
  return alignright(field, static_cast<int>(end - field), width);
}

// The free part of out's buffer, at least n characters.
static char* room(TextOut& out, size_t n) {
  if (sizeof out.text - out.len < n) {
    out.file.write(out.text, static_cast<std::streamsize>(out.len));
    out.len = 0;
  }
  return out.text + out.len;
}

int putreal(TextOut& out, double value, int width, int decimals) {
  int n = realfield(room(out, fieldroom), value, width, decimals);
  out.len += static_cast<size_t>(n);
  return n;
}

int putcount(TextOut& out, int value, int width) {
  char* field = room(out, fieldroom);
  char* end = std::to_chars(field, field + fieldroom, value).ptr;
  int n = alignright(field, static_cast<int>(end - field), width);
  out.len += static_cast<size_t>(n);
  return n;
}

void putblank(TextOut& out) { *room(out, 1) = ' ', ++out.len; }

void endline(TextOut& out) {
  char* end = room(out, 2);
  end[0] = '\r', end[1] = '\n';
  out.len += 2;
}

bool flushtext(TextOut& out) {
  out.file.write(out.text, static_cast<std::streamsize>(out.len));
  out.len = 0;
  return !out.file.fail();
}
