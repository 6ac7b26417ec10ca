#include <cmath>
#include <ostream>

#include "correct/corrections.h"
#include "text/console.h"

void normalize(MergedPattern& pattern, int end, std::ostream& con) {
  // past end nothing is normalised: the dialogue never writes index imax
  for (int k = 0; k < end; ++k) {
    double c = pattern.cts[k];
    double m = pattern.mon[k];
    if (m == 0) say(con, "HELP.  i, cts, mon = %d %f %f\n", k, c, m);
    // 0 / 0 at an index no scan reached: not a number, left for the writers
    pattern.inten[k] = static_cast<float>(normintensity(c, m));
    pattern.sigma[k] = static_cast<float>(normsigma(c, m));
  }
}
