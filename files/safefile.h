// Writing a file safely: a new or replaced regular file is written to a
// temporary file beside it, synced and renamed into place, so that its name
// holds the old file or the whole new one, never a part; and a scan is never
// written over.
#pragma once

#include <cstddef>
#include <istream>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

// A file that is removed when its holder goes, unless it was let go.
struct TempFile {
  std::string name;  // empty: none
  TempFile() = default;
  TempFile(TempFile&& other) noexcept : name(std::move(other.name)) { other.name.clear(); }
  TempFile& operator=(TempFile&&) = delete;
  ~TempFile() { drop(); }
  void drop();  // removes the file now
};

// Writes to a file descriptor it owns, through a buffer on the heap (the
// stack may be small).
class FdBuf : public std::streambuf {
 public:
  FdBuf() = default;
  FdBuf(FdBuf&& other) noexcept;
  FdBuf& operator=(FdBuf&&) = delete;
  ~FdBuf() override;  // out of line: the vtable has one home (MinGW links LTO so)
  void open(int descriptor);
  bool close();  // writes what is buffered and closes; false where either failed
  int fd() const { return desc; }
  int failure() const { return error; }  // errno of the write or close that failed; 0: none

 protected:
  int_type overflow(int_type ch) override;
  int sync() override;

 private:
  bool drain();  // writes what is buffered
  int desc = -1;
  bool broken = false;  // a write failed: nothing more is written
  int error = 0;        // errno of that write
  std::unique_ptr<char[]> piece;
};

// An output stream over a descriptor it owns, as std::ofstream is over a
// name: failbit or badbit once anything could not be written.
class FdStream : public std::ostream {
 public:
  FdStream() : std::ostream(nullptr) {}  // badbit until opened
  FdStream(FdStream&& other) noexcept;
  FdStream& operator=(FdStream&&) = delete;
  ~FdStream() override;
  void open(int descriptor);
  bool is_open() const { return buf.fd() >= 0; }
  int fd() const { return buf.fd(); }
  int failure() const { return buf.failure(); }  // errno of what could not be written; 0: none
  void close();  // failbit where what was buffered could not be written

 private:
  FdBuf buf;
};

// An output being written: to temp, put in place of target by commitfile;
// a name that is no regular file (a device, a FIFO) is written in place.
struct SafeFile {
  // put in place by commitfiles (the new file holds its name)
  bool placed = false;
  std::string target;  // the file temp replaces when kept; empty: written in place
  TempFile temp;       // before file: the descriptor is closed before the file is removed
  FdStream file;       // binary: the writers choose their line ends
  unsigned mode = 0;   // what the file gets when put in place: the old file's, or a new one's
  // set aside: written out, synced and closed, to be put in place by name
  bool aside = false;
  unsigned long long dev = 0, ino = 0;  // the temporary file's, once set aside
};

// Opens what the writer writes to; false where the name cannot be written.
// Everything the plain open would refuse is refused: a directory, a missing
// folder, a file without write permission, a name too long. A symbolic link
// to a file that is not there yet makes that file, whole, at the link's end.
// The temporary file is made once, exclusively, never through a link, and
// private until it is put in place; every later step goes through the
// descriptor opened then.
bool openfile(SafeFile& out, const std::string& name);

// Closes the file and puts it in place of its name, with the mode of the
// file it replaces. false where it could not be written whole: the
// temporary file is removed and the old file of that name left as it was.
bool commitfile(SafeFile& out);

// Several files that appear together: each is written out and synced, and
// each target is checked to be one the rename can replace (see canreplace
// in safefile.cpp); only then all are put in place, in order. Gives
// files.size() where all are in place, else the index of the first that
// failed, with errno (0 where no call said why): where it could not be
// written whole (a full disk) or replaced, none is in place; where its
// rename still failed, those before it are (placed tells). The temporary
// files of those not in place are removed; the old files of their names
// stay as they were.
size_t commitfiles(const std::vector<SafeFile*>& files);

// Writes the file out, syncs and closes it, so that a run can keep many
// files waiting without a descriptor or a buffer each; commitfiles puts it
// in place later by name, only where its temporary name still holds it.
// false where it could not be written whole: the temporary file is removed.
bool setaside(SafeFile& out);

// Whether a regular file, open on file, reads as a scan (its header, say).
using ScanTest = bool (*)(std::istream& file);

// A scan: a file merged in this run (scans), under any spelling or link, or
// a regular file that looksscan takes for one.
bool isscan(const std::string& name, const std::vector<std::string>& scans, ScanTest looksscan);

// What tells one file from another where the system gives it (POSIX): its
// device and inode, as stat gives them through every link.
struct Inode {
  bool known = false;  // false: none to be had (Windows), compare the names
  unsigned long long dev = 0, ino = 0;
};

// The same for a run that asks it of several names: the scans known by
// their ids as well, each taken once, so each name costs one stat, not two
// for every scan. Where an id is not known the names are compared.
bool isscan(const std::string& name, const std::vector<std::string>& scans,
            const std::vector<Inode>& ids, ScanTest looksscan);

// What to say where commitfiles failed, after the name of the file that
// failed: the system's reason (error: its errno, or 0) and "nothing
// written", or where a rename failed after others, which files (names, one
// for each of files) are new and which are as they were.
std::string notplaced(const std::vector<SafeFile*>& files, const std::vector<std::string>& names,
                      int error);

// The file a name leads to, as a full path: every link followed to its end,
// whether or not a file is there yet. Two outputs are one file where these
// are equal.
std::string finaltarget(const std::string& name);
