#include "text/console.h"

#include <cstdio>
#include <istream>
#include <ostream>

#ifndef _WIN32
#include <signal.h>  // sigpending
#endif

#ifdef _WIN32
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <utility>
#endif

#ifdef _WIN32
// The length of the text that the first n characters of fmt make.
static size_t rawlength(const char* fmt, size_t n, std::va_list args) {
  const std::string prefix(fmt, n);
  std::va_list copy;
  va_copy(copy, args);
#ifdef __GNUC__
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"  // a piece of a checked format
#endif
  const int len = std::vsnprintf(nullptr, 0, prefix.c_str(), copy);
#ifdef __GNUC__
#pragma GCC diagnostic pop
#endif
  va_end(copy);
  return len > 0 ? static_cast<size_t>(len) : 0;
}

// Windows' C libraries spell a negative NaN "nan" (MinGW-w64) or "-nan(ind)"
// (MSVC) where glibc writes "-nan"; the console and the file headers must
// read the same on every system. Each such field is found by formatting the
// text up to it and written again as glibc writes it: "-nan" padded to the
// field's width, on the left unless the '-' flag is given.
static std::string glibcnans(const char* fmt, std::va_list args, std::string text) {
  if (text.find("nan") == std::string::npos && text.find("NAN") == std::string::npos) return text;
  std::va_list walk;
  va_copy(walk, args);
  std::ptrdiff_t shift = 0;  // what the fields written again added
  for (const char* p = fmt; *p;) {
    if (*p != '%') {
      ++p;
      continue;
    }
    const char* start = p++;
    if (*p == '%') {
      ++p;
      continue;
    }
    bool left = false;
    for (; *p && std::strchr("-+ #0", *p); ++p) left = left || *p == '-';
    int width = 0;
    if (*p == '*') {
      width = va_arg(walk, int);
      left = left || width < 0;
      width = std::abs(width);
      ++p;
    } else {
      for (; *p >= '0' && *p <= '9'; ++p) width = 10 * width + (*p - '0');
    }
    if (*p == '.') {
      ++p;
      if (*p == '*') {
        (void)va_arg(walk, int);
        ++p;
      }
      p += std::strspn(p, "0123456789");
    }
    const bool islong = *p == 'l';
    if (islong) ++p;
    const char conv = *p;
    if (conv == '\0') break;
    ++p;
    if (std::strchr("di", conv)) {
      if (islong)
        (void)va_arg(walk, long);
      else
        (void)va_arg(walk, int);
    } else if (std::strchr("uoxXc", conv)) {
      if (islong)
        (void)va_arg(walk, unsigned long);
      else
        (void)va_arg(walk, unsigned);
    } else if (conv == 's' || conv == 'p') {
      (void)va_arg(walk, const void*);
    } else if (std::strchr("fFeEgGaA", conv)) {
      const double value = va_arg(walk, double);
      if (!std::isnan(value) || !std::signbit(value)) continue;
      // where the field starts and ends in the text as first formatted
      const size_t from = rawlength(fmt, static_cast<size_t>(start - fmt), args);
      const size_t to = rawlength(fmt, static_cast<size_t>(p - fmt), args);
      std::string field = std::isupper(static_cast<unsigned char>(conv)) ? "-NAN" : "-nan";
      if (field.size() < static_cast<size_t>(width))
        field.insert(left ? field.size() : 0, static_cast<size_t>(width) - field.size(), ' ');
      text.replace(static_cast<size_t>(static_cast<std::ptrdiff_t>(from) + shift), to - from,
                   field);
      shift += static_cast<std::ptrdiff_t>(field.size()) - static_cast<std::ptrdiff_t>(to - from);
    } else {
      break;  // a conversion this program does not use
    }
  }
  va_end(walk);
  return text;
}
#endif

std::string vformat(const char* fmt, std::va_list args) {
  char small[256];
  std::va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(small, sizeof small, fmt, args);
  std::string text;
  if (n < 0) {
    va_end(again);
    return text;
  }
  if (static_cast<size_t>(n) < sizeof small) {
    text.assign(small, static_cast<size_t>(n));
  } else {
    std::va_list twice;
    va_copy(twice, again);
    text.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(&text[0], text.size(), fmt, twice);
    va_end(twice);
    text.resize(static_cast<size_t>(n));
  }
#ifdef _WIN32
  text = glibcnans(fmt, again, std::move(text));
#endif
  va_end(again);
  return text;
}

std::string format(const char* fmt, ...) {
  std::va_list args;
  va_start(args, fmt);
  std::string text = vformat(fmt, args);
  va_end(args);
  return text;
}

void say(std::ostream& con, const char* fmt, ...) {
  std::va_list args;
  va_start(args, fmt);
  std::string text = vformat(fmt, args);
  va_end(args);
  con.write(text.data(), static_cast<std::streamsize>(text.size()));
}

// A hangup held back (blocked) and not yet taken.
static bool hungup() {
#ifdef _WIN32
  return false;
#else
  sigset_t pending;
  return sigpending(&pending) == 0 && sigismember(&pending, SIGHUP) == 1;
#endif
}

ConsoleBuf::int_type ConsoleBuf::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  hangup = hangup || hungup();
  if (hangup) return traits_type::eof();
  int n = 0;
  while (n < static_cast<int>(sizeof piece)) {
    int ch = std::getc(source);
    if (ch == EOF) break;
    piece[n++] = static_cast<char>(ch);
    if (ch == '\n') break;
  }
  // a closed terminal reads as its end, with the hangup after it
  hangup = hungup();
  if (n == 0 || hangup) return traits_type::eof();
  setg(piece, piece, piece + n);
  return traits_type::to_int_type(piece[0]);
}

static bool readfailed(std::istream& in) {
  // a stream buffer that threw while reading leaves badbit behind
  if (in.bad()) return true;
  const ConsoleBuf* console = dynamic_cast<const ConsoleBuf*>(in.rdbuf());
  return console && console->failed();
}

bool askline(std::istream& in, std::ostream& con, std::string& answer) {
  con.flush();
  answer.clear();
  // in pieces, not std::getline into the string: that would take a failed
  // allocation for a read error, and the run must end "allocation error"
  char piece[256];
  for (;;) {
    in.getline(piece, sizeof piece);
    std::streamsize n = in.gcount();
    if (in.eof() || in.bad()) {  // the last line, if any, had no line end
      answer.append(piece, static_cast<size_t>(n));
      break;
    }
    if (!in.fail()) {  // the LF was taken and counted, not stored
      answer.append(piece, static_cast<size_t>(n - 1));
      break;
    }
    answer.append(piece, static_cast<size_t>(n));  // a long line goes on
    in.clear();
  }
  if (readfailed(in)) {
    in.setstate(std::ios::badbit);
    answer.clear();
    return false;
  }
  if (!answer.empty() && answer.back() == '\r') answer.pop_back();
  return true;
}
