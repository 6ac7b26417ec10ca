// The console dialogue's phases, in the order the run takes them.
#pragma once

#include <fstream>
#include <iosfwd>
#include <string>
#include <vector>

#include "correct/corrections.h"
#include "files/safefile.h"
#include "merge/merged_pattern.h"

void banner(std::ostream& con);

// Asks for scan files by number until a blank name and merges each one,
// adding its name to scans. false where the run must end: a file ended it
// ("First file must contain lowest angle.") or the console failed.
bool readscans(MergedPattern& pattern, std::vector<std::string>& scans, std::istream& in,
               std::ostream& con);

// Offers the EIV correction at the console, asking again until an answer is
// blank or usable, and applies it to the points the dialogue writes.
EivStatus eivcorrect(MergedPattern& pattern, std::istream& in, std::ostream& con);

// Prints the summary line: the grid and its last angle.
void summary(const MergedPattern& pattern, std::ostream& con);

struct OutputFile {
  enum Status {
    none,    // blank answer: no file wanted
    opened,  // file is open, to be written
    failed,  // refused; the message is printed, the run must end
  } status = none;
  std::string name;  // as typed
  SafeFile safe;
  std::ostream& file() { return safe.file; }
  bool isopen() const { return status == opened; }
};

// Asks for an output file's name and opens it. A regular file (new, or an
// existing one to be replaced) is written to a temporary file in the same
// folder; any other name (a device, a FIFO) is written in place. A scan is
// never opened: one merged in this run (scans) or one by its column line.
OutputFile askoutput(const char* prompt, const std::vector<std::string>& scans, std::istream& in,
                     std::ostream& con);

// Asks for the GDAT file's title (line 1). in's badbit set: the console
// failed, and the run must end.
std::string asktitle(std::istream& in, std::ostream& con);

// Closes a file its writer has filled (written: the writer saw no error) and
// puts a temporary file in place of its name. false where the run must end:
// the file was refused, it could not be written (reported here, naming it,
// and the earlier file of that name left as it was), or the console failed
// while the writer asked for something.
bool keepoutput(OutputFile& out, bool written, std::istream& in, std::ostream& con);

// The run fed from the command line, "scanmerge [OPTIONS] SCAN...": the same
// phases, every answer given at once, everything checked before anything is
// written. Normal output (with --verbose) goes to out, the warnings and
// failures to err. Returns the exit status: 0 done, 1 an input or output
// failed (nothing written), 2 usage error.
int commandline(MergedPattern& pattern, const std::vector<std::string>& args, std::ostream& out,
                std::ostream& err);
