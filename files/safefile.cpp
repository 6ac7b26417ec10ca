#include "files/safefile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <system_error>

#include "merge/scanreader.h"

#ifdef _WIN32
#include <io.h>  // _commit, _fileno: fsync's counterpart
#else
#include <unistd.h>  // fsync
#endif

namespace fs = std::filesystem;

void TempFile::drop() {
  if (!name.empty()) std::remove(name.c_str());
  name.clear();
}

// Asks the system to put the file's data on the disk. The file is opened
// again by name, as the standard streams do not show their descriptor.
static bool syncfile(const std::string& name) {
  std::FILE* f = std::fopen(name.c_str(), "rb+");
  if (!f) return false;
#ifdef _WIN32
  bool synced = _commit(_fileno(f)) == 0;
#else
  bool synced = fsync(fileno(f)) == 0;
#endif
  return std::fclose(f) == 0 && synced;
}

// Makes a file that did not exist before, never through a link put there.
static bool createnew(const std::string& name) {
#ifdef _WIN32
  std::FILE* f = std::fopen(name.c_str(), "wb");
#else
  std::FILE* f = std::fopen(name.c_str(), "wbx");
#endif
  return f && std::fclose(f) == 0;
}

bool isscan(const std::string& name, const std::vector<std::string>& scans) {
  std::error_code ec;
  for (const std::string& scan : scans)
    if (fs::equivalent(name, scan, ec)) return true;
  if (!fs::is_regular_file(name, ec)) return false;  // a FIFO is never read
  std::ifstream file(name, std::ios::in | std::ios::binary);
  if (!file.is_open()) return false;
  ScanBlock block(file, headerlines * headerpiece);  // the header's pieces at most
  std::ostream nowhere(nullptr);                     // lines 11 and 12 are not echoed
  return readheader(block, nowhere).tth >= 0;
}

// Windows' devices (NUL, CON) open under their names but have no status; a
// name that opens though it is not found is one of them.
static bool isdevice(const std::string& name) {
  std::FILE* f = std::fopen(name.c_str(), "rb");
  if (!f) return false;
  std::fclose(f);
  return true;
}

bool openfile(SafeFile& out, const std::string& name) {
  std::error_code ec;
  fs::file_status st = fs::status(name, ec);
  fs::path target = name;
  if (fs::is_regular_file(st)) {
    // opened for appending, the file is left as it was
    std::FILE* probe = std::fopen(name.c_str(), "ab");
    if (!probe) return false;
    std::fclose(probe);
    target = fs::canonical(name, ec);  // a link's target is replaced, not the link
    if (ec) return false;
  } else if (st.type() != fs::file_type::not_found ||
             fs::symlink_status(name, ec).type() != fs::file_type::not_found || isdevice(name)) {
    out.file.open(name, std::ios::out | std::ios::trunc | std::ios::binary);
    return out.file.is_open();
  }
  // the temporary file sits beside the name, so the rename stays on one disk
  for (int k = 0; k < 100 && out.temp.name.empty(); ++k) {
    std::string temp = target.string() + ".tmp" + std::to_string(k);
    if (fs::symlink_status(temp, ec).type() != fs::file_type::not_found) continue;
    if (!createnew(temp)) return false;
    out.temp.name = temp;
  }
  if (out.temp.name.empty()) return false;
  // a private file stays private while it is written
  if (fs::is_regular_file(st))
    fs::permissions(out.temp.name,
                    st.permissions() | fs::perms::owner_read | fs::perms::owner_write, ec);
  out.target = target.string();
  out.file.open(out.temp.name, std::ios::out | std::ios::trunc | std::ios::binary);
  return out.file.is_open();
}

// Puts the finished temporary file in place of the name, with the mode of
// the file it replaces.
static bool commit(SafeFile& out) {
  if (!syncfile(out.temp.name)) return false;
  std::error_code ec;
  fs::file_status old = fs::status(out.target, ec);
  if (fs::exists(old)) {
    fs::permissions(out.temp.name, old.permissions(), ec);
    if (ec) return false;
  }
  fs::rename(out.temp.name, out.target, ec);
  if (ec) return false;
  out.temp.name.clear();
  return true;
}

bool commitfile(SafeFile& out) {
  out.file.close();
  if (!out.file.fail() && (out.target.empty() || commit(out))) return true;
  out.temp.drop();
  return false;
}

bool replacefile(const std::string& name, const std::string& text, std::string& why) {
  SafeFile out;
  errno = 0;
  if (!openfile(out, name)) {
    why = errno ? std::strerror(errno) : "cannot be written";
    out.temp.drop();
    return false;
  }
  out.file.write(text.data(), static_cast<std::streamsize>(text.size()));
  errno = 0;
  if (!commitfile(out)) {
    why = errno ? std::strerror(errno) : "cannot be written";
    return false;
  }
  return true;
}
