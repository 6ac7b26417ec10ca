// The small helpers every reader of scanimport shares.
#include "util.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

// A file larger than this is no measurement of any format.
const std::streamoff maxfile = std::streamoff(1) << 30;  // bytes

}  // namespace

bool tonumber(const std::string& s, double& v) {
  const char* p = s.c_str();
  char* end = nullptr;
  double d = std::strtod(p, &end);
  if (end == p) return false;
  while (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n') ++end;
  if (*end || end != p + s.size()) return false;
  v = d;
  return true;
}

double number(const std::string& s) {
  double v = NaN;
  return tonumber(s, v) ? v : NaN;
}

double num(const char* s) { return number(s); }

double lastunit(const std::string& text) {
  const char* p = text.c_str();
  char* end = nullptr;
  std::strtod(p, &end);
  if (end == p) return NaN;
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  std::string digits(p, static_cast<size_t>(end - p));  // the number's own characters
  size_t e = digits.find_first_of("eE");
  std::string mant = digits.substr(0, e);
  size_t dot = mant.find('.');
  int decimals = dot == std::string::npos ? 0 : static_cast<int>(mant.size() - dot - 1);
  int exponent = e == std::string::npos ? 0 : std::atoi(digits.c_str() + e + 1);
  return std::pow(10.0, exponent - decimals);
}

std::string clean(const std::string& s) {
  std::string t = s.substr(0, s.find('\0'));
  for (char& c : t)
    if (static_cast<unsigned char>(c) < 32 || c == 127) c = ' ';
  size_t a = t.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  t = t.substr(a, t.find_last_not_of(' ') - a + 1);
  if (t.size() >= 2 && (t.front() == '\'' || t.front() == '"') && t.back() == t.front())
    t = t.substr(1, t.size() - 2);
  return t;
}

std::string trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(" \t\r") - a + 1);
}

std::string lower(const std::string& s) {
  std::string t;
  for (char c : s) t += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return t;
}

bool startswith(const std::string& s, const char* prefix) {
  return s.compare(0, std::strlen(prefix), prefix) == 0;
}

const std::string* find(const MetaList& m, const std::string& key) {
  for (const auto& kv : m)
    if (kv.first == key) return &kv.second;
  return nullptr;
}

double number(const MetaList& m, const std::string& key) {
  const std::string* s = find(m, key);
  return s ? number(*s) : NaN;
}

bool slurp(const std::string& path, size_t n, std::string& data, std::string& why) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(0, std::ios::end);
  std::streamoff size = in.tellg();
  in.seekg(0);
  if (!in || size < 0) {
    why = std::string("cannot be read: ") + std::strerror(errno);
    return false;
  }
  if (n == 0 && size > maxfile) {
    why = "larger than 1 GiB";
    return false;
  }
  if (n == 0 || static_cast<std::streamoff>(n) > size) n = static_cast<size_t>(size);
  data.assign(n, '\0');
  in.read(&data[0], static_cast<std::streamsize>(n));
  if (static_cast<size_t>(in.gcount()) != n) {
    why = "cannot be read whole";
    return false;
  }
  return true;
}
