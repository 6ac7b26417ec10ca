#include "output/fieldcheck.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <sstream>
#include <string>

namespace {

std::unique_ptr<MergedPattern> grid(double tthmin, int steps, int imax) {
  std::unique_ptr<MergedPattern> p(new MergedPattern());
  p->tthmin = tthmin;
  p->tthstep = steps * 0.0001;  // as the first two rows of file 1 give it
  p->imax = imax;
  p->tthmax = tthmin + imax * p->tthstep;
  return p;
}

std::string told(const MergedPattern& p, const char* name, int wide, bool stepcheck) {
  std::ostringstream con;
  warnmisfits(p, name, wide, stepcheck, con);
  return con.str();
}

}  // namespace

// Each file's fields, counted by hand: intensities and sigmas after
// normalising, a point no scan reached (nan) and a negative intensity.
TEST(WideFields, CountedPerFile) {
  auto p = grid(10.0, 200, 5);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float cts[] = {1500000.0f, 20000000.0f, -100000.0f, nan, 999999.9375f};
  const float mon[] = {38729.832f, 141421.36f, 100000.0f, 1.0f, 1000.0f};
  for (int k = 0; k < 5; ++k) {
    p->cts[k] = cts[k];
    p->mon[k] = mon[k];
  }
  p->cts[5] = 1e30f;  // index imax is never written
  p->mon[5] = 1e30f;
  // %7d: 20000000 and -2147483648; the sigmas fit %8.1f
  EXPECT_EQ(widexrs82(*p), 2);
  EXPECT_EQ(widewyriet(*p), 2);
  // %8.1f: 1500000.0, 20000000.0, -100000.0 (999999.9 fits);
  // %8.2f: 141421.36 and 100000.00
  EXPECT_EQ(wideprofin(*p), 5);
  // %8.1f for both: the three intensities
  EXPECT_EQ(widegdat(*p), 3);

  p->cts[4] = 1000000.0f;  // 1000000.0: nine characters
  EXPECT_EQ(wideprofin(*p), 6);
  EXPECT_EQ(widegdat(*p), 4);
  EXPECT_EQ(widexrs82(*p), 2);  // 1000000 fits seven
}

TEST(WideFields, HeaderNumbers) {
  auto p = grid(-1000.0, 10000, 0);  // " -1000.000" and "   1.000"
  EXPECT_EQ(widexrs82(*p), 0);       // no points, no fields
  EXPECT_EQ(widewyriet(*p), 2);      // tthmin and tthmax
  EXPECT_EQ(wideprofin(*p), 2);      // tthmin and tthmax - tthstep
  EXPECT_EQ(widegdat(*p), 0);        // -100000.00 fits ten
  p->tthmin = 9999.9994;             // rounds to 9999.999: fits
  p->tthmax = 9999.9996;             // rounds to 10000.000: does not
  EXPECT_EQ(widewyriet(*p), 1);
}

// A reader rebuilds angle k as tthmin + k * tthstep from the header's
// three-decimal numbers; the last point written is k = imax - 1.
TEST(HeaderStep, ThreeDecimalsPutTheLastPointOff) {
  // 0.0125 is written 0.013: 0.0005 deg a step, 2000 steps 1.000 deg
  auto p = grid(10.0, 125, 2001);
  EXPECT_NEAR(headerstepoff(*p), 1.0, 1e-9);
  EXPECT_EQ(told(*p, "a.wyr", 0, true),
            "!!!!! Header step 0.013 of a.wyr is not 0.0125: last point off by 1.000 deg.\n");
  // 0.0156 is written 0.016: 1234 steps of 0.0004 deg are 0.4936 deg
  p = grid(5.0, 156, 1235);
  EXPECT_EQ(told(*p, "b.pro", 0, true),
            "!!!!! Header step 0.016 of b.pro is not 0.0156: last point off by 0.494 deg.\n");
  // a falling scan: -0.0125 is written -0.013
  p = grid(40.0, -125, 2001);
  EXPECT_EQ(told(*p, "c.pro", 0, true),
            "!!!!! Header step -0.013 of c.pro is not -0.0125: last point off by -1.000 deg.\n");
  // both lines, the wide values first
  p = grid(10.0, 125, 2001);
  EXPECT_EQ(told(*p, "d.pro", 7, true),
            "!!!!! Values wider than their columns in d.pro: 7\n"
            "!!!!! Header step 0.013 of d.pro is not 0.0125: last point off by 1.000 deg.\n");
  // the same grid in an XRS82 or GDAT file: angles or centidegrees, no step line
  EXPECT_EQ(told(*p, "d.gda", 0, false), "");
}

TEST(HeaderStep, RoundStepsAndSmallOffsetsSayNothing) {
  for (int steps : {100, 200, 500}) {
    auto p = grid(5.0, steps, 1450000 / steps + 1);  // up to 150 deg
    EXPECT_LT(std::fabs(headerstepoff(*p)), 1e-9) << steps;
    EXPECT_EQ(told(*p, "a.wyr", 0, true), "") << steps;
  }
  // 0.0125 over four steps: 0.002 deg; over two: 0.001, not more
  EXPECT_EQ(told(*grid(10.0, 125, 5), "a.wyr", 0, true),
            "!!!!! Header step 0.013 of a.wyr is not 0.0125: last point off by 0.002 deg.\n");
  EXPECT_EQ(told(*grid(10.0, 125, 2), "a.wyr", 0, true), "");
  // tthmin cut to three decimals alone: 0.0004 deg
  EXPECT_EQ(told(*grid(10.0004, 100, 14501), "a.wyr", 0, true), "");
  // no point, or no grid to rebuild
  EXPECT_TRUE(std::isnan(headerstepoff(*grid(10.0, 125, 0))));
  auto p = grid(std::numeric_limits<double>::quiet_NaN(), 125, 100);
  EXPECT_EQ(told(*p, "a.wyr", 0, true), "");
}
