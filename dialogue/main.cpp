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
#include "output/writers.h"
#include "text/console.h"

// Exit statuses: 1 normal end, 0 fatal condition, -1 "Range Error!".
static int run(MergedPattern& p, std::istream& in, std::ostream& con) {
  banner(con);
  std::vector<std::string> scans;  // merged in this run, never overwritten
  if (!readscans(p, scans, in, con)) return 0;
  summary(p, con);
  normalize(p, p.imax, con);
  if (eivcorrect(p, in, con) == EivStatus::rangeerror) return -1;
  if (in.bad()) return 0;  // the console failed at the EIV prompt

  // Each file is in place, complete, before the next is asked for, so a
  // later fatal answer leaves the earlier files complete; what a reader
  // would misread in it is told once it is complete, before the next prompt.
  FieldCounts fields;  // the misreads each writer counted in its file
  OutputFile xrs =
      askoutput("To get XRS82 output file with stdev, enter file name: ", scans, in, con);
  bool written = xrs.isopen() && writexrs82(p, xrs.file(), fields);
  if (!keepoutput(xrs, written, in, con)) return 0;
  if (written) warnmisfits(p, xrs.name, fields, nostepheader, con);
  OutputFile wyr = askoutput("To get Wyriet output file, enter file name: ", scans, in, con);
  written = wyr.isopen() && writewyriet(p, wyr.file(), fields);
  if (!keepoutput(wyr, written, in, con)) return 0;
  if (written) warnmisfits(p, wyr.name, fields, stepheader, con);
  OutputFile pro =
      askoutput("To get .PROFIN output file with weights, enter file name: ", scans, in, con);
  written = pro.isopen() && writeprofin(p, pro.file(), fields);
  if (!keepoutput(pro, written, in, con)) return 0;
  if (written) warnmisfits(p, pro.name, fields, stepheader, con);
  OutputFile gda =
      askoutput("To get .GDAT output file with weights, enter file name: ", scans, in, con);
  std::string title = gda.isopen() ? asktitle(in, con) : "";
  written = gda.isopen() && !in.bad() && writegdat(p, title, gda.file(), fields);
  if (!keepoutput(gda, written, in, con)) return 0;
  if (written) warnmisfits(p, gda.name, fields, nostepheader, con);
  return 1;
}

// Printed without allocating: the console's buffer is already there. The
// command line tells it on standard error and fails with 1.
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
  int status = 0;
  try {
    if (arguments)  // the same run fed from the command line
      status =
          commandline(*pattern, std::vector<std::string>(argv + 1, argv + argc), con, std::cerr);
    else
      status = run(*pattern, in, con);
  } catch (const std::bad_alloc&) {
    status = allocationerror(con, arguments);
  }
  return consolestatus(con, status, failed);
}
