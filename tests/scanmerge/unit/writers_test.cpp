#include "output/writers.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <utility>

#include "dialogue/dialogue.h"
#include "output/fieldcheck.h"
#include "output/textfile.h"
#include "tests/helpers.h"

namespace {

// A pattern of imax points with cts 10 k and mon 0.5 k, as the summary
// leaves it.
std::unique_ptr<MergedPattern> ramp(double tthmin, double tthstep, int imax) {
  auto p = grid(tthmin, tthstep, imax);
  for (int k = 0; k < imax; ++k) {
    p->inten[k] = 10.0f * static_cast<float>(k);
    p->sigma[k] = 0.5f * static_cast<float>(k);
  }
  return p;
}

template <typename Writer>
std::string written(Writer write, const MergedPattern& p) {
  FieldCounts counts;
  std::ostringstream file;
  EXPECT_TRUE(write(p, file, counts));
  return file.str();
}

std::string gdat(const MergedPattern& p, const std::string& title) {
  FieldCounts counts;
  std::ostringstream file;
  EXPECT_TRUE(writegdat(p, title, file, counts));
  return file.str();
}

// The counts a writer reports for p.
template <typename Writer>
std::pair<int, int> counted(Writer write, const MergedPattern& p) {
  FieldCounts counts{99, 99};  // set by the writer, not added to
  std::ostringstream file;
  write(p, file, counts);
  return {counts.wide, counts.zerosigma};
}

std::pair<int, int> countedgdat(const MergedPattern& p) {
  FieldCounts counts{99, 99};
  std::ostringstream file;
  writegdat(p, std::string(100, 'x'), file, counts);  // a title is never counted
  return {counts.wide, counts.zerosigma};
}

std::string told(const MergedPattern& p, const char* name, FieldCounts counts, bool stepcheck) {
  std::ostringstream con;
  warnmisfits(p, name, counts, stepcheck, con);
  return con.str();
}

// Takes no byte, like a full disk.
struct Refusing : std::streambuf {
  int_type overflow(int_type) override { return traits_type::eof(); }
};

const float negnan = -std::numeric_limits<float>::quiet_NaN();
const float inf = std::numeric_limits<float>::infinity();

}  // namespace

TEST(Fields, CountOutOfRange) {
  EXPECT_EQ(roundcount(2147483647.0), 2147483647);
  for (double v : {2147483647.5, -2147483650.0, double(negnan), -double(inf)})
    EXPECT_EQ(roundcount(v), INT_MIN) << v;
}

TEST(Fields, LineWriterPutsCrLfInTextOfAnyLength) {
  // line ends on both sides of the writer's 256- and 512-byte pieces
  for (size_t length : {1u, 255u, 256u, 257u, 511u, 512u, 513u, 3000u}) {
    std::string text(length, 'a');
    std::string want;
    for (size_t k = 0; k < length; ++k) {
      if (k % 7 == 6 || k + 1 == length) text[k] = '\n';
      want += text[k] == '\n' ? "\r\n" : std::string(1, text[k]);
    }
    std::ostringstream file;
    EXPECT_TRUE(writetext(file, "%s", text.c_str()));
    EXPECT_EQ(file.str(), want) << length;
    std::ostringstream allends;
    EXPECT_TRUE(writetext(allends, "%s", std::string(length, '\n').c_str()));
    EXPECT_EQ(allends.str().size(), 2 * length);
  }
}

TEST(Writers, Xrs82) {
  EXPECT_EQ(written(writexrs82, *ramp(10, 0.02, 0)), "");
  auto p = ramp(10, 0.02, 3);
  p->inten[0] = 2.5f, p->inten[1] = 2.4f, p->inten[2] = -2.7f;
  p->sigma[0] = 1.5f, p->sigma[1] = 12.3f, p->sigma[2] = 0.04f;
  EXPECT_EQ(written(writexrs82, *p),
            "  10.000       3      1.5\r\n"
            "  10.020       2     12.3\r\n"
            "  10.040      -2      0.0\r\n");
}

TEST(Writers, Wyriet) {
  const std::string full1 = "      0      10      20      30      40      50      60      70 \r\n";
  EXPECT_EQ(written(writewyriet, *ramp(10, 0.02, 0)), "  10.000   0.020  10.000\r\n");
  EXPECT_EQ(written(writewyriet, *ramp(10, 0.02, 9)),
            "  10.000   0.020  10.180\r\n" + full1 + "     80 \r\n");
  EXPECT_EQ(written(writewyriet, *ramp(10, 0.02, 16)),
            "  10.000   0.020  10.320\r\n" + full1 +
                "     80      90     100     110     120     130     140"
                "     150 \r\n");
}

TEST(Writers, Profin) {
  EXPECT_EQ(written(writeprofin, *ramp(10, 0.02, 0)), "  10.000   0.020   9.980\r\n");
  auto p = ramp(10, 0.02, 12);
  p->inten[10] = negnan;
  p->inten[11] = -inf;
  p->sigma[11] = inf;
  EXPECT_EQ(written(writeprofin, *p),
            "  10.000   0.020  10.220\r\n"
            "     0.0    10.0    20.0    30.0    40.0"
            "    50.0    60.0    70.0    80.0    90.0\r\n"
            "    0.00    0.50    1.00    1.50    2.00"
            "    2.50    3.00    3.50    4.00    4.50\r\n"
            "     nan    -inf\r\n"
            "    5.00     inf\r\n");
}

