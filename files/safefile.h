// Writing a file safely: a new or replaced regular file is written to a
// temporary file beside it, synced and renamed into place, so that its name
// holds the old file or the whole new one, never a part; and a scan is never
// written over.
#pragma once

#include <fstream>
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

// An output being written: to temp, put in place of target by commitfile;
// a name that is no regular file (a device, a FIFO) is written in place.
struct SafeFile {
  std::string target;  // the file temp replaces when kept; empty: written in place
  TempFile temp;       // before file: the stream is closed before it is removed
  std::ofstream file;  // binary: the writers choose their line ends
};

// Opens what the writer writes to; false where the name cannot be written.
// Everything the plain open would refuse is refused: a directory, a missing
// folder, a file without write permission.
bool openfile(SafeFile& out, const std::string& name);

// Closes the file and puts it in place of its name, with the mode of the
// file it replaces. false where it could not be written whole: the
// temporary file is removed and the old file of that name left as it was.
bool commitfile(SafeFile& out);

// A scan: a file merged in this run (scans), under any spelling or link, or
// any file whose line 14 names a tth column, which no output file has there.
bool isscan(const std::string& name, const std::vector<std::string>& scans);

// Writes text to name through a temporary file; false with the reason
// (strerror's words) in why where it could not be written whole.
bool replacefile(const std::string& name, const std::string& text, std::string& why);
