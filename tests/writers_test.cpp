#include "output/writers.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <memory>
#include <sstream>
#include <string>

#include "output/textfile.h"

namespace {

// A pattern of imax points with cts 10 k and mon 0.5 k, as the summary
// leaves it.
std::unique_ptr<MergedPattern> grid(double tthmin, double tthstep, int imax) {
  auto p = std::make_unique<MergedPattern>();
  p->tthmin = tthmin;
  p->tthstep = tthstep;
  p->imax = imax;
  p->tthmax = tthmin + imax * tthstep;
  for (int k = 0; k < imax; ++k) {
    p->cts[k] = 10.0f * static_cast<float>(k);
    p->mon[k] = 0.5f * static_cast<float>(k);
  }
  return p;
}

template <typename Writer>
std::string written(Writer write, const MergedPattern& p) {
  std::ostringstream file;
  EXPECT_TRUE(write(p, file));
  return file.str();
}

std::string gdat(const MergedPattern& p, const std::string& answer) {
  std::istringstream in(answer);
  std::ostringstream file, con;
  EXPECT_TRUE(writegdat(p, file, in, con));
  EXPECT_EQ(con.str(), "Enter title: ");
  return file.str();
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
  EXPECT_EQ(written(writexrs82, *grid(10, 0.02, 0)), "");
  auto p = grid(10, 0.02, 3);
  p->cts[0] = 2.5f, p->cts[1] = 2.4f, p->cts[2] = -2.7f;
  p->mon[0] = 1.5f, p->mon[1] = 12.3f, p->mon[2] = 0.04f;
  EXPECT_EQ(written(writexrs82, *p),
            "  10.000       3      1.5\r\n"
            "  10.020       2     12.3\r\n"
            "  10.040      -2      0.0\r\n");
}

TEST(Writers, Wyriet) {
  const std::string full1 = "      0      10      20      30      40      50      60      70 \r\n";
  EXPECT_EQ(written(writewyriet, *grid(10, 0.02, 0)), "  10.000   0.020  10.000\r\n");
  EXPECT_EQ(written(writewyriet, *grid(10, 0.02, 9)),
            "  10.000   0.020  10.180\r\n" + full1 + "     80 \r\n");
  EXPECT_EQ(written(writewyriet, *grid(10, 0.02, 16)),
            "  10.000   0.020  10.320\r\n" + full1 +
                "     80      90     100     110     120     130     140"
                "     150 \r\n");
}

TEST(Writers, Profin) {
  EXPECT_EQ(written(writeprofin, *grid(10, 0.02, 0)), "  10.000   0.020   9.980\r\n");
  auto p = grid(10, 0.02, 12);
  p->cts[10] = negnan;
  p->cts[11] = -inf;
  p->mon[11] = inf;
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
  // end of input reads as a blank title
  EXPECT_EQ(gdat(*grid(5, 0.01, 0), ""), std::string(80, ' ') + "\r\n" + bank0);

  std::string bank7 = bank0;
  bank7.replace(8, 16, "       7       2");
  auto p = grid(5, 0.01, 7);
  p->cts[6] = negnan;
  EXPECT_EQ(gdat(*p, "quartz\r\n"), "quartz" + std::string(74, ' ') + "\r\n" + bank7 +
                                        "     0.0     0.0    10.0     0.5    20.0"
                                        "     1.0    30.0     1.5    40.0     2.0\r\n"
                                        "    50.0     2.5     nan     3.0\r\n");

  const std::string longtitle(90, 'x');
  EXPECT_EQ(gdat(*p, longtitle + "\n").substr(0, 92), longtitle + "\r\n");
}

TEST(Writers, FailingFileIsReported) {
  auto p = grid(10, 0.02, 2);
  Refusing full;
  std::ostream file(&full);
  for (auto write : {writexrs82, writewyriet, writeprofin}) {
    EXPECT_FALSE(write(*p, file));
    file.clear();
  }
  std::istringstream in("title\n");
  std::ostringstream con, bad;
  EXPECT_FALSE(writegdat(*p, file, in, con));
  bad.setstate(std::ios::badbit);  // nothing to write, yet the file failed
  EXPECT_FALSE(writexrs82(*grid(10, 0.02, 0), bad));
}
