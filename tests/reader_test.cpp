#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>

#include "merge/scanreader.h"
#include "scanfile.h"

static ScanColumns decode(const std::string& columns, std::string* console = nullptr) {
  std::istringstream in(scanfile(columns, ""));
  std::ostringstream con;
  ScanColumns cols = readheader(in, con);
  if (console) *console = con.str();
  return cols;
}

TEST(ReadPiece, CutsLongLinesAndFoldsCrLf) {
  std::istringstream in(std::string(98, 'a') + "\r\n" + std::string(99, 'b') +
                        "\r\nx\ry");
  char buf[datapiece];
  EXPECT_EQ(readpiece(in, buf, datapiece), 99);  // 98 characters and one LF
  EXPECT_EQ(buf[98], '\n');
  EXPECT_EQ(readpiece(in, buf, datapiece), 99);  // 99 characters, no line end
  EXPECT_EQ(buf[98], 'b');
  EXPECT_EQ(readpiece(in, buf, datapiece), 1);  // the line end alone
  EXPECT_STREQ(buf, "\n");
  EXPECT_EQ(readpiece(in, buf, datapiece), 3);  // a lone CR is kept
  EXPECT_STREQ(buf, "x\ry");
  EXPECT_EQ(readpiece(in, buf, datapiece), -1);
}

// The rule a piece follows, a byte at a time, against the reader's bulk
// reading, on lines of every length around both piece sizes.
TEST(ReadPiece, AgreesWithTheByteRuleOnRandomText) {
  const auto bytewise = [](std::istream& in, char* buf, int size) {
    int len = 0;
    while (len < size - 1) {
      int ch = in.get();
      if (ch == EOF) break;
      if (ch == '\r' && in.peek() == '\n') ch = in.get();
      buf[len++] = static_cast<char>(ch);
      if (ch == '\n') break;
    }
    return len > 0 ? len : -1;
  };
  std::mt19937 gen(7);
  const char alphabet[] = {'a', ' ', '\r', '\n', '\0', '1'};
  for (int size : {datapiece, headerpiece}) {
    for (int trial = 0; trial < 3000; ++trial) {
      std::string text;
      for (int n = static_cast<int>(gen() % 12); n > 0; --n) {
        // mostly long runs of one byte, so lines end near the piece size
        char ch = alphabet[gen() % 6];
        text.append(gen() % 4 == 0 ? 1 : size - 4 + gen() % 8, ch);
      }
      std::istringstream fast(text), slow(text);
      char a[headerpiece], b[headerpiece];
      for (;;) {
        int got = readpiece(fast, a, size);
        ASSERT_EQ(got, bytewise(slow, b, size)) << "size " << size << " trial " << trial;
        if (got < 0) break;
        ASSERT_EQ(std::string(a, got), std::string(b, got));
        ASSERT_EQ(a[got], '\0');
      }
    }
  }
}

TEST(ReadHeader, EchoesLines11And12AndDecodesColumns) {
  std::string console;
  ScanColumns cols = decode("tth cts mon tim", &console);
  EXPECT_EQ(console, "sample\nconditions\n");
  EXPECT_EQ(cols.n, 4);
  EXPECT_EQ(cols.dataline, 15);
  EXPECT_EQ(cols.tth, 0);
  EXPECT_EQ(cols.cts, 1);
  EXPECT_EQ(cols.mon, 2);
  EXPECT_EQ(cols.tim, 3);

  cols = decode("  TIM\t MON   CTS  TTH  ", &console);
  EXPECT_EQ(console, "sample\nconditions\n");
  EXPECT_EQ(cols.n, 4);
  EXPECT_EQ(cols.tim, 0);
  EXPECT_EQ(cols.tth, 3);
}

TEST(ReadHeader, ColumnRules) {
  // the later tth-name wins; a longer name matches on its first three letters
  ScanColumns cols = decode("tthraw cts mon tim tthdeg");
  EXPECT_EQ(cols.tth, 4);
  EXPECT_EQ(cols.n, 5);

  // the ninth name is ignored, so tim is missing
  std::string console;
  cols = decode("tth cts mon a b c d e tim", &console);
  EXPECT_EQ(cols.n, 8);
  EXPECT_EQ(cols.tim, -1);
  EXPECT_EQ(console,
            "sample\nconditions\n"
            "HELP! can't decode columns tth cts mon a b c d e tim\n\n");

  // mixed case and short names match nothing
  cols = decode("Tth cts mon ti tim");
  EXPECT_EQ(cols.tth, -1);
  EXPECT_EQ(cols.tim, 4);
}