TEST(Writers, Gdat) {
  const std::string bank0 =
      "BANK  1 "
      "       0"
      "       1"
      " CONST "
      "    500.00"
      "      1.00"
      " 0 0 ESD" +
      std::string(21, ' ') + "\r\n";
  ASSERT_EQ(bank0.size(), 82u);
  EXPECT_EQ(gdat(*ramp(5, 0.01, 0), ""), std::string(80, ' ') + "\r\n" + bank0);

  std::string bank7 = bank0;
  bank7.replace(8, 16, "       7       2");
  auto p = ramp(5, 0.01, 7);
  p->inten[6] = negnan;
  EXPECT_EQ(gdat(*p, "quartz"), "quartz" + std::string(74, ' ') + "\r\n" + bank7 +
                                    "     0.0     0.0    10.0     0.5    20.0"
                                    "     1.0    30.0     1.5    40.0     2.0\r\n"
                                    "    50.0     2.5     nan     3.0\r\n");

  const std::string longtitle(90, 'x');
  EXPECT_EQ(gdat(*p, longtitle).substr(0, 92), longtitle + "\r\n");

  // the title as typed, without its line end; end of input reads as blank
  std::istringstream in("quartz\r\n");
  std::ostringstream con;
  Stop stop;
  for (const char* want : {"quartz", ""}) {
    std::string title = "?";
    EXPECT_TRUE(asktitle(in, con, title, stop));
    EXPECT_EQ(title, want);
  }
  EXPECT_EQ(con.str(), "Enter title: Enter title: ");
}

TEST(Writers, FailingFileIsReported) {
  auto p = ramp(10, 0.02, 2);
  Refusing full;
  std::ostream file(&full);
  FieldCounts counts;
  for (auto write : {writexrs82, writewyriet, writeprofin}) {
    EXPECT_FALSE(write(*p, file, counts));
    file.clear();
  }
  EXPECT_FALSE(writegdat(*p, "title", file, counts));
  std::ostringstream bad;
  bad.setstate(std::ios::badbit);  // nothing to write, yet the file failed
  EXPECT_FALSE(writexrs82(*ramp(10, 0.02, 0), bad, counts));
}

// Each file's fields, counted by hand: intensities and sigmas after
// normalising, a point no scan reached (nan) and a negative intensity.
TEST(Counts, WideFieldsPerFile) {
  auto p = ramp(10.0, 0.02, 5);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float cts[] = {1500000.0f, 20000000.0f, -100000.0f, nan, 999999.9375f};
  const float mon[] = {38729.832f, 141421.36f, 100000.0f, 1.0f, 1000.0f};
  for (int k = 0; k < 5; ++k) {
    p->inten[k] = cts[k];
    p->sigma[k] = mon[k];
  }
  p->inten[5] = 1e30f;  // index imax is never written
  p->sigma[5] = 1e30f;
  using Counts = std::pair<int, int>;
  // %7d: 20000000 and -2147483648; the sigmas fit %8.1f
  EXPECT_EQ(counted(writexrs82, *p), Counts(2, 0));
  EXPECT_EQ(counted(writewyriet, *p), Counts(2, 0));
  // %8.1f: 1500000.0, 20000000.0, -100000.0 (999999.9 fits);
  // %8.2f: 141421.36 and 100000.00
  EXPECT_EQ(counted(writeprofin, *p), Counts(5, 0));
  // %8.1f for both: the three intensities
  EXPECT_EQ(countedgdat(*p), Counts(3, 0));

  p->inten[4] = 1000000.0f;  // 1000000.0: nine characters
  EXPECT_EQ(counted(writeprofin, *p), Counts(6, 0));
  EXPECT_EQ(countedgdat(*p), Counts(4, 0));
  EXPECT_EQ(counted(writexrs82, *p), Counts(2, 0));  // 1000000 fits seven
}

TEST(Counts, WideHeaderNumbers) {
  auto p = ramp(-1000.0, 1.0, 0);  // " -1000.000" and "   1.000"
  using Counts = std::pair<int, int>;
  EXPECT_EQ(counted(writexrs82, *p), Counts(0, 0));   // no points, no fields
  EXPECT_EQ(counted(writewyriet, *p), Counts(2, 0));  // tthmin and tthmax
  EXPECT_EQ(counted(writeprofin, *p), Counts(2, 0));  // tthmin and tthmax - tthstep
  EXPECT_EQ(countedgdat(*p), Counts(0, 0));           // -100000.00 fits ten
  p->tthmin = 9999.9994;                              // rounds to 9999.999: fits
  p->tthstep = 0.0002;  // one point: tthmax 9999.9996 rounds to 10000.000, does not
  p->imax = 1;
  EXPECT_EQ(counted(writewyriet, *p).first, 1);
  // a negative NaN in a header is spelled as printf spells it, and fits
  const double negnan = std::copysign(std::numeric_limits<double>::quiet_NaN(), -1.0);
  p = ramp(negnan, 10.0, 0);
  EXPECT_EQ(written(writewyriet, *p), "    -nan  10.000    -nan\r\n");
  EXPECT_EQ(gdat(*p, "").substr(82, 31), "BANK  1        0       1 CONST ");
  EXPECT_EQ(gdat(*p, "").substr(113, 20), "      -nan   1000.00");
  EXPECT_EQ(countedgdat(*p), Counts(0, 0));
}

