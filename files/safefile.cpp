#include "files/safefile.h"

#include <fcntl.h>     // open's flags
#include <sys/stat.h>  // file modes

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "files/process.h"
#ifdef _WIN32
#include <io.h>       // _open, _write, _commit, _close
#include <process.h>  // _getpid
#else
#include <unistd.h>  // write, fsync, close, pathconf, getpid
#endif

namespace fs = std::filesystem;

#ifdef _WIN32
static int closefd(int fd) { return _close(fd); }
static int processid() { return _getpid(); }
const char* const separators = "/\\";
#else
static int closefd(int fd) { return ::close(fd); }
static int processid() { return static_cast<int>(getpid()); }
const char* const separators = "/";
#endif

constexpr size_t piecesize = 16384;  // bytes written at a time

void TempFile::drop() {
  if (name.empty()) return;
  std::remove(name.c_str());
  lettemp(name);
  name.clear();
}

FdBuf::FdBuf(FdBuf&& other) noexcept
    : std::streambuf(other),
      desc(other.desc),
      broken(other.broken),
      error(other.error),
      piece(std::move(other.piece)) {
  other.desc = -1;
  other.setp(nullptr, nullptr);
}

FdBuf::~FdBuf() { close(); }

void FdBuf::open(int descriptor) {
  close();
  if (!piece) piece.reset(new char[piecesize]);
  desc = descriptor;
  broken = false;
  error = 0;
  setp(piece.get(), piece.get() + piecesize);
}

bool FdBuf::drain() {
  const char* from = pbase();
  size_t left = static_cast<size_t>(pptr() - pbase());
  while (left > 0 && !broken) {
#ifdef _WIN32
    const int n = _write(desc, from, static_cast<unsigned>(left));
#else
    const ssize_t n = ::write(desc, from, left);
#endif
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      broken = true;
      error = n < 0 ? errno : ENOSPC;  // nothing taken: the disk is full
      break;
    }
    from += n;
    left -= static_cast<size_t>(n);
  }
  setp(pbase(), epptr());
  return !broken;
}

FdBuf::int_type FdBuf::overflow(int_type ch) {
  if (desc < 0 || !drain()) return traits_type::eof();
  if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
  *pptr() = traits_type::to_char_type(ch);
  pbump(1);
  return ch;
}

int FdBuf::sync() { return desc >= 0 && drain() ? 0 : -1; }

bool FdBuf::close() {
  if (desc < 0) return true;
  bool ok = drain();
  if (closefd(desc) != 0) {
    if (ok) error = errno;
    ok = false;
  }
  desc = -1;
  setp(nullptr, nullptr);
  piece.reset();  // a closed file waiting to be put in place holds no buffer
  return ok;
}

FdStream::FdStream(FdStream&& other) noexcept
    : std::ostream(std::move(other)), buf(std::move(other.buf)) {
  if (other.rdbuf() == &other.buf) set_rdbuf(&buf);
}

FdStream::~FdStream() = default;

void FdStream::open(int descriptor) {
  buf.open(descriptor);
  rdbuf(&buf);  // clears the state
}

void FdStream::close() {
  if (!buf.close()) setstate(std::ios::failbit);
}

// A regular file that looksscan takes for a scan; a FIFO is never read.
static bool readsasscan(const std::string& name, ScanTest looksscan) {
  std::error_code ec;
  if (!fs::is_regular_file(name, ec)) return false;
  std::ifstream file(name, std::ios::in | std::ios::binary);
  return file.is_open() && looksscan(file);
}

bool isscan(const std::string& name, const std::vector<std::string>& scans, ScanTest looksscan) {
  std::error_code ec;
  for (const std::string& scan : scans)
    if (fs::equivalent(name, scan, ec)) return true;
  return readsasscan(name, looksscan);
}

bool isscan(const std::string& name, const std::vector<std::string>& scans,
            const std::vector<Inode>& ids, ScanTest looksscan) {
  bool known = ids.size() == scans.size();
  for (const Inode& id : ids) known = known && id.known;
  if (!known) return isscan(name, scans, looksscan);
#ifndef _WIN32
  struct stat st;
  if (stat(name.c_str(), &st) == 0)
    for (const Inode& id : ids)
      if (id.dev == static_cast<unsigned long long>(st.st_dev) &&
          id.ino == static_cast<unsigned long long>(st.st_ino))
        return true;
#endif
  return readsasscan(name, looksscan);
}