TEST(ReadPoint, RowsUntilTooFewNumbers) {
  std::istringstream in(scanfile("tim tth cts mon",
                                 "1000 10.00 50 2000 7 8\r\n"
                                 "1000 10.02 60\n"
                                 "1000 10.04 70 2000\n"));
  std::ostringstream con;
  ScanColumns cols = readheader(in, con);
  ScanPoint pt;
  ASSERT_TRUE(readpoint(in, cols, pt));  // extra numbers are converted, unused
  EXPECT_EQ(pt.nval, 6);
  EXPECT_EQ(pt.tim, 1000.0f);
  EXPECT_EQ(pt.tth, 10.0f);
  EXPECT_EQ(pt.cts, 50.0f);
  EXPECT_EQ(pt.mon, 2000.0f);
  EXPECT_STREQ(pt.line, "1000 10.00 50 2000 7 8\n");
  EXPECT_FALSE(readpoint(in, cols, pt));  // three numbers end the data
}

TEST(ReadPoint, EndsAtTrailerAndTakesALastRowWithoutLineEnd) {
  std::istringstream in(scanfile("tth cts mon tim", "10 1 2000 1000\nend of scan\n"));
  std::ostringstream con;
  ScanColumns cols = readheader(in, con);
  ScanPoint pt;
  EXPECT_TRUE(readpoint(in, cols, pt));
  EXPECT_FALSE(readpoint(in, cols, pt));

  std::istringstream last(scanfile("tth cts mon tim", "10 1 2000 1000"));
  cols = readheader(last, con);
  EXPECT_TRUE(readpoint(last, cols, pt));
  EXPECT_EQ(pt.tim, 1000.0f);
  EXPECT_FALSE(readpoint(last, cols, pt));
}

// A piece is cut when it fills its size before its line end and the file
// goes on; only then may a number in it be cut. (Lines that are not cut:
// MergeScan.LinesThatAreNotCut.)
TEST(ReadPoint, RowCutAtItsPieceEndIsNotDelivered) {
  const std::string row = "10 1 2000 1000";
  const std::string full = row + std::string(99 - row.size(), ' ');  // 99
  std::ostringstream con;
  ScanPoint pt;
  const auto first = [&](const std::string& rows) {
    std::istringstream in(scanfile("tth cts mon tim", rows));
    ScanColumns cols = readheader(in, con);
    EXPECT_EQ(cols.dataline, 15);
    return readpoint(in, cols, pt);
  };
  // 99 characters before the line end, LF or CR LF: cut
  EXPECT_FALSE(first(full + "\n11 1 2000 1000\n"));
  EXPECT_TRUE(pt.cut);
  EXPECT_FALSE(first(full + "\r\n"));
  EXPECT_TRUE(pt.cut);
  // a long trailer converts too few numbers: the data end, nothing to tell
  EXPECT_FALSE(first("end of scan" + std::string(140, '.') + "\n"));
  EXPECT_FALSE(pt.cut);
  std::string echoes;  // the reader tells nothing of rows: three headers' echoes
  for (int k = 0; k < 3; ++k) echoes += "sample\nconditions\n";
  EXPECT_EQ(con.str(), echoes);
}

TEST(ReadPiece, CutOnlyWithMoreOfTheFileAfterIt) {
  char buf[headerpiece];
  std::istringstream in(std::string(199, 'h') + "\n" + std::string(198, 'h') +
                        "\r\n" + std::string(199, 'h'));
  int len = readpiece(in, buf, headerpiece);
  EXPECT_TRUE(piececut(in, buf, len, headerpiece));
  len = readpiece(in, buf, headerpiece);  // the line end alone
  EXPECT_FALSE(piececut(in, buf, len, headerpiece));
  len = readpiece(in, buf, headerpiece);  // 198 and the line end
  EXPECT_EQ(len, 199);
  EXPECT_FALSE(piececut(in, buf, len, headerpiece));
  len = readpiece(in, buf, headerpiece);  // 199 at the end of the file
  EXPECT_EQ(len, 199);
  EXPECT_FALSE(piececut(in, buf, len, headerpiece));
}

TEST(ReadPoint, StandInsForMissingColumns) {
  std::istringstream in(scanfile("tth cts", "10 5\n"));
  std::ostringstream con;
  ScanColumns cols = readheader(in, con);
  ScanPoint pt;
  ASSERT_TRUE(readpoint(in, cols, pt));
  EXPECT_EQ(pt.mon, 1000000.0f);
  EXPECT_EQ(pt.tim, 0.0f);
}
