// A negative NaN is written "-nan" in console messages and file headers, as
// glibc's printf writes it, whatever the system's C library writes.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "output/textfile.h"
#include "text/console.h"

namespace {

const double negnan = -std::nan("");

}  // namespace

TEST(NanSpelling, NegativeNanInEachFieldShape) {
  EXPECT_EQ(format("%f", negnan), "-nan");
  EXPECT_EQ(format("[%8.3f]", negnan), "[    -nan]");
  EXPECT_EQ(format("[%-8.1f]", negnan), "[-nan    ]");
  EXPECT_EQ(format("[%08.2f]", negnan), "[    -nan]");  // no zeros before a NaN
  EXPECT_EQ(format("[%3f]", negnan), "[-nan]");
  EXPECT_EQ(format("[%*.*f]", 7, 2, negnan), "[   -nan]");
  EXPECT_EQ(format("[%*.*f]", -7, 2, negnan), "[-nan   ]");
  EXPECT_EQ(format("%.2e %E", negnan, negnan), "-nan -NAN");
  EXPECT_EQ(format("%10.2lf", negnan), "      -nan");
}

TEST(NanSpelling, AmongOtherFieldsAndTheOtherNonFiniteValues) {
  EXPECT_EQ(format("%d %s %f %5.1f|%-5.1f|%7d %c %f", 42, "nan", negnan, std::nan(""), -INFINITY,
                   -3, 'x', negnan),
            "42 nan -nan   nan|-inf |     -3 x -nan");
  EXPECT_EQ(format("100%% %.4f, %s", negnan, "Cannot make dead time correction."),
            "100% -nan, Cannot make dead time correction.");
  std::ostringstream con;
  say(con, "tau, cts, tim = %f, %f, %f\n", 3e-6, 1000.0, negnan);
  EXPECT_EQ(con.str(), "tau, cts, tim = 0.000003, 1000.000000, -nan\n");
}

TEST(NanSpelling, FileHeaders) {
  std::ostringstream file;
  EXPECT_TRUE(writetext(file, "%8.3f%8.3f%8.3f\n", negnan, 0.02, negnan));
  EXPECT_EQ(file.str(), "    -nan   0.020    -nan\r\n");
}