std::string finaltarget(const std::string& name) {
  std::error_code ec;
  fs::path p = fs::absolute(name, ec);
  if (ec) return name;
  for (int hops = 0; hops < 40; ++hops) {  // Linux's limit on links followed
    const fs::path folder = fs::weakly_canonical(p.parent_path(), ec);
    if (ec) return p.lexically_normal().string();
    p = folder / p.filename();
    if (!fs::is_symlink(fs::symlink_status(p, ec))) break;
    const fs::path to = fs::read_symlink(p, ec);
    if (ec) break;
    p = to.is_absolute() ? to : folder / to;
  }
  const fs::path end = fs::weakly_canonical(p, ec);
  return ec ? p.lexically_normal().string() : end.string();
}

std::string notplaced(const std::vector<SafeFile*>& files, const std::vector<std::string>& names,
                      int error) {
  std::string why = "cannot be written";
  if (error != 0) why += std::string(": ") + std::strerror(error);
  std::string isnew, old;
  for (size_t k = 0; k < files.size(); ++k) {
    std::string& list = files[k]->placed ? isnew : old;
    list += (list.empty() ? "" : ", ") + names[k];
  }
  if (isnew.empty()) return why + "; nothing written";
  return why + "; new: " + isnew + "; as they were: " + old;
}

// The folder part of a name, with its last separator: "" for a bare name.
static std::string folderof(const std::string& name) {
  const size_t cut = name.find_last_of(separators);
  return cut == std::string::npos ? std::string() : name.substr(0, cut + 1);
}

// Whether the plain open could write the existing file; it is left as it
// was (not created, not truncated, and a FIFO put there does not block).
static bool canwrite(const std::string& name) {
#ifdef _WIN32
  const int fd = _open(name.c_str(), _O_WRONLY | _O_BINARY);
#else
  const int fd = ::open(name.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
#endif
  return fd >= 0 && closefd(fd) == 0;
}

// Opens a name that is no regular file (a device, a FIFO) to be written in
// place; never a regular file, not even one put there meanwhile.
static bool openinplace(SafeFile& out, const std::string& name) {
#ifdef _WIN32
  const int fd = _open(name.c_str(), _O_WRONLY | _O_BINARY);
  if (fd < 0) return false;
#else
  const int fd = ::open(name.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISREG(st.st_mode)) {
    closefd(fd);
    errno = EEXIST;
    return false;
  }
#endif
  out.file.open(fd);
  return true;
}

// Windows' devices (NUL, CON) open under their names but have no status; a
// name that opens though it is not found is one of them.
static bool isdevice(const std::string& name) {
#ifdef _WIN32
  std::FILE* f = std::fopen(name.c_str(), "rb");
  if (!f) return false;
  std::fclose(f);
  return true;
#else
  (void)name;
  return false;
#endif
}

// Follows a symbolic link, and the links it leads to, to the name at the
// end, which is not there yet; false where there is no such end.
static bool linkend(std::string& name) {
  std::error_code ec;
  for (int hops = 0; hops < 40; ++hops) {  // Linux's limit on links followed
    const fs::path to = fs::read_symlink(name, ec);
    if (ec) return false;
    name = to.is_absolute() ? to.string() : folderof(name) + to.string();
    const fs::file_type type = fs::symlink_status(name, ec).type();
    if (type == fs::file_type::not_found) return true;
    if (type != fs::file_type::symlink) {  // a file made meanwhile, or no status
      errno = ec ? ec.value() : EEXIST;
      return false;
    }
  }
  errno = ELOOP;
  return false;
}

// The mode the plain open gives a new file: 0666 less the umask, which can
// only be read by setting it (for that moment to the most private one).
static unsigned newmode() {
#ifdef _WIN32
  return 0666;
#else
  const mode_t mask = umask(077);
  umask(mask);
  return 0666u & ~static_cast<unsigned>(mask);
#endif
}

// The longest file name the folder takes, in bytes.
static size_t namemax(const std::string& folder) {
#ifdef _WIN32
  (void)folder;
  return 255;
#else
  const long n = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  return n > 0 ? static_cast<size_t>(n) : 255;
#endif
}

// Eight letters from [0-9a-z] (41 bits); state moves on for each letter
// (splitmix64).
static std::string randomletters(std::uint64_t& state) {
  std::string letters;
  for (int k = 0; k < 8; ++k) {
    std::uint64_t z = state += 0x9e3779b97f4a7c15u;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    z ^= z >> 31;
    letters += "0123456789abcdefghijklmnopqrstuvwxyz"[z % 36];
  }
  return letters;
}

// Makes the temporary file for target beside it (so the rename stays on
// one disk): TARGET.tmpXXXXXXXX, the target's part cut to fit the folder's
// name limit, the letters drawn afresh while a name is taken (a run killed
// earlier leaves its file). Made exclusively, never through a link, private
// (0600) until it is put in place. Gives its descriptor, or -1 with errno.
static int maketemp(const std::string& target, std::string& temp) {
  const std::string folder = folderof(target);
  std::string base = target.substr(folder.size());
  const size_t limit = namemax(folder);
  const size_t tail = 12;  // ".tmp" and eight letters
  if (base.size() > limit || limit <= tail) {
    errno = ENAMETOOLONG;
    return -1;
  }
  size_t keep = std::min(base.size(), limit - tail);
  // not in the middle of a UTF-8 character
  while (keep > 0 && keep < base.size() && (static_cast<unsigned char>(base[keep]) & 0xC0) == 0x80)
    --keep;
  base.resize(keep);
  // unforeseeable enough that nobody can take every name first: the time,
  // the process and where its stack lies
  std::uint64_t state =
      static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) ^
      (static_cast<std::uint64_t>(processid()) << 40) ^ reinterpret_cast<std::uintptr_t>(&state);
  for (int tries = 0; tries < 100; ++tries) {
    temp = folder + base + ".tmp" + randomletters(state);
#ifdef _WIN32
    const int fd = _open(temp.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                         _S_IREAD | _S_IWRITE);
#else
    const int fd =
        ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC,
               S_IRUSR | S_IWUSR);
#endif
    if (fd >= 0) return fd;
    if (errno != EEXIST) break;
  }
  temp.clear();
  return -1;
}

