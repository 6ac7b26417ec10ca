// scanmerge: merges powder diffraction step scans onto one 2theta grid,
// normalises them and writes them for refinement programs.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <vector>

#ifndef _WIN32
#include <signal.h>  // sigprocmask
#endif

#include "correct/corrections.h"
#include "dialogue/dialogue.h"
#include "files/process.h"
#include "output/fieldcheck.h"
#include "output/outputs.h"
#include "text/console.h"

// The dialogue; false where it ends early (stop: status 0 a fatal
// condition, -1 "Range Error!"). A whole run ends with 1.
static bool run(MergedPattern& p, std::istream& in, std::ostream& con, Stop& stop) {
  banner(con);
  std::vector<std::string> scans;  // merged in this run, never overwritten
  if (!readscans(p, scans, in, con, stop)) return false;
  summary(p, con);
  normalize(p, p.imax, con);
  if (!eivcorrect(p, in, con, stop)) return false;

  // Each file is in place, complete, before the next is asked for, so a
  // later fatal answer leaves the earlier files complete; what a reader
  // would misread in it is told once it is complete, before the next prompt.
  FieldCounts fields;  // the misreads each writer counted in its file
  for (int k = 0; k < dialogueoutputs; ++k) {
    OutputFile out;  // a file not kept goes with it
    if (!askoutput(outputkinds[k].prompt, scans, in, con, out, stop)) return false;
    if (!out.opened) continue;
    std::string title;  // the GDAT file's, asked for once it is opened
    if (k == gdatoutput && !asktitle(in, con, title, stop)) return false;
    bool written = writeformat(p, k, title, out.file(), fields);
    if (!keepoutput(out, written, stop)) return false;
    warnmisfits(p, out.name, fields, outputkinds[k].stepcheck, con);
  }
  return true;
}

// Says where a run stopped: the dialogue on the console, the command line
// on standard error; the one place a failure is told.
static int tell(const Stop& stop, std::ostream& con, bool commandline) {
  if (commandline)
    std::fputs(stop.text.c_str(), stderr);
  else
    con.write(stop.text.data(), static_cast<std::streamsize>(stop.text.size()));
  return stop.status;
}

// Where memory ran out. Said without allocating: the console's buffer is
// already there. The command line fails with 1.
static int allocationerror(std::ostream& con, bool commandline) {
  if (commandline) return std::fputs("scanmerge: allocation error\n", stderr), 1;
  con.write("allocation error\n", 17);
  con.flush();
  return 0;
}

// A console that could not be written (a full disk, a reader gone) is a
// failure whatever the run did: nobody has seen its messages. Said on
// standard error, after the run; failed is the run's status for a failure.
static int consolestatus(std::ostream& con, int status, int failed) {
  con.flush();
  if (con.good() && std::ferror(stdout) == 0) return status;
  std::fputs("scanmerge: couldn't write the console\n", stderr);
  return failed;
}

int main(int argc, char** argv) {
  const bool arguments = argc > 1;
  const int failed = arguments ? 1 : 0;  // the status of a failed run
  if (!openstandardstreams()) return failed;
  removetempsonsignals();
#ifdef SIGXFSZ
  std::signal(SIGXFSZ, SIG_IGN);  // a file-size limit is a write error, as a full disk is
#endif
#ifdef SIGPIPE
  std::signal(SIGPIPE, SIG_IGN);  // a reader gone is a console write error, not the end
#endif
#ifndef _WIN32
  // In the dialogue a closed terminal's hangup is held back: the console's
  // next read takes it for a read error, so the file being written is
  // dropped, not cut.
  sigset_t hangup;
  sigemptyset(&hangup);
  sigaddset(&hangup, SIGHUP);
  if (!arguments) sigprocmask(SIG_BLOCK, &hangup, nullptr);
#endif
  ConsoleBuf console(stdin);
  std::istream in(&console);
  std::ostream& con = std::cout;

  // calloc: no exception, which could not itself be had at such a limit
  std::unique_ptr<void, void (*)(void*)> storage(std::calloc(1, sizeof(MergedPattern)), std::free);
  if (!storage) return consolestatus(con, allocationerror(con, arguments), failed);
  MergedPattern* pattern = new (storage.get()) MergedPattern();
  // Any allocation that fails ends the run here; on the way, every output
  // file being written is closed and its temporary file removed.
  int status = arguments ? 0 : 1;  // a whole run's
  try {
    Stop stop;
    bool whole = arguments  // the same run fed from the command line
                     ? commandline(*pattern, std::vector<std::string>(argv + 1, argv + argc), con,
                                   std::cerr, stop)
                     : run(*pattern, in, con, stop);
    if (!whole) status = tell(stop, con, arguments);
  } catch (const std::bad_alloc&) {
    status = allocationerror(con, arguments);
  }
  return consolestatus(con, status, failed);
}
