#include <istream>
#include <ostream>
#include <string>

#include "correct/corrections.h"
#include "dialogue/dialogue.h"
#include "text/console.h"

bool eivcorrect(MergedPattern& pattern, std::istream& in, std::ostream& con, Stop& stop) {
  EivGeometry g;
  for (;;) {
    say(con,
        "To apply EIV correction, enter : h(mm) L(mm) osc(deg). "
        "Otherwise, blank.\n");
    std::string typed;
    if (!askline(in, con, typed)) return consolefailed(stop);
    EivAnswer answer = readeiv(typed, g);
    if (answer == EivAnswer::blank) return true;
    if (answer == EivAnswer::ready) break;
    if (answer == EivAnswer::notthree)
      say(con, "Look, I need 3 numbers.\n");
    else
      say(con, "Look, I need h and osc not 0, and h no larger than L.\n");
  }
  if (applyeiv(pattern, g, pattern.imax)) return true;
  stop = {-1, "Range Error!\n"};
  return false;
}
