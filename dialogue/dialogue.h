// The console dialogue's phases, in the order the run takes them.
#pragma once

#include <fstream>
#include <iosfwd>
#include <string>
#include <vector>

#include "correct/corrections.h"
#include "files/safefile.h"
#include "merge/merged_pattern.h"

// Where a run ends before its end: the status it ends with and what is
// said, whole lines. A phase that meets it returns false and fills it in;
// only the run's top level says it (the dialogue on the console, the
// command line on standard error), so nothing is said twice or out of turn.
struct Stop {
  int status = 0;
  std::string text;
};

// The dialogue's end where the console could not be read; false.
bool consolefailed(Stop& stop);

void banner(std::ostream& con);

// Asks for scan files by number until a blank name and merges each one,
// adding its name to scans. false where the run must end: a file starts
// below the grid or gave a read error, or the console failed.
bool readscans(MergedPattern& pattern, std::vector<std::string>& scans, std::istream& in,
               std::ostream& con, Stop& stop);

// Offers the EIV correction at the console, asking again until an answer is
// blank or usable, and applies it to the points the dialogue writes. false
// where the run must end: "Range Error!" (status -1), or the console failed.
bool eivcorrect(MergedPattern& pattern, std::istream& in, std::ostream& con, Stop& stop);

// Prints the summary line: the grid and its last angle.
void summary(const MergedPattern& pattern, std::ostream& con);

// An output the dialogue writes; its temporary file goes with it unless
// it is kept.
struct OutputFile {
  bool opened = false;  // false: a blank answer, no file wanted
  std::string name;     // as typed
  SafeFile safe;
  std::ostream& file() { return safe.file; }
};

// Asks for an output file's name and opens it. A regular file (new, or an
// existing one to be replaced) is written to a temporary file in the same
// folder; any other name (a device, a FIFO) is written in place. A scan is
// never opened: one merged in this run (scans) or one by its column line.
// false where the run must end: the name was refused, or the console failed.
bool askoutput(const char* prompt, const std::vector<std::string>& scans, std::istream& in,
               std::ostream& con, OutputFile& out, Stop& stop);

// Asks for the GDAT file's title (line 1). false where the console failed
// and the run must end.
bool asktitle(std::istream& in, std::ostream& con, std::string& title, Stop& stop);

// Closes a file its writer has filled (written: the writer saw no error) and
// puts a temporary file in place of its name. false where it could not be
// written: the run must end, the earlier file of that name left as it was.
bool keepoutput(OutputFile& out, bool written, Stop& stop);

// The run fed from the command line, "scanmerge [OPTIONS] SCAN...": the same
// phases, every answer given at once, everything checked before anything is
// written. Normal output (with --verbose) goes to out, the warnings to err.
// false where it ends early: stop holds 0 (--help, --version), 1 an input
// or output failed (nothing written) or 2 a usage error, and what to say on
// standard error.
bool commandline(MergedPattern& pattern, const std::vector<std::string>& args, std::ostream& out,
                 std::ostream& err, Stop& stop);
