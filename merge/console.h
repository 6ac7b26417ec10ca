// Console text: every message, prompt and echoed line goes through one
// stream, printf-formatted, so the order on screen is the order of the run.
#pragma once

#include <cstdarg>
#include <iosfwd>
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

// One answer typed at the console, without its line end (LF or CR LF).
// con is flushed first so the prompt is on screen. End of input reads as a
// blank answer.
std::string askline(std::istream& in, std::ostream& con);
