// Which of scanimport's own readers a file goes to: by its -f name, or by
// the first bytes of its content (for a zip archive, by its member names).
#include "ownformats.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

// -f name and description of each format
const char* const formats[][2] = {{"bruker_raw4", "Bruker RAW version 4"},
                                  {"bruker_brml", "Bruker BRML"},
                                  {"rigaku_ras", "Rigaku RAS"},
                                  {"rigaku_rasx", "Rigaku RASX"}};

// A file larger than this is no measurement of these formats.
const std::streamoff maxfile = std::streamoff(1) << 30;  // bytes

bool startswith(const std::string& s, const char* p) {
  return s.compare(0, std::strlen(p), p) == 0;
}

// The first n bytes of the file, or all of it with n 0.
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

double num(const char* s) {
  double v = std::nan("");
  return tonumber(s, v) ? v : std::nan("");
}

long numbered(const std::string& name, const std::string& prefix, const std::string& suffix) {
  if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
    return -1;
  std::string n = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  if (n.size() > 9 || n.find_first_not_of("0123456789") != std::string::npos) return -1;
  return std::strtol(n.c_str(), nullptr, 10);
}

std::vector<std::pair<long, std::string>> bynumber(const std::vector<std::string>& names,
                                                   long (*number)(const std::string&)) {
  std::vector<std::pair<long, std::string>> found;
  for (const std::string& n : names)
    if (number(n) >= 0) found.emplace_back(number(n), n);
  std::sort(found.begin(), found.end());
  return found;
}

bool parsexml(const std::string& text, pugi::xml_document& doc, std::string& why) {
  // A node takes 40 to 64 bytes, so markup far denser than measured data's
  // (one tag or attribute in 19 bytes or more) would take many times the
  // text: empty elements, not a measurement.
  if (text.size() > (64u << 10)) {
    size_t marks = 0;
    for (char c : text) marks += c == '<' || c == '=';
    if (marks > text.size() / 8) {
      why = "XML of " + std::to_string(text.size()) + " bytes with " + std::to_string(marks) +
            " tags and attributes, far more than measured data hold: not read";
      return false;
    }
  }
  pugi::xml_parse_result res = doc.load_buffer(text.data(), text.size());
  if (!res) why = "XML error at byte " + std::to_string(res.offset) + ": " + res.description();
  return res;
}

std::string ownformat(const std::string& data) {
  if (startswith(data, "RAW4.00")) return "bruker_raw4";
  if (startswith(data, "*RAS_DATA_START") || startswith(data, "\xEF\xBB\xBF*RAS_DATA_START"))
    return "rigaku_ras";
  std::vector<std::string> names;
  std::string why;
  if (!startswith(data, "PK\x03\x04") || !zipnames(data, names, why)) return "";
  for (const std::string& n : names) {
    std::string file = n.substr(n.find_last_of('/') + 1);
    if (file == "DataContainer.xml" ||
        (startswith(file, "RawData") && n.size() > 4 && n.compare(n.size() - 4, 4, ".xml") == 0))
      return "bruker_brml";
    if (startswith(n, "Data") && startswith(file, "Profile") && n.size() > 4 &&
        n.compare(n.size() - 4, 4, ".txt") == 0)
      return "rigaku_rasx";
  }
  return "";
}

bool ownformatname(const std::string& name) {
  for (const auto& f : formats)
    if (name == f[0]) return true;
  return false;
}

std::string ownformatlist() {
  std::string list;
  for (const auto& f : formats) list += std::string(f[0]) + "  " + f[1] + "\n";
  return list;
}

bool readown(const std::string& path, const Options& opt, Instrument& ins, bool& ok,
             std::string& why) {
  // -f bruker_raw, xylib's name for versions 1 to 3, takes version 4 here
  std::string fmt = opt.format;
  if (!fmt.empty() && !ownformatname(fmt) && fmt != "bruker_raw") return false;
  std::string data;
  if (!slurp(path, 64, data, why)) return false;  // xylib says why
  std::string found = ownformat(data);
  if (found.empty() && startswith(data, "PK\x03\x04")) {
    if (!slurp(path, 0, data, why)) return false;
    found = ownformat(data);
    std::vector<std::string> names;
    if (found.empty() && fmt.empty() && !zipnames(data, names, why)) {
      ok = false;  // no format of xylib is a zip archive
      return true;
    }
  }
  if (fmt.empty() || fmt == "bruker_raw") {
    if (found.empty() || (fmt == "bruker_raw" && found != "bruker_raw4")) return false;
    fmt = found;
  }
  ok = false;
  if (data.size() <= 64 && !slurp(path, 0, data, why)) return true;
  for (const auto& f : formats)
    if (fmt == f[0]) ins.formatdesc = f[1];
  ins.format = fmt;
  MetaList meta;
  std::vector<FileRange> ranges;
  bool read = fmt == "bruker_raw4"   ? readraw4(data, meta, ranges, why)
              : fmt == "bruker_brml" ? readbrml(data, meta, ranges, why)
              : fmt == "rigaku_ras"  ? readras(data, meta, ranges, why)
                                     : readrasx(data, meta, ranges, why);
  if (!read) {
    if (found != fmt) why = "not read as " + ins.formatdesc + ": " + why;
    return true;
  }
  ins.meta = meta;
  ok = addranges(ranges, opt, ins, why);
  return true;
}