bool openfile(SafeFile& out, const std::string& name) {
  out.file.close();  // a SafeFile used before starts afresh
  out.temp.drop();
  out.target.clear();
  out.placed = false;
  std::error_code ec;
  const fs::file_status st = fs::status(name, ec);
  std::string target = name;
  if (fs::is_regular_file(st)) {
    if (!canwrite(name)) return false;
    target = fs::canonical(name, ec).string();  // a link's target is replaced, not the link
    if (ec) return false;
    out.mode = static_cast<unsigned>(st.permissions() & fs::perms::mask);
  } else if (st.type() == fs::file_type::not_found) {
    // a link to a file not there yet: that file is made, whole
    if (fs::is_symlink(fs::symlink_status(name, ec)) && !linkend(target)) return false;
    if (isdevice(name)) return openinplace(out, name);
    out.mode = newmode();
  } else if (st.type() == fs::file_type::none || st.type() == fs::file_type::unknown) {
    errno = ec ? ec.value() : EINVAL;  // no status: a name too long, a loop of links
    return false;
  } else {
    return openinplace(out, name);
  }
  std::string temp;
  const int fd = maketemp(target, temp);
  if (fd < 0) return false;
  holdtemp(temp);
  out.temp.name = temp;
  out.target = target;
  out.file.open(fd);
  return true;
}

