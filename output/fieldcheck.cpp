#include "output/fieldcheck.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <ostream>

#include "text/console.h"

// deg, as a reader takes the number back from its "%8.3f" text
static double readback(double value) {
  return std::strtod(format("%8.3f", value).c_str(), nullptr);
}

double headerstepoff(const MergedPattern& p) {
  if (p.imax < 1) return std::numeric_limits<double>::quiet_NaN();
  int k = p.imax - 1;
  double rebuilt = gridangle(readback(p.tthmin), readback(p.tthstep), k);
  double grid = gridangle(p, k);
  if (!std::isfinite(rebuilt) || !std::isfinite(grid))
    return std::numeric_limits<double>::quiet_NaN();
  return rebuilt - grid;
}

void warnmisfits(const MergedPattern& p, const std::string& name, const FieldCounts& counts,
                 bool stepcheck, std::ostream& con) {
  if (counts.wide > 0)
    say(con, "!!!!! Values wider than their columns in %s: %d\n", name.c_str(), counts.wide);
  if (counts.zerosigma > 0)
    say(con, "!!!!! Standard deviations written as 0.0 in %s: %d\n", name.c_str(),
        counts.zerosigma);
  if (!stepcheck) return;
  double off = headerstepoff(p);
  if (std::fabs(off) > 0.001)  // a NaN is no offset
    say(con, "!!!!! Header step %.3f of %s is not %.4f: last point off by %.3f deg.\n", p.tthstep,
        name.c_str(), p.tthstep, off);
}
