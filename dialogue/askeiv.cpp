#include <istream>
#include <ostream>

#include "correct/corrections.h"
#include "dialogue/dialogue.h"
#include "text/console.h"

EivStatus eivcorrect(MergedPattern& pattern, std::istream& in, std::ostream& con) {
  EivGeometry g;
  for (;;) {
    say(con,
        "To apply EIV correction, enter : h(mm) L(mm) osc(deg). "
        "Otherwise, blank.\n");
    EivAnswer answer = readeiv(askline(in, con), g);
    if (answer == EivAnswer::blank) return EivStatus::done;
    if (answer == EivAnswer::ready) break;
    if (answer == EivAnswer::notthree)
      say(con, "Look, I need 3 numbers.\n");
    else
      say(con, "Look, I need h and osc not 0, and h no larger than L.\n");
  }
  return applyeiv(pattern, g, pattern.imax, con);
}
