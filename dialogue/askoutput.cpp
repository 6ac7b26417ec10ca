#include <ostream>

#include "dialogue/dialogue.h"
#include "merge/console.h"

OutputFile askoutput(const char* prompt, std::istream& in, std::ostream& con) {
  OutputFile out;
  say(con, "%s", prompt);
  out.name = askline(in, con);
  if (out.name.empty()) return out;
  // binary: the writers put CR LF themselves, on every platform; a name
  // with a NUL byte would be cut short there and name another file
  if (out.name.find('\0') == std::string::npos)
    out.file.open(out.name, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!out.file.is_open()) {
    say(con, "Couldn't open file.  I die.\n");
    out.status = OutputFile::failed;
    return out;
  }
  out.status = OutputFile::open;
  return out;
}

bool keepoutput(OutputFile& out, bool written, std::ostream& con) {
  if (out.status != OutputFile::open) return out.status == OutputFile::none;
  out.file.close();
  if (written && !out.file.fail()) return true;
  say(con, "Couldn't write file %s.  I die.\n", out.name.c_str());
  return false;
}
