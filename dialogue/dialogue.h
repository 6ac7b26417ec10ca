// The console dialogue's phases, in the order the run takes them.
#pragma once

#include <fstream>
#include <iosfwd>
#include <string>

#include "merge/merged_pattern.h"

void banner(std::ostream& con);

// Asks for scan files by number until a blank name and merges each one.
// false where a file ended the run ("First file must contain lowest angle.").
bool readscans(MergedPattern& pattern, std::istream& in, std::ostream& con);

// Sets tthmax and prints the summary line.
void summary(MergedPattern& pattern, std::ostream& con);

struct OutputFile {
  enum Status {
    none,     // blank answer: no file wanted
    open,     // file is open, created or emptied
    failed,   // could not be opened; the message is printed, the run must end
  } status = none;
  std::string name;
  std::ofstream file;
  bool isopen() const { return status == open; }
};

OutputFile askoutput(const char* prompt, std::istream& in, std::ostream& con);

// Closes a file its writer has filled (written: the writer saw no error).
// false where the run must end: the file could not be opened, or it could
// not be written, which is reported here naming the file.
bool keepoutput(OutputFile& out, bool written, std::ostream& con);
