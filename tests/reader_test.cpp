#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>
#include <string>

#include "merge/numbers.h"
#include "merge/scanreader.h"
#include "streampiece.h"
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

}  // namespace

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

// The pieces cut from blocks of many sizes must be those the stream reader
// cut, with the same cut marks, and giveback must leave the stream where it
// left it: on lines of every length around both piece sizes, CR LF falling
// at the piece's end and across the blocks' ends.
TEST(CutPiece, AgreesWithTheStreamReaderOnRandomText) {
  std::mt19937 gen(7);
  const char alphabet[] = {'a', ' ', '\r', '\n', '\0', '1'};
  for (int trial = 0; trial < 6000; ++trial) {
    std::string text;
    int size = trial % 2 ? datapiece : headerpiece;
    for (int n = static_cast<int>(gen() % 40); n > 0; --n) {
      // mostly long runs of one byte, so lines end near the piece size
      char ch = alphabet[gen() % 6];
      text.append(gen() % 4 == 0 ? 1 : size - 4 + gen() % 8, ch);
      if (gen() % 3 == 0) text += "\r\n";
    }
    int blocksize = trial % 3 == 0 ? blockbytes : headerpiece + 1 + static_cast<int>(gen() % 300);
    std::istringstream fast(text), slow(text);
    ScanBlock block(fast, blocksize);
    char want[headerpiece];
    int pieces = static_cast<int>(gen() % 60);  // then leave the file
    for (int k = 0; k < pieces; ++k) {
      // headers and rows in one file, as the reader takes them
      int piecesize = k < 14 && trial % 4 == 1 ? headerpiece : size;
      Piece got = cutpiece(block, piecesize);
      int len = streampiece(slow, want, piecesize);
      ASSERT_EQ(got.len, len) << "trial " << trial << " piece " << k;
      if (len < 0) break;
      ASSERT_EQ(std::string(got.text, static_cast<size_t>(len)),
                std::string(want, static_cast<size_t>(len)));
      ASSERT_EQ(got.cut, streampiececut(slow, want, len, piecesize)) << "trial " << trial;
    }
    giveback(block);
    slow.clear();
    ASSERT_EQ(fast.tellg(), slow.tellg()) << "trial " << trial;
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

// Rows are converted where they lie in the block: each must come out as
// its piece copied and converted alone by sscanf, and leave the block as it
// was for the next row, also where a row ends at the block's end or the
// file's, where a ninth number or the piece's end follows the eighth, and
// where a NUL or a number that is not plain stands in the row.
TEST(ReadPoint, ConvertsEachRowAsItsPieceAlone) {
  std::mt19937 gen(11);
  const std::string tokens[] = {
      "12", "3.5", "-7", "1e3", "0.001", "99999999", "x", std::string(1, '\0'), "nan", "\r", ""};
  for (int trial = 0; trial < 3000; ++trial) {
    std::string rows;
    for (int n = static_cast<int>(gen() % 30); n > 0; --n) {
      // wide gaps now and then, so that rows pass the piece's 99 characters
      int widest = gen() % 4 == 0 ? 16 : 3;
      for (int k = 0; k < 4; ++k) rows += tokens[gen() % 6] + std::string(1 + gen() % widest, ' ');
      // odd tokens after the four a row needs, for sscanf to take in place
      for (int k = static_cast<int>(gen() % 7); k > 0; --k)
        rows += tokens[gen() % 11] + std::string(1 + gen() % widest, ' ');
      rows += gen() % 5 == 0 ? "\r\n" : "\n";
    }
    if (gen() % 2 == 0 && !rows.empty()) rows.pop_back();  // no line end at the file's end
    std::string file = scanfile("tth cts mon tim", rows);
    std::istringstream fast(file), slow(file);
    ScanBlock block(fast, headerpiece + 1 + static_cast<int>(gen() % 300));
    std::ostringstream con;
    ScanColumns cols = readheader(block, con);
    char want[headerpiece];
    for (int k = 0; k < 14; ++k) streampiece(slow, want, headerpiece);
    ScanPoint pt;
    for (int row = 0;; ++row) {
      bool got = readpoint(block, cols, pt);
      int len = streampiece(slow, want, datapiece);
      float v[8];
      int n = sscanfpiece(want, len, v);
      bool whole = len > 0 && !streampiececut(slow, want, len, datapiece);
      ASSERT_EQ(got, n >= 4 && whole) << "trial " << trial << " row " << row;
      if (!got) break;
      ASSERT_EQ(pt.nval, n) << "trial " << trial << " row " << row;
      EXPECT_EQ(std::memcmp(pt.val, v, sizeof(float) * static_cast<size_t>(n)), 0);
      ASSERT_EQ(pt.len, len);
      ASSERT_EQ(std::memcmp(pt.line, want, static_cast<size_t>(len)), 0);
    }
    giveback(block);
    slow.clear();
    ASSERT_EQ(fast.tellg(), slow.tellg()) << "trial " << trial;
  }
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
