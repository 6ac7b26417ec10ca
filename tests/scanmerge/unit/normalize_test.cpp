#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <vector>

#include "correct/corrections.h"
#include "output/writers.h"

TEST(Normalize, IntensityAndSigmaPerMillionMonitor) {
  auto p = std::make_unique<MergedPattern>();
  std::ostringstream con, file;
  normalize(*p, p->imax, con);  // imax 0: nothing to do, nothing to say
  EXPECT_EQ(con.str(), "");

  p->tthmin = 20;
  p->tthstep = 0.05;
  p->imax = 3;  // index 3 is summed but never normalised
  p->cts[0] = 400, p->mon[0] = 2000000, p->mon[1] = 500000;  // index 2: a gap
  p->cts[3] = 5, p->mon[3] = 7;
  normalize(*p, p->imax, con);
  EXPECT_EQ(con.str(), "HELP.  i, cts, mon = 2 0.000000 0.000000\n");
  EXPECT_EQ(std::vector<float>(p->inten, p->inten + 2), (std::vector<float>{200, 0}));
  EXPECT_TRUE(std::isnan(p->inten[2]));
  EXPECT_EQ(p->inten[3], 0.0f);
  EXPECT_EQ(std::vector<float>(p->sigma, p->sigma + 4), (std::vector<float>{10, 1, 1, 0}));

  // the gap's intensity reaches the list file as the most negative integer
  FieldCounts counts;
  EXPECT_TRUE(writexrs82(*p, file, counts));
  EXPECT_EQ(file.str(),
            "  20.000     200     10.0\r\n"
            "  20.050       0      1.0\r\n"
            "  20.100 -2147483648      1.0\r\n");
}
