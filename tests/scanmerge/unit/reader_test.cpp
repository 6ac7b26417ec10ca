#include <gtest/gtest.h>

#include <cstring>
#include <ios>
#include <sstream>
#include <string>

#include "merge/numbers.h"
#include "merge/scanreader.h"
#include "tests/helpers.h"

static ScanColumns decode(const std::string& columns, std::string* console = nullptr) {
  std::istringstream in(scanfile(columns, ""));
  ScanBlock block(in);
  std::ostringstream con;
  ScanColumns cols = readheader(block, con);
  if (console) *console = con.str();
  return cols;
}

namespace {

std::string text(const Piece& piece) {
  return piece.len < 0 ? "(end)" : std::string(piece.text, static_cast<size_t>(piece.len));
}

// Gives its text, then fails as a file buffer fails on EIO: by throwing.
struct FailingBuf : std::streambuf {
  std::string text;
  bool given = false;
  int_type underflow() override {
    if (given) throw std::ios_base::failure("read error");
    given = true;
    setg(text.data(), text.data(), text.data() + text.size());
    return traits_type::to_int_type(text[0]);
  }
};

}  // namespace

TEST(CutPiece, AFailedReadEndsTheScanAndMarksItBad) {
  FailingBuf buf;
  buf.text = "10.00 5\n10.01 6";
  std::istream in(&buf);
  ScanBlock block(in);
  // the block's read takes the text and fails within one call: what it
  // held is lost with it, and the scan ends, never the program
  EXPECT_EQ(cutpiece(block, datapiece).len, -1);
  EXPECT_TRUE(in.bad());
}

TEST(CutPiece, CutsLongLinesAndFoldsCrLf) {
  std::istringstream in(std::string(98, 'a') + "\r\n" + std::string(99, 'b') + "\r\nx\ry");
  ScanBlock block(in);
  EXPECT_EQ(text(cutpiece(block, datapiece)), std::string(98, 'a') + "\n");
  Piece piece = cutpiece(block, datapiece);  // 99 characters, no line end
  EXPECT_EQ(text(piece), std::string(99, 'b'));
  EXPECT_TRUE(piece.cut);
  EXPECT_EQ(text(cutpiece(block, datapiece)), "\n");  // the line end alone
  piece = cutpiece(block, datapiece);                 // a lone CR is kept
  EXPECT_EQ(text(piece), "x\ry");
  EXPECT_FALSE(piece.cut);
  EXPECT_EQ(cutpiece(block, datapiece).len, -1);
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
  ScanBlock block(in);
  std::ostringstream con;
  ScanColumns cols = readheader(block, con);
  ScanPoint pt;
  ASSERT_TRUE(readpoint(block, cols, pt));  // extra numbers are converted, unused
  EXPECT_EQ(pt.nval, 6);
  EXPECT_EQ(pt.tim, 1000.0f);
  EXPECT_EQ(pt.tth, 10.0f);
  EXPECT_EQ(pt.cts, 50.0f);
  EXPECT_EQ(pt.mon, 2000.0f);
  EXPECT_EQ(std::string(pt.line, static_cast<size_t>(pt.len)), "1000 10.00 50 2000 7 8\n");
  EXPECT_FALSE(readpoint(block, cols, pt));  // three numbers end the data
}

TEST(ReadPoint, EndsAtTrailerAndTakesALastRowWithoutLineEnd) {
  std::istringstream in(scanfile("tth cts mon tim", "10 1 2000 1000\nend of scan\n"));
  ScanBlock block(in);
  std::ostringstream con;
  ScanColumns cols = readheader(block, con);
  ScanPoint pt;
  EXPECT_TRUE(readpoint(block, cols, pt));
  EXPECT_FALSE(readpoint(block, cols, pt));

  std::istringstream last(scanfile("tth cts mon tim", "10 1 2000 1000"));
  ScanBlock lastblock(last);
  cols = readheader(lastblock, con);
  EXPECT_TRUE(readpoint(lastblock, cols, pt));
  EXPECT_EQ(pt.tim, 1000.0f);
  EXPECT_FALSE(readpoint(lastblock, cols, pt));
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
    ScanBlock block(in);
    ScanColumns cols = readheader(block, con);
    EXPECT_EQ(cols.dataline, 15);
    return readpoint(block, cols, pt);
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

TEST(CutPiece, CutOnlyWithMoreOfTheFileAfterIt) {
  std::istringstream in(std::string(199, 'h') + "\n" + std::string(198, 'h') + "\r\n" +
                        std::string(199, 'h'));
  ScanBlock block(in);
  EXPECT_TRUE(cutpiece(block, headerpiece).cut);
  EXPECT_FALSE(cutpiece(block, headerpiece).cut);  // the line end alone
  Piece piece = cutpiece(block, headerpiece);      // 198 and the line end
  EXPECT_EQ(piece.len, 199);
  EXPECT_FALSE(piece.cut);
  piece = cutpiece(block, headerpiece);  // 199 at the end of the file
  EXPECT_EQ(piece.len, 199);
  EXPECT_FALSE(piece.cut);
}

TEST(ReadPoint, StandInsForMissingColumns) {
  std::istringstream in(scanfile("tth cts", "10 5\n"));
  ScanBlock block(in);
  std::ostringstream con;
  ScanColumns cols = readheader(block, con);
  ScanPoint pt;
  ASSERT_TRUE(readpoint(block, cols, pt));
  EXPECT_EQ(pt.mon, 1000000.0f);
  EXPECT_EQ(pt.tim, 0.0f);
}
