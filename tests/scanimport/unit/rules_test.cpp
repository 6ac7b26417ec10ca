// The rules every format meets after its reader: an angle written as the
// 32-bit float its source gives, and the check that a range is a step scan.
#include "rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

namespace {

TEST(ImportNumbers, AnglesReadBackAsTheSourceFloat) {
  std::mt19937_64 gen(20001);
  std::uniform_real_distribution<double> angle(-10, 180);
  for (int i = 0; i < 100000; ++i) {
    double x = angle(gen);
    ASSERT_EQ(std::strtof(anglestr(x).c_str(), nullptr), static_cast<float>(x)) << x;
  }
  EXPECT_EQ(anglestr(10.3), "10.3");
  EXPECT_EQ(anglestr(10 + 0.02 * 3), "10.06");
}

TEST(ImportNumbers, StepCheck) {
  std::string why;
  EXPECT_TRUE(stepscan({10, 10.02, 10.04}, why));
  EXPECT_TRUE(stepscan({10.04, 10.02, 10}, why));  // falling
  EXPECT_FALSE(stepscan({10, 11, 10.5}, why));
  EXPECT_EQ(why, "is not a step scan (2theta does not rise or fall steadily)");
  EXPECT_TRUE(stepscan({0, 1.0099, 2.0}, why));   // within 1 %
  EXPECT_FALSE(stepscan({0, 1.0101, 2.0}, why));  // beyond
  EXPECT_FALSE(stepscan({10, 10, 10}, why));
  EXPECT_FALSE(stepscan({10}, why));
  EXPECT_EQ(why, "has fewer than two points");
  EXPECT_FALSE(stepscan({10, std::nan(""), 11}, why));
}

}  // namespace
