// The writers' field formatters must give, byte for byte, what snprintf's
// "%*.*f" and "%*d" give in the C locale (nan, inf and -inf right-aligned).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "correct/corrections.h"
#include "merge/merged_pattern.h"
#include "output/textfile.h"
#include "output/writers.h"

namespace {

std::string printed(double value, int width, int decimals) {
  char text[fieldroom + 1];
  if (std::isfinite(value))
    std::snprintf(text, sizeof text, "%*.*f", width, decimals, value);
  else
    std::snprintf(text, sizeof text, "%*s", width,
                  std::isnan(value) ? "nan"
                  : value > 0       ? "inf"
                                    : "-inf");
  return text;
}

// Adds a failure where realfield and snprintf differ.
bool agrees(double value, int width, int decimals) {
  char want[fieldroom + 1];
  int wantlen =
      std::isfinite(value) ? std::snprintf(want, sizeof want, "%*.*f", width, decimals, value) : -1;
  char field[fieldroom];
  int len = realfield(field, value, width, decimals);
  if (wantlen >= 0 && len == wantlen && std::memcmp(field, want, static_cast<size_t>(len)) == 0)
    return true;
  std::string expected = printed(value, width, decimals);
  if (std::string(field, static_cast<size_t>(len)) == expected) return true;
  ADD_FAILURE() << "%" << width << "." << decimals << "f of " << std::hexfloat << value << ": \""
                << std::string(field, static_cast<size_t>(len)) << "\", printf \"" << expected
                << "\"";
  return false;
}

}  // namespace

TEST(RealField, FieldsWorkedOutByHand) {
  char field[fieldroom];
  auto text = [&](double v, int w, int d) {
    return std::string(field, static_cast<size_t>(realfield(field, v, w, d)));
  };
  EXPECT_EQ(text(2.25, 8, 1), "     2.2");  // halfway: to even
  EXPECT_EQ(text(-0.04, 8, 1), "    -0.0");
  EXPECT_EQ(text(1234567.89, 8, 1), "1234567.9");  // wider than its field
  EXPECT_EQ(text(-std::numeric_limits<double>::quiet_NaN(), 8, 2), "     nan");
  EXPECT_EQ(text(-std::numeric_limits<double>::infinity(), 8, 3), "    -inf");
  EXPECT_EQ(text(std::numeric_limits<double>::max(), 8, 3).size(), 313u);
  // the edges of the exact integer path: the largest and smallest
  // exponents, the last bit of a 2^52 to 2^53 value, ties in every place
  for (double v : {0x1p53 - 1, 0x1p53, 0x1p52 + 0.5, 0x1p52 - 0.5, 0x1p-1074, 0x1p-1022, 0x1p-11,
                   0.0005, 0.00049999999999999999, 0.05, 0.125, 0.375, 2.5, 1e15 + 0.25, -0.0,
                   -0.05, 999999.95, 9999999.5})
    for (int d = 1; d <= 3; ++d) {
      agrees(v, 8, d);
      agrees(-v, 8, d);
    }
  // the widest numbers in the narrowest and widest fields; past 32 the
  // field is built another way
  for (double v : {0x1p53 - 1, -(0x1p53 - 1), 0.0, 2.25})
    for (int w : {0, 1, 21, 22, 31, 32, 33, 40})
      for (int d = 0; d <= 3; ++d) agrees(v, w, d);
  // the GDAT header's centidegrees (F10.2)
  for (double v : {-100000.0, 1234567.125, 99999.995, 0.005, 1e300}) agrees(v, 10, 2);
}

namespace {

// The bench's largest run: 40 scans of 20001 rows on one grid, each 1, 2
// or 3 thousandths of a degree above the grid, with two peaks.
std::unique_ptr<MergedPattern> benchpattern() {
  auto p = std::make_unique<MergedPattern>();
  std::mt19937 gen(20240611);
  std::ostringstream con;
  for (int k = 1; k <= 40; ++k) {
    std::string text;
    for (int h = 1; h <= 14; ++h) text += h == 14 ? "tth mon cts tim\n" : "header\n";
    char row[64];
    for (int i = 0; i < maxpts; ++i) {
      int tth = 5000 + (k - 1) % 3 + 5 * i;  // millidegrees
      double x = tth / 1000.0;
      double peak = 6000 * std::exp(-std::pow((x - 46.6) / 0.08, 2)) +
                    3000 * std::exp(-std::pow((x - 25.6) / 0.06, 2));
      std::snprintf(row, sizeof row, "%8.3f%8d%8d%6d\n", x, 336000 + static_cast<int>(gen() % 400),
                    static_cast<int>(400 + peak + gen() % 40), 1500);
      text += row;
    }
    std::istringstream scan(text);
    mergescan(*p, scan, k, con);
  }
  normalize(*p, p->imax, con);
  return p;
}

}  // namespace

// Every field the bench's run writes: its angles, intensities and sigmas.
TEST(RealField, BenchRunFieldsAsPrintfWritesThem) {
  auto p = benchpattern();
  ASSERT_EQ(p->imax, 20000);
  char field[16];
  int failures = 0;
  for (int k = 0; k < p->imax && failures < 10; ++k) {
    failures += !agrees(p->tthmin + k * p->tthstep, 8, 3);
    for (double v : {static_cast<double>(p->inten[k]), static_cast<double>(p->sigma[k])})
      for (int d = 1; d <= 2; ++d) failures += !agrees(v, 8, d);
    std::ostringstream file;
    FieldCounts counts;
    TextOut out(file, counts);
    putcount(out, roundcount(p->inten[k]), 7);
    ASSERT_TRUE(flushtext(out));
    std::snprintf(field, sizeof field, "%7d", roundcount(p->inten[k]));
    EXPECT_EQ(file.str(), field);
  }
}
