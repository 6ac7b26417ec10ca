// The table of instrument formats and the one caller of their readers: a
// file goes to the reader its -f name or its content names, or else to
// xylib, and the common rules turn what the reader found into ranges.
#include "formats.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "archive.h"
#include "readers.h"
#include "rules.h"
#include "util.h"

namespace {

using Reader = bool (*)(const std::string& data, MetaList& meta, std::vector<FileRange>& ranges,
                        std::string& why);

bool israw4(const std::string& data) { return startswith(data, "RAW4.00"); }

bool isras(const std::string& data) {
  return startswith(data, "*RAS_DATA_START") || startswith(data, "\xEF\xBB\xBF*RAS_DATA_START");
}

// A zip archive's member names; none where data is no whole zip archive.
std::vector<std::string> members(const std::string& data) {
  std::vector<std::string> names;
  std::string why;
  if (!startswith(data, "PK\x03\x04") || !zipnames(data, names, why)) names.clear();
  return names;
}

bool endswith(const std::string& s, const char* suffix) {
  size_t n = std::strlen(suffix);
  return s.size() > n && s.compare(s.size() - n, n, suffix) == 0;
}

bool isbrml(const std::string& data) {
  for (const std::string& n : members(data)) {
    std::string file = n.substr(n.find_last_of('/') + 1);
    if (file == "DataContainer.xml" || (startswith(file, "RawData") && endswith(n, ".xml")))
      return true;
  }
  return false;
}

bool israsx(const std::string& data) {
  for (const std::string& n : members(data)) {
    std::string file = n.substr(n.find_last_of('/') + 1);
    if (startswith(n, "Data") && startswith(file, "Profile") && endswith(n, ".txt")) return true;
  }
  return false;
}

// XRDML: its root element near the start
bool isxrdml(const std::string& data) {
  return data.substr(0, 65536).find("<xrdMeasurements") != std::string::npos;
}

// Rigaku's text layout (DAT, ASC), which xylib reads
bool isrigakutext(const std::string& data) { return startswith(data, "*TYPE"); }

struct Format {
  const char* name;  // -f name
  const char* desc;
  bool (*detect)(const std::string& data);  // by content
  Reader read;                              // nullptr: xylib reads it under name
};

// In the order they are tried; a format of xylib's not here is left to its guess.
const Format formats[] = {
    {"bruker_raw4", "Bruker RAW version 4", israw4, readraw4},
    {"bruker_brml", "Bruker BRML", isbrml, readbrml},
    {"rigaku_ras", "Rigaku RAS", isras, readras},
    {"rigaku_rasx", "Rigaku RASX", israsx, readrasx},
    {"xrdml", "PANalytical XRDML", isxrdml, readxrdml},
    {"rigaku_dat", "Rigaku DAT", isrigakutext, nullptr},
};

const Format* byname(const std::string& name) {
  for (const Format& f : formats)
    if (name == f.name) return &f;
  return nullptr;
}

std::string basename(const std::string& path) {
#ifdef _WIN32
  const char* separators = "/\\:";  // C:name, C:\folder\name
#else
  const char* separators = "/";
#endif
  std::string n = path.substr(path.find_last_of(separators) + 1);
  size_t dot = n.find_last_of('.');
  if (dot != std::string::npos && dot > 0) n.erase(dot);
  return n;
}

}  // namespace

std::string detectformat(const std::string& data) {
  for (const Format& f : formats)
    if (f.detect(data)) return f.name;
  return "";
}

bool formatname(const std::string& name) { return byname(name) && byname(name)->read; }

std::string formatlist() {
  std::string list;
  for (const Format& f : formats)
    if (f.read && f.detect != isxrdml) list += std::string(f.name) + "  " + f.desc + "\n";
  return list;
}

bool readinstrument(const std::string& path, const Options& opt, Instrument& ins,
                    std::string& why) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    why = std::strerror(errno);
    return false;
  }
  // a device or a FIFO would be read without end or wait for a writer
  if (!S_ISREG(st.st_mode)) {
    why = S_ISDIR(st.st_mode) ? "is a directory" : "not a regular file";
    return false;
  }
  if (!std::ifstream(path, std::ios::binary)) {
    why = std::string("cannot be read: ") + std::strerror(errno);
    return false;
  }
  ins.path = path;
  ins.name = basename(path);
  std::string data;
  if (!slurp(path, 0, data, why)) return false;
  std::string found = detectformat(data);
  std::string fmt = opt.format;
  // -f bruker_raw, xylib's name for versions 1 to 3, takes version 4 too
  if (fmt.empty() || (fmt == "bruker_raw" && found == "bruker_raw4")) fmt = found;
  if (opt.format.empty() && found.empty() && startswith(data, "PK\x03\x04")) {
    std::vector<std::string> names;
    if (!zipnames(data, names, why)) return false;  // no format of xylib is a zip archive
  }
  const Format* f = byname(fmt);
  MetaList meta;
  std::vector<FileRange> ranges;
  if (f && f->read) {
    ins.format = f->name;
    ins.formatdesc = f->desc;
    if (!f->read(data, meta, ranges, why)) {
      if (found != fmt) why = "not read as " + ins.formatdesc + ": " + why;
      return false;
    }
  } else if (!readxylib(path, data, fmt, ins.format, ins.formatdesc, meta, ranges, why)) {
    return false;
  }
  ins.meta = meta;
  return addranges(ranges, opt, ins, why);
}
