#include <ostream>

#include "dialogue/dialogue.h"
#include "files/safefile.h"
#include "merge/scanreader.h"
#include "text/console.h"

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
  if (!nul && isscan(out.name, scans, hasscanheader)) {
    say(con, "Won't overwrite scan file %s.  I die.\n", out.name.c_str());
    out.status = OutputFile::failed;
    return out;
  }
  // binary: the writers put CR LF themselves, on every platform
  if (nul || !openfile(out.safe, out.name)) {
    out.safe.file.close();
    out.safe.temp.drop();
    say(con, "Couldn't open file.  I die.\n");
    out.status = OutputFile::failed;
    return out;
  }
  out.status = OutputFile::opened;
  return out;
}

bool keepoutput(OutputFile& out, bool written, std::istream& in, std::ostream& con) {
  if (out.status != OutputFile::opened) return out.status == OutputFile::none;
  if (!in.bad() && written && commitfile(out.safe)) return true;
  out.safe.file.close();
  out.safe.temp.drop();
  if (in.bad()) return false;  // askline has said so
  say(con, "Couldn't write file %s.  I die.\n", out.name.c_str());
  return false;
}

std::string asktitle(std::istream& in, std::ostream& con) {
  say(con, "Enter title: ");
  return askline(in, con);
}
