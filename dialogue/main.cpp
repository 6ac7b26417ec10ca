// scanmerge: merges powder diffraction step scans onto one 2theta grid,
// normalises them and writes them for refinement programs.
#include <iostream>
#include <memory>
#include <new>

#include "correct/corrections.h"
#include "dialogue/dialogue.h"
#include "merge/console.h"
#include "output/fieldcheck.h"
#include "output/writers.h"

// Exit statuses: 1 normal end, 0 fatal condition, -1 "Range Error!".
int main() {
  std::ios::sync_with_stdio(false);
  std::istream& in = std::cin;
  std::ostream& con = std::cout;

  std::unique_ptr<MergedPattern> pattern(new (std::nothrow) MergedPattern());
  if (!pattern) {
    say(con, "allocation error\n");
    return 0;
  }
  MergedPattern& p = *pattern;

  banner(con);
  if (!readscans(p, in, con)) return 0;
  summary(p, con);
  normalize(p, con);
  if (eivcorrect(p, in, con) == EivStatus::rangeerror) return -1;

  // Each file is closed as soon as it is written, so a later fatal answer
  // leaves the earlier files complete; what a reader would misread in it
  // is told once it is complete, before the next prompt.
  OutputFile xrs = askoutput("To get XRS82 output file with stdev, enter file name: ", in, con);
  bool written = xrs.isopen() && writexrs82(p, xrs.file);
  if (!keepoutput(xrs, written, con)) return 0;
  if (written) warnmisfits(p, xrs.name, widexrs82(p), false, con);
  OutputFile wyr = askoutput("To get Wyriet output file, enter file name: ", in, con);
  written = wyr.isopen() && writewyriet(p, wyr.file);
  if (!keepoutput(wyr, written, con)) return 0;
  if (written) warnmisfits(p, wyr.name, widewyriet(p), true, con);
  OutputFile pro = askoutput("To get .PROFIN output file with weights, enter file name: ", in, con);
  written = pro.isopen() && writeprofin(p, pro.file);
  if (!keepoutput(pro, written, con)) return 0;
  if (written) warnmisfits(p, pro.name, wideprofin(p), true, con);
  OutputFile gda = askoutput("To get .GDAT output file with weights, enter file name: ", in, con);
  written = gda.isopen() && writegdat(p, gda.file, in, con);
  if (!keepoutput(gda, written, con)) return 0;
  if (written) warnmisfits(p, gda.name, widegdat(p), false, con);
  return 1;
}
