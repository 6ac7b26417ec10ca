#include <ostream>

#include "dialogue/dialogue.h"
#include "files/safefile.h"
#include "merge/scanreader.h"
#include "text/console.h"

bool askoutput(const char* prompt, const std::vector<std::string>& scans, std::istream& in,
               std::ostream& con, OutputFile& out, Stop& stop) {
  say(con, "%s", prompt);
  if (!askline(in, con, out.name)) return consolefailed(stop);
  if (out.name.empty()) return true;
  // a name with a NUL byte would be cut short there and name another file
  bool nul = out.name.find('\0') != std::string::npos;
  if (!nul && isscan(out.name, scans, hasscanheader)) {
    stop = {0, format("Won't overwrite scan file %s.  I die.\n", out.name.c_str())};
    return false;
  }
  // binary: the writers put CR LF themselves, on every platform
  if (nul || !openfile(out.safe, out.name)) {
    stop = {0, "Couldn't open file.  I die.\n"};
    return false;
  }
  out.opened = true;
  return true;
}

bool keepoutput(OutputFile& out, bool written, Stop& stop) {
  if (written && commitfile(out.safe)) return true;
  stop = {0, format("Couldn't write file %s.  I die.\n", out.name.c_str())};
  return false;
}

bool asktitle(std::istream& in, std::ostream& con, std::string& title, Stop& stop) {
  say(con, "Enter title: ");
  return askline(in, con, title) || consolefailed(stop);
}
