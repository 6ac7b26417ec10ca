// A data row's numbers must come out exactly as sscanf's "%f %f %f %f %f %f
// %f %f" gives them: the same count (EOF included) and the same bits in
// every value, converted or not.
#include "merge/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A row's count and the bits of all eight slots; slots the conversion
// leaves alone keep 0x7fa5a5a5, a NaN that no row makes.
struct Row {
  int got;
  std::uint32_t bits[8];
};

Row converted(const std::string& line, bool bysscanf) {
  Row r;
  float v[8];
  for (std::uint32_t& b : r.bits) b = 0x7fa5a5a5u;
  std::memcpy(v, r.bits, sizeof v);
  r.got = bysscanf ? std::sscanf(line.c_str(), "%f %f %f %f %f %f %f %f", &v[0], &v[1], &v[2],
                                 &v[3], &v[4], &v[5], &v[6], &v[7])
                   : convertrow(line.c_str(), v);
  std::memcpy(r.bits, v, sizeof v);
  return r;
}

// Adds a failure where convertrow and sscanf differ on line, up to its
// first LF: a row's piece never holds more.
bool agrees(const std::string& whole) {
  std::string line = whole.substr(0, whole.find('\n') + 1);
  Row want = converted(line, true);
  Row got = converted(line, false);
  if (want.got == got.got && std::memcmp(want.bits, got.bits, sizeof want.bits) == 0) return true;
  std::string text;
  char hex[24];
  for (unsigned char ch : line) {
    std::snprintf(hex, sizeof hex, ch >= 0x20 && ch < 0x7f ? "%c" : "\\x%02x", ch);
    text += hex;
  }
  text += "\": sscanf " + std::to_string(want.got) + ", convertrow " + std::to_string(got.got);
  for (int k = 0; k < 8; ++k) {
    std::snprintf(hex, sizeof hex, " %08x/%08x", want.bits[k], got.bits[k]);
    text += hex;
  }
  ADD_FAILURE() << "line \"" << text;
  return false;
}

float value(const std::string& text) {
  float v[8];
  EXPECT_EQ(convertrow(text.c_str(), v), 1) << text;
  return v[0];
}

}  // namespace

TEST(ConvertRow, RowsWorkedOutByHand) {
  float v[8];
  ASSERT_EQ(convertrow("  46.600  336082     418  1500\n", v), 4);
  EXPECT_EQ(v[0], 46.6f);
  EXPECT_EQ(v[1], 336082.0f);
  EXPECT_EQ(v[2], 418.0f);
  EXPECT_EQ(v[3], 1500.0f);

  EXPECT_EQ(convertrow("", v), EOF);
  EXPECT_EQ(convertrow(" \t\r\n\v\f", v), EOF);
  EXPECT_EQ(convertrow("end of data\n", v), 0);
  EXPECT_EQ(convertrow("1 2 3 4 5 6 7 8 9\n", v), 8);  // the ninth is left
  EXPECT_EQ(v[7], 8.0f);
  // a number stops where its text does; the next starts right there
  ASSERT_EQ(convertrow("1.2.3 4", v), 3);
  EXPECT_EQ(v[1], 0.3f);
  ASSERT_EQ(convertrow("1-2", v), 2);
  EXPECT_EQ(v[1], -2.0f);
  EXPECT_EQ(convertrow("1.5abc 2", v), 1);
  EXPECT_EQ(convertrow("10 20\0 30", v), 2);  // the line ends at a NUL

  // 2^24 + 1 lies halfway between two floats: the even one, 2^24
  EXPECT_EQ(value("16777217"), 16777216.0f);
  EXPECT_EQ(value("16777219"), 16777220.0f);
  EXPECT_EQ(value("0.1"), 0.1f);
  EXPECT_EQ(value("-.5"), -0.5f);
  EXPECT_EQ(value("5."), 5.0f);
  EXPECT_EQ(value("0000046.6000000"), 46.6f);
  EXPECT_TRUE(std::signbit(value("-0")));
  EXPECT_EQ(value("+2.5"), 2.5f);
  EXPECT_EQ(value("1e3"), 1000.0f);
  EXPECT_EQ(value("0x1p3"), 8.0f);
  EXPECT_EQ(value(std::string(60, '9')), HUGE_VALF);  // beyond a float
}

