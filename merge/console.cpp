#include "merge/console.h"

#include <cstdio>
#include <istream>
#include <ostream>

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
    text.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(&text[0], text.size(), fmt, again);
    text.resize(static_cast<size_t>(n));
  }
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

ConsoleBuf::int_type ConsoleBuf::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  int n = 0;
  while (n < static_cast<int>(sizeof piece)) {
    int ch = std::getc(source);
    if (ch == EOF) break;
    piece[n++] = static_cast<char>(ch);
    if (ch == '\n') break;
  }
  if (n == 0) return traits_type::eof();
  setg(piece, piece, piece + n);
  return traits_type::to_int_type(piece[0]);
}

static bool readfailed(std::istream& in) {
  // a stream buffer that threw while reading leaves badbit behind
  if (in.bad()) return true;
  const ConsoleBuf* console = dynamic_cast<const ConsoleBuf*>(in.rdbuf());
  return console && console->failed();
}

std::string askline(std::istream& in, std::ostream& con) {
  con.flush();
  std::string answer;
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
    say(con, "Couldn't read the console.  I die.\n");
    return std::string();
  }
  if (!answer.empty() && answer.back() == '\r') answer.pop_back();
  return answer;
}
