#include "output/fieldcheck.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <ostream>

#include "output/textfile.h"
#include "text/console.h"

// value as the writers write it in "%<width>.<decimals>f" stays inside its
// width; nan, inf and -inf take at most four characters
static bool fits(double value, int width, int decimals) {
  static const double pow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
  // below this no rounding reaches another digit: most values stop here
  if (std::fabs(value) < pow10[width - decimals - 2] - 1.0) return true;
  char field[fieldroom];
  return realfield(field, value, width, decimals) <= width;
}

// an integer in "%7d": -999999 to 9999999; INT_MIN, the mark of a point
// without a value, takes eleven
static bool fits7(int value) { return value >= -999999 && value <= 9999999; }

static bool fits8(int value) { return value >= -9999999 && value <= 99999999; }

int widexrs82(const MergedPattern& p) {
  int wide = 0;
  for (int k = 0; k < p.imax; ++k) {
    wide += !fits(p.tthmin + k * p.tthstep, 8, 3);
    wide += !fits7(roundcount(p.cts[k]));
    wide += !fits(p.mon[k], 8, 1);
  }
  return wide;
}

// the three header numbers of the Wyriet and PROFIN files
static int wideheader(const MergedPattern& p, double last) {
  return !fits(p.tthmin, 8, 3) + !fits(p.tthstep, 8, 3) + !fits(last, 8, 3);
}

int widewyriet(const MergedPattern& p) {
  int wide = wideheader(p, p.tthmax);
  for (int k = 0; k < p.imax; ++k) wide += !fits7(roundcount(p.cts[k]));
  return wide;
}

int wideprofin(const MergedPattern& p) {
  int wide = wideheader(p, p.tthmax - p.tthstep);
  for (int k = 0; k < p.imax; ++k) {
    wide += !fits(p.cts[k], 8, 1);
    wide += !fits(p.mon[k], 8, 2);
  }
  return wide;
}

int widegdat(const MergedPattern& p) {
  int nlines = (p.imax - 1) / 5 + 1;
  int wide = !fits8(p.imax) + !fits8(nlines) + !fits(p.tthmin * 100, 10, 2) +
             !fits(p.tthstep * 100, 10, 2);
  for (int k = 0; k < p.imax; ++k) {
    wide += !fits(p.cts[k], 8, 1);
    wide += !fits(p.mon[k], 8, 1);
  }
  return wide;
}

// deg, as a reader takes the number back from its "%8.3f" text
static double readback(double value) {
  return std::strtod(format("%8.3f", value).c_str(), nullptr);
}

double headerstepoff(const MergedPattern& p) {
  if (p.imax < 1) return std::numeric_limits<double>::quiet_NaN();
  int k = p.imax - 1;
  double rebuilt = readback(p.tthmin) + k * readback(p.tthstep);
  double grid = p.tthmin + k * p.tthstep;
  if (!std::isfinite(rebuilt) || !std::isfinite(grid))
    return std::numeric_limits<double>::quiet_NaN();
  return rebuilt - grid;
}

void warnmisfits(const MergedPattern& p, const std::string& name, int wide, bool stepcheck,
                 std::ostream& con) {
  if (wide > 0) say(con, "!!!!! Values wider than their columns in %s: %d\n", name.c_str(), wide);
  if (!stepcheck) return;
  double off = headerstepoff(p);
  if (std::fabs(off) > 0.001)  // a NaN is no offset
    say(con, "!!!!! Header step %.3f of %s is not %.4f: last point off by %.3f deg.\n", p.tthstep,
        name.c_str(), p.tthstep, off);
}
