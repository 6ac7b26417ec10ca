// Console text: every message, prompt and echoed line goes through one
// stream, printf-formatted, so the order on screen is the order of the run.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <iosfwd>
#include <streambuf>
#include <string>

// Lets GCC and Clang check the format against the arguments; other
// compilers (MSVC) have no such attribute.
#if defined(__GNUC__) || defined(__clang__)
#define SCANMERGE_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define SCANMERGE_PRINTF(f, a)
#endif

std::string vformat(const char* fmt, std::va_list args) SCANMERGE_PRINTF(1, 0);
std::string format(const char* fmt, ...) SCANMERGE_PRINTF(1, 2);
void say(std::ostream& con, const char* fmt, ...) SCANMERGE_PRINTF(2, 3);

// The console's input, read through stdio up to each line end (so an answer
// is taken as soon as it is typed), where a read error (standard input a
// directory, a dead terminal) can be told from the end of input. A hangup
// (the terminal closed) that the program holds back is a read error too.
class ConsoleBuf : public std::streambuf {
 public:
  explicit ConsoleBuf(std::FILE* file) : source(file) {}
  bool failed() const { return hangup || std::ferror(source) != 0; }

 protected:
  int_type underflow() override;

 private:
  std::FILE* source;
  bool hangup = false;
  char piece[4096];
};

// One answer typed at the console, without its line end (LF or CR LF).
// con is flushed first so the prompt is on screen. End of input reads as a
// blank answer. false on a read error (in's badbit set, answer blank): the
// caller ends the run.
bool askline(std::istream& in, std::ostream& con, std::string& answer);
