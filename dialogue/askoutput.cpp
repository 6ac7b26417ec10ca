#include <cstdio>
#include <filesystem>
#include <ostream>
#include <system_error>

#include "dialogue/dialogue.h"
#include "merge/console.h"
#include "merge/scanreader.h"

// after our headers: io.h declares a global open() that OutputFile::open
// would shadow
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

// A scan: a file merged in this run, under any spelling or link, or any file
// whose line 14 names a tth column, which no output file has there.
static bool isscan(const std::string& name, const std::vector<std::string>& scans) {
  std::error_code ec;
  for (const std::string& scan : scans)
    if (fs::equivalent(name, scan, ec)) return true;
  if (!fs::is_regular_file(name, ec)) return false;  // a FIFO is never read
  std::ifstream file(name, std::ios::in | std::ios::binary);
  if (!file.is_open()) return false;
  ScanBlock block(file, 14 * headerpiece);  // the header's 14 pieces at most
  std::ostream nowhere(nullptr);            // lines 11 and 12 are not echoed
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

// Opens what the writer writes to; false where the name cannot be written.
// Everything the plain open would refuse is refused: a directory, a missing
// folder, a file without write permission.
static bool openoutput(OutputFile& out) {
  std::error_code ec;
  fs::file_status st = fs::status(out.name, ec);
  fs::path target = out.name;
  if (fs::is_regular_file(st)) {
    // opened for appending, the file is left as it was
    std::FILE* probe = std::fopen(out.name.c_str(), "ab");
    if (!probe) return false;
    std::fclose(probe);
    target = fs::canonical(out.name, ec);  // a link's target is replaced, not the link
    if (ec) return false;
  } else if (st.type() != fs::file_type::not_found ||
             fs::symlink_status(out.name, ec).type() != fs::file_type::not_found ||
             isdevice(out.name)) {
    out.file.open(out.name, std::ios::out | std::ios::trunc | std::ios::binary);
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

OutputFile askoutput(const char* prompt, const std::vector<std::string>& scans, std::istream& in,
                     std::ostream& con) {
  OutputFile out;
  say(con, "%s", prompt);
  out.name = askline(in, con);
  if (in.bad()) {
    out.status = OutputFile::failed;
    return out;
  }
  if (out.name.empty()) return out;
  // a name with a NUL byte would be cut short there and name another file
  bool nul = out.name.find('\0') != std::string::npos;
  if (!nul && isscan(out.name, scans)) {
    say(con, "Won't overwrite scan file %s.  I die.\n", out.name.c_str());
    out.status = OutputFile::failed;
    return out;
  }
  // binary: the writers put CR LF themselves, on every platform
  if (nul || !openoutput(out)) {
    out.file.close();
    out.temp.drop();
    say(con, "Couldn't open file.  I die.\n");
    out.status = OutputFile::failed;
    return out;
  }
  out.status = OutputFile::open;
  return out;
}

// Puts the finished temporary file in place of the name, with the mode of
// the file it replaces.
static bool commit(OutputFile& out) {
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

bool keepoutput(OutputFile& out, bool written, std::istream& in, std::ostream& con) {
  if (out.status != OutputFile::open) return out.status == OutputFile::none;
  out.file.close();
  if (!in.bad() && written && !out.file.fail() && (out.target.empty() || commit(out))) return true;
  out.temp.drop();
  if (in.bad()) return false;  // askline has said so
  say(con, "Couldn't write file %s.  I die.\n", out.name.c_str());
  return false;
}