// The row reader converts a row where it lies, with the next rows after its
// LF: the conversion must end at the LF, and say where it ended.
TEST(ConvertPlain, EndsAtTheLineEndAndSaysWhere) {
  float v[8];
  const char* stop = nullptr;
  const char rows[] = "  1.5  2\n3 4\n";
  ASSERT_EQ(convertplain(rows, v, stop), 2);
  EXPECT_EQ(stop, rows + 8);
  EXPECT_EQ(v[1], 2.0f);
  const char crlf[] = "7 -8\r\n9\n";  // the CR is a blank
  ASSERT_EQ(convertplain(crlf, v, stop), 2);
  EXPECT_EQ(stop, crlf + 5);
  const char blank[] = " \t\n5\n";
  EXPECT_EQ(convertplain(blank, v, stop), EOF);
  EXPECT_EQ(stop, blank + 2);
  const char nine[] = "1 2 3 4 5 6 7 8 9\n";  // stops after the eighth
  EXPECT_EQ(convertplain(nine, v, stop), 8);
  EXPECT_EQ(stop, nine + 15);
  const char nul[] = "12\0 5\n";
  EXPECT_EQ(convertplain(nul, v, stop), 1);
  EXPECT_EQ(stop, nul + 2);
  // anything but plain numbers is left to sscanf
  EXPECT_EQ(convertplain("1 2e3\n", v, stop), notplain);
  EXPECT_EQ(convertplain("1 x\n", v, stop), notplain);
  EXPECT_EQ(convertrow("1 2e3\n", v), 2);
}

TEST(ConvertRow, AgreesWithSscanfOnOddShapes) {
  // clang-format off
  const char* const lines[] = {
      "-", ".", "-.", "--1", "- 1", "+", "+.", "+1", "+.5", "-+1", "1e", "1e+",
      "1e-", "1e5", "1E5", "1.5e-3", ".5e1", "5.e1", "1ex", "1e 2", "e5",
      "2.5e-40", "1e-45", "1e-46", "3.4028235e38", "3.4028236e38", "1e39",
      "-1e39", "1.17549435e-38", "1.4e-45", "0x1p3", "0X1.8P1", "0x", "0x.",
      "0xg", "0x1.fffffep127", "0x1p-149", "0x1p-150", "inf", "-inf", "INF",
      "Infinity", "infinit", "in", "nan", "-nan", "NAN", "nan(123)", "nan(",
      "nanx", "1.5abc", "1.2.3", "1..2", "1-2", "1+2", "12,5 3", "1,2,3",
      "\302\2401", "1\302\2402", "\xff", "1\xff", "\2005",
      "1\t2\n", "1\v2\f3\r4", "1\r\n", "\r", "1 2 3 4 5 6 7 8 9",
      "1 2 3 4 5 6 7 8x", "1 2 3 4 5 6 7 8e", "1 2 3 4 5 6 7x 8",
      "16777216", "16777217", "167772160", "167772161", "1677721.6",
      "16777215.5", "0.0000000001", "0.00000000001", "1.0000000000",
      "99999999999999999999", "9999999999999999999.5",
      "340282346638528859811704183484516925440",
      "340282356779733661637539395458142568448",
      "34028234663852885981170418348451692544",
      "-3402823466385288598117041834845169254",
      ".0000000000000000000000000000000000001",
      ".00000000000000000000000000000000000001",
      "0.000000000000000000000000000000000000011754943508222875",
  };
  // clang-format on
  for (const char* line : lines) {
    agrees(line);
    agrees(std::string("  ") + line + " 7\n");
    agrees(std::string("1 2 3 ") + line);
  }
  // a NUL ends the line wherever it stands
  agrees(std::string("1 2\0 3", 6));
  agrees(std::string("1\0002", 3));
  agrees(std::string("\0 1", 3));
}

// Every mantissa around 2^24, where the exact quotient gives way. (Random
// rows against sscanf: the fuzz target.)
TEST(ConvertRow, AgreesWithSscanfAround2To24) {
  int failures = 0;
  for (std::uint32_t m = (1u << 24) - 40; m <= (1u << 24) + 40 && failures < 20; ++m)
    for (int point = 0; point <= 8; ++point) {
      std::string digits = std::to_string(m);
      digits.insert(digits.size() - static_cast<size_t>(point), ".");
      if (!agrees(digits)) ++failures;
    }
}