#ifndef _WIN32
// Whether name is, now, the file open as fd: not a link or another file
// put there since.
static bool isopenas(int fd, const std::string& name) {
  struct stat open, named;
  return fstat(fd, &open) == 0 && lstat(name.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
         open.st_ino == named.st_ino;
}

// The same for the file out writes, open or set aside (then known by its
// device and inode).
static bool isours(const SafeFile& out, const std::string& name) {
  if (!out.aside) return isopenas(out.file.fd(), name);
  struct stat named;
  return lstat(name.c_str(), &named) == 0 &&
         static_cast<unsigned long long>(named.st_dev) == out.dev &&
         static_cast<unsigned long long>(named.st_ino) == out.ino;
}
#endif

// Writes out what is buffered and puts it on the disk, with the mode the
// file gets; a file written in place is closed.
static bool finish(SafeFile& out) {
  if (out.aside) return true;
  if (!out.file.is_open()) return false;
  out.file.flush();
  if (!out.file.good()) {
    if (out.file.failure() != 0) errno = out.file.failure();
    return false;
  }
  if (out.target.empty()) {
    out.file.close();
    if (out.file.fail() && out.file.failure() != 0) errno = out.file.failure();
    return !out.file.fail();
  }
  const int fd = out.file.fd();
#ifdef _WIN32
  if (_commit(fd) != 0) return false;
  out.file.close();  // Windows renames no open file
  return !out.file.fail();
#else
  return fchmod(fd, static_cast<mode_t>(out.mode)) == 0 && fsync(fd) == 0;
#endif
}

// Renames a finished file into place, the last step.
static bool place(SafeFile& out) {
  if (out.target.empty()) return true;
#ifdef _WIN32
  std::error_code ec;
  fs::rename(out.temp.name, out.target, ec);
  if (ec) return false;
  out.temp.name.clear();
  return true;
#else
  // the name still holds our file, not a link someone put in its place
  if (!isours(out, out.temp.name)) {
    errno = EEXIST;
    return false;
  }
  if (std::rename(out.temp.name.c_str(), out.target.c_str()) != 0) return false;
  lettemp(out.temp.name);
  out.temp.name.clear();
  // swapped in the instant before the rename: what it put there goes too
  const bool ours = isours(out, out.target);
  if (!ours) ::unlink(out.target.c_str());
  out.file.close();
  if (!ours) errno = EEXIST;
  return ours && !out.file.fail();
#endif
}

// Whether the rename can put out in place, asked before any file of a run
// is renamed: the target is no folder and lies on the temporary file's
// disk, and its folder lets this user replace it (write permission; in a
// sticky folder, such as /tmp, owning the file or the folder). false with
// errno where it cannot.
static bool canreplace(const SafeFile& out) {
#ifndef _WIN32
  if (out.target.empty()) return true;
  const std::string folder = folderof(out.target);
  const char* const dir = folder.empty() ? "." : folder.c_str();
  struct stat d, t, temp;
  if (stat(dir, &d) != 0 || faccessat(AT_FDCWD, dir, W_OK | X_OK, AT_EACCESS) != 0) return false;
  if (lstat(out.target.c_str(), &t) != 0) return errno == ENOENT;  // a new name
  if (S_ISDIR(t.st_mode)) return errno = EISDIR, false;
  if (lstat(out.temp.name.c_str(), &temp) != 0) return false;
  if (t.st_dev != temp.st_dev) return errno = EXDEV, false;  // a file mounted there
  const uid_t me = geteuid();
  if ((d.st_mode & S_ISVTX) && me != 0 && t.st_uid != me && d.st_uid != me)
    return errno = EPERM, false;
#else
  (void)out;
#endif
  return true;
}

// A file not put in place: its temporary file goes, errno stays.
static void abandon(SafeFile& out) {
  const int error = errno;
  out.file.close();
  out.temp.drop();
  errno = error;
}

bool commitfile(SafeFile& out) {
  if (finish(out) && place(out)) return true;
  abandon(out);
  return false;
}

static size_t syncaside(const std::vector<SafeFile*>& files);

size_t commitfiles(const std::vector<SafeFile*>& files) {
  const size_t n = files.size();
  errno = 0;
  size_t failed = syncaside(files);
  size_t dropfrom = 0;  // the first not in place where one failed
  for (size_t k = 0; k < n && failed == n; ++k)
    if (!finish(*files[k])) failed = k;
  for (size_t k = 0; k < n && failed == n; ++k)
    if (!canreplace(*files[k])) failed = k;
  for (size_t k = 0; k < n && failed == n; ++k)
    if (!place(*files[k])) failed = dropfrom = k;
  for (size_t k = 0; k < (failed < n ? dropfrom : n); ++k) files[k]->placed = true;
  if (failed < n)
    for (size_t k = dropfrom; k < n; ++k) abandon(*files[k]);
  return failed;
}

// Files set aside: written out and closed at once, synced together and
// put in place by name when the run ends.

bool setaside(SafeFile& out) {
  bool ok = out.file.is_open();
  if (ok) out.file.flush();
  ok = ok && out.file.good();
#ifdef _WIN32
  ok = ok && finish(out);  // committed and closed
#else
  struct stat st;
  if (ok && !out.target.empty()) {
    const int fd = out.file.fd();
    ok = fchmod(fd, static_cast<mode_t>(out.mode)) == 0 && fstat(fd, &st) == 0;
    out.dev = static_cast<unsigned long long>(st.st_dev);
    out.ino = static_cast<unsigned long long>(st.st_ino);
  }
  out.file.close();
  ok = ok && !out.file.fail();
#endif
  if (!ok) {
    if (out.file.failure() != 0) errno = out.file.failure();  // the write's reason
    abandon(out);
    return false;
  }
  out.aside = true;
  return true;
}

// Puts the files set aside on the disk before any is put in place: one
// sync of each filesystem they are on (Linux; thousands of fsyncs take
// seconds), elsewhere each file's. Gives files.size(), or the index of the
// first that could not be synced.
static size_t syncaside(const std::vector<SafeFile*>& files) {
#ifndef _WIN32
  std::vector<unsigned long long> synced;  // the filesystems' devices
  for (size_t k = 0; k < files.size(); ++k) {
    const SafeFile& f = *files[k];
    if (!f.aside || f.target.empty()) continue;
#ifdef __linux__
    if (std::find(synced.begin(), synced.end(), f.dev) != synced.end()) continue;
#endif
    const int fd = ::open(f.temp.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
#ifdef __linux__
    bool ok = fd >= 0 && syncfs(fd) == 0;
#else
    bool ok = fd >= 0 && fsync(fd) == 0;
#endif
    if (fd >= 0) closefd(fd);
    if (!ok) return k;
    synced.push_back(f.dev);
  }
#endif
  return files.size();
}
