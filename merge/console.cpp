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

std::string askline(std::istream& in, std::ostream& con) {
  con.flush();
  std::string answer;
  if (!std::getline(in, answer)) return std::string();
  if (!answer.empty() && answer.back() == '\r') answer.pop_back();
  return answer;
}