// A sigma that reads as zero: 0.04 and -0.04 in F8.1, 0.004 in F8.2; 0.05
// rounds up to 0.1 and NaN is no zero.
TEST(Counts, ZeroSigmasPerFile) {
  auto p = ramp(10.0, 0.02, 6);
  const float mon[] = {0.04f, -0.04f, 0.05f, 0.004f, 0.006f, 0.0f};
  for (int k = 0; k < 6; ++k) p->sigma[k] = mon[k];
  using Counts = std::pair<int, int>;
  EXPECT_EQ(counted(writexrs82, *p), Counts(0, 5));   // all but 0.05
  EXPECT_EQ(counted(writewyriet, *p), Counts(0, 0));  // no sigmas
  EXPECT_EQ(counted(writeprofin, *p), Counts(0, 2));  // 0.004 and 0.0
  EXPECT_EQ(countedgdat(*p), Counts(0, 5));
  p->sigma[0] = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(counted(writexrs82, *p), Counts(0, 4));
}

// A reader rebuilds angle k as tthmin + k * tthstep from the header's
// three-decimal numbers; the last point written is k = imax - 1.
TEST(HeaderStep, ThreeDecimalsPutTheLastPointOff) {
  // 0.0125 is written 0.013: 0.0005 deg a step, 2000 steps 1.000 deg
  auto p = ramp(10.0, 0.0125, 2001);
  EXPECT_NEAR(headerstepoff(*p), 1.0, 1e-9);
  EXPECT_EQ(told(*p, "a.wyr", {}, stepheader),
            "!!!!! Header step 0.013 of a.wyr is not 0.0125: last point off by 1.000 deg.\n");
  // 0.0156 is written 0.016: 1234 steps of 0.0004 deg are 0.4936 deg
  p = ramp(5.0, 0.0156, 1235);
  EXPECT_EQ(told(*p, "b.pro", {}, stepheader),
            "!!!!! Header step 0.016 of b.pro is not 0.0156: last point off by 0.494 deg.\n");
  // a falling scan: -0.0125 is written -0.013
  p = ramp(40.0, -0.0125, 2001);
  EXPECT_EQ(told(*p, "c.pro", {}, stepheader),
            "!!!!! Header step -0.013 of c.pro is not -0.0125: last point off by -1.000 deg.\n");
  // every line, the fields first
  p = ramp(10.0, 0.0125, 2001);
  EXPECT_EQ(told(*p, "d.pro", {7, 3}, stepheader),
            "!!!!! Values wider than their columns in d.pro: 7\n"
            "!!!!! Standard deviations written as 0.0 in d.pro: 3\n"
            "!!!!! Header step 0.013 of d.pro is not 0.0125: last point off by 1.000 deg.\n");
  // the same grid in an XRS82 or GDAT file: angles or centidegrees, no step line
  EXPECT_EQ(told(*p, "d.gda", {}, nostepheader), "");
  EXPECT_EQ(told(*p, "d.gda", {0, 1}, nostepheader),
            "!!!!! Standard deviations written as 0.0 in d.gda: 1\n");
}

TEST(HeaderStep, RoundStepsAndSmallOffsetsSayNothing) {
  for (int steps : {100, 200, 500}) {
    auto p = ramp(5.0, steps * 0.0001, 1450000 / steps + 1);  // up to 150 deg
    EXPECT_LT(std::fabs(headerstepoff(*p)), 1e-9) << steps;
    EXPECT_EQ(told(*p, "a.wyr", {}, stepheader), "") << steps;
  }
  // 0.0125 over four steps: 0.002 deg; over two: 0.001, not more
  EXPECT_EQ(told(*ramp(10.0, 0.0125, 5), "a.wyr", {}, stepheader),
            "!!!!! Header step 0.013 of a.wyr is not 0.0125: last point off by 0.002 deg.\n");
  EXPECT_EQ(told(*ramp(10.0, 0.0125, 2), "a.wyr", {}, stepheader), "");
  // tthmin cut to three decimals alone: 0.0004 deg
  EXPECT_EQ(told(*ramp(10.0004, 0.01, 14501), "a.wyr", {}, stepheader), "");
  // no point, or no grid to rebuild
  EXPECT_TRUE(std::isnan(headerstepoff(*ramp(10.0, 0.0125, 0))));
  auto p = ramp(std::numeric_limits<double>::quiet_NaN(), 0.0125, 100);
  EXPECT_EQ(told(*p, "a.wyr", {}, stepheader), "");
}
