// Scan files no instrument writes: huge lines, NUL bytes, random bytes,
// truncated headers, numbers a 32-bit float cannot hold, grids pushed past
// their end. The reader and the merge must give a defined result for each.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "merge/merged_pattern.h"
#include "merge/scanreader.h"

using namespace std::string_literals;

namespace {

// Lines 1-10 skipped, 11 and 12 echoed, 13 skipped, 14 the column names.
std::string header(const std::string& columns = "tth cts mon tim") {
  std::string h;
  for (int k = 1; k <= 10; ++k) h += "skip\n";
  return h + "sample\nconditions\n\n" + columns + "\n";
}
const std::string echo = "sample\nconditions\n";
const std::string firstlines =
    "Normalizing to 1000000 monitor counts.\n"
    "Scan runs from 2theta = ";

// File 1 of most cases: tthmin 10, tthstep 0.5, imax 1.
const std::string grid = header() + "10 0 2000 1000\n10.5 0 2000 1000\n";

struct Merged {
  bool merged;
  std::string con;
  std::streamoff pos;  // where reading stopped
};

Merged merge(MergedPattern& p, const std::string& file, int filenum) {
  std::istringstream scan(file);
  std::ostringstream con;
  bool merged = mergescan(p, scan, filenum, con);
  return {merged, con.str(), static_cast<std::streamoff>(scan.tellg())};
}

std::unique_ptr<MergedPattern> fresh() {
  return std::unique_ptr<MergedPattern>(new MergedPattern());
}

std::unique_ptr<MergedPattern> gridded() {
  auto p = fresh();
  merge(*p, grid, 1);
  return p;
}

// What must hold whatever the file held.
void expectsound(const MergedPattern& p, const Merged& m) {
  ASSERT_GE(p.imax, 0);
  ASSERT_LT(p.imax, maxpts);
  for (int k = p.imax + 1; k < maxpts; ++k)
    ASSERT_TRUE(p.cts[k] == 0.0f && p.mon[k] == 0.0f) << "index " << k;
  ASSERT_FALSE(m.con.empty());
  EXPECT_EQ(m.con.back(), '\n');
}

const std::string cutdata = "!!!!! Line 15 longer than 98 characters: the data end before it.\n";

std::string headercut(int piece) {
  return "!!!!! Header line " + std::to_string(piece) +
         " longer than 198 characters: the lines after it shift.\n";
}

}  // namespace

// A data line is read 99 characters at a time; a row that fills its piece
// with more of the line after it may hold a cut number, so the data end there.
TEST(HostileLines, DataLineOfOneMebibyteEndsTheDataBeforeIt) {
  std::string row = "10.0 0 2000 1000";
  std::string file =
      header() + row + std::string(1048576 - row.size(), ' ') + "\n10.5 0 2000 1000\n";
  auto p = fresh();
  Merged m = merge(*p, file, 1);
  EXPECT_EQ(m.con, echo + cutdata + " to 0.0000\n");
  EXPECT_EQ(m.pos, static_cast<std::streamoff>(header().size() + 99));
  EXPECT_EQ(p->imax, 0);
  EXPECT_EQ(p->mon[0], 0.0f);

  // a line of one mebibyte of numbers: its first piece holds eight
  std::string ones;
  for (int k = 0; k < 524288; ++k) ones += "1 ";
  p = fresh();
  m = merge(*p, header() + ones + "\n", 1);
  EXPECT_EQ(m.con, echo + cutdata + " to 0.0000\n");
  EXPECT_EQ(m.pos, static_cast<std::streamoff>(header().size() + 99));
  EXPECT_EQ(p->mon[0], 0.0f);
}

// A header line is read 199 characters at a time: a longer line counts as
// several of the fourteen, each cut piece told as it is read.
TEST(HostileLines, HeaderLineOfOneMebibyteSwallowsTheHeader) {
  std::string file = std::string(1048576, 'x') + "\n" + header().substr(5) + "10 0 2000 1000\n";
  std::istringstream scan(file);
  ScanBlock block(scan);
  std::ostringstream con;
  ScanColumns cols = readheader(block, con);
  // header lines 1 to 14 are its first 14 pieces, none with a line end
  std::string told;
  for (int piece = 1; piece <= 14; ++piece) {
    told += headercut(piece);
    if (piece == 11 || piece == 12) told += std::string(199, 'x');
  }
  EXPECT_EQ(con.str(), told + "HELP! can't decode columns " + std::string(199, 'x') + "\n");
  EXPECT_EQ(cols.n, 1);
  EXPECT_EQ(cols.tth, -1);
  EXPECT_EQ(cols.dataline, 1);
  giveback(block);
  EXPECT_EQ(scan.tellg(), 14 * 199);
  ScanPoint pt;
  EXPECT_FALSE(readpoint(block, cols, pt));  // 99 x: no number, no warning
  EXPECT_FALSE(pt.cut);
  giveback(block);
  EXPECT_EQ(scan.tellg(), 14 * 199 + 99);

  auto p = fresh();
  Merged m = merge(*p, file, 1);
  EXPECT_EQ(m.con, con.str() + " to 0.0000\n");
  EXPECT_EQ(p->mon[0], 0.0f);
}

TEST(HostileLines, LongHeaderLineShiftsTheLinesAfterIt) {
  std::string body = header().substr(5) + "10 0 2000 1000\n";  // lines 2 on
  // 198 + LF is one piece; 199 + LF two; 250 + LF two; 450 + LF three
  auto p = fresh();
  Merged m = merge(*p, std::string(198, 'a') + "\n" + body, 1);
  EXPECT_EQ(m.con, echo + "First point, 1.0 sec., 2000 mon.\n" + firstlines +
                       "10.0000, datoffset = 0,  to 10.0000\n");

  for (int length : {199, 250}) {
    p = fresh();
    m = merge(*p, std::string(length, 'a') + "\n" + body, 1);
    // line 10 and "sample" echoed; the blank line 13 is read as line 14
    EXPECT_EQ(m.con, headercut(1) +
                         "skip\nsample\nHELP! can't decode columns \n\n"
                         " to 0.0000\n")
        << length;
    EXPECT_EQ(p->mon[0], 0.0f);
  }

  p = fresh();
  m = merge(*p, std::string(450, 'a') + "\n" + body, 1);
  // "conditions" is read as line 14; the blank line 13 then ends the data
  EXPECT_EQ(m.con, headercut(1) + headercut(2) +
                       "skip\nskip\nHELP! can't decode columns conditions\n\n"
                       " to 0.0000\n");
  EXPECT_EQ(p->mon[0], 0.0f);

  // a cut line 11: told before its first piece is echoed; its rest is
  // echoed as line 12
  p = fresh();
  std::string lines1to10 = header().substr(0, 50);
  m = merge(
      *p,
      lines1to10 + std::string(250, 's') + "\nconditions\n\n" + "tth cts mon tim\n10 0 2000 1000\n",
      1);
  EXPECT_EQ(m.con, headercut(11) + std::string(250, 's') +
                       "\nHELP! can't decode columns \n\n to 0.0000\n");
}

// Lines are counted as an editor counts them, whatever pieces the header
// took: here line 1 fills pieces 1 and 2, the column line is line 13, the
// rows start on line 14 and line 15 is cut.
TEST(HostileLines, CutDataLineCountedAfterACutHeaderLine) {
  std::string file = std::string(250, 'a') + "\n" + header().substr(10) +
                     "10 0 2000 1000\n10.5 0 2000 1000" + std::string(104, ' ') +
                     "\n11 0 2000 1000\n";
  auto p = fresh();
  Merged m = merge(*p, file, 1);
  EXPECT_EQ(m.con, headercut(1) + echo + "First point, 1.0 sec., 2000 mon.\n" + firstlines +
                       "10.0000, datoffset = 0, "
                       "!!!!! Line 15 longer than 98 characters: the data end before it.\n"
                       " to 10.0000\n");
  EXPECT_EQ(p->imax, 0);
  EXPECT_EQ(p->mon[0], 2000.0f);
}

// A NUL ends what the numbers and the names are read from, and what the
// warnings quote; lines 11 and 12 are echoed whole, as read.
TEST(HostileBytes, NulInHeaderAndDataLines) {
  std::string lines1to10;
  for (int k = 1; k <= 10; ++k) lines1to10 += "skip\n";
  std::string file =
      lines1to10 + "sam\0ple\ncond\n\n"s + "tth cts\0 mon tim\n"s + "10 0 2000 1000\n";
  auto p = fresh();
  Merged m = merge(*p, file, 1);
  // line 14 names two columns before its NUL; mon and tim stand in as a
  // full monitor and no time
  EXPECT_EQ(m.con,
            "sam\0ple\ncond\nHELP! can't decode columns tth cts\n"
            "First point, 0.0 sec., 1000000 mon.\n"s +
                firstlines +
                "10.0000, datoffset = 0, "
                "Cannot make dead time correction:\n10 0 2000 1000\n"
                " to 10.0000\n");

  std::string rows = "10 0 2000 5\0xy\n"s + "10.5 0 2000 1000\0 7 7 7 7 7\n"s +
                     "11\0 0 2000 1000\n"s + "11.5 0 2000 1000\n";
  p = fresh();
  m = merge(*p, header() + rows, 1);
  // 5 ms is too short to correct; the third row converts one number
  EXPECT_EQ(m.con, echo + "First point, 0.0 sec., 2000 mon.\n" + firstlines +
                       "10.0000, datoffset = 0, "
                       "Cannot make dead time correction:\n10 0 2000 5"
                       "tthstep = 0.50000000,  to 10.5000\n");
  EXPECT_EQ(p->imax, 1);
  EXPECT_EQ(m.pos, static_cast<std::streamoff>(header().size() + 15 + 28 + 16));
}

TEST(HostileBytes, RandomFilesLeaveASoundPattern) {
  std::mt19937 gen(20011);
  const std::string numberish = "0123456789.-+eE \t\n\rinfa";
  for (size_t size : {1u, 14u, 199u, 200u, 4096u, 100000u}) {
    for (int kind = 0; kind < 3; ++kind) {
      std::string file = kind == 0 ? std::string() : header();
      for (size_t k = 0; k < size; ++k)
        file += kind == 2 ? numberish[gen() % numberish.size()] : static_cast<char>(gen() & 0xff);
      SCOPED_TRACE("size " + std::to_string(size) + " kind " + std::to_string(kind));
      auto p = fresh();
      Merged m = merge(*p, file, 1);
      EXPECT_TRUE(m.merged);
      expectsound(*p, m);
      p = gridded();
      m = merge(*p, file, 2);
      expectsound(*p, m);
      EXPECT_EQ(p->tthmin, 10.0);
      EXPECT_EQ(p->tthstep, 0.5);
    }
  }
}

// Without a line 14 there are no columns and so no rows. The file's line
// still ends at "start + (rows - 1) * tthstep", the start of a file without
// rows being tthmin.
TEST(HostileBytes, FileEndsInsideTheHeader) {
  for (std::string file : {""s, "a\nb\nc\n"s, "\0\0\0"s}) {
    auto p = fresh();
    Merged m = merge(*p, file, 1);
    EXPECT_TRUE(m.merged);
    EXPECT_EQ(m.con, "HELP! can't decode columns \n to 0.0000\n");
    EXPECT_EQ(p->imax, 0);
    EXPECT_EQ(p->mon[0], 0.0f);

    p = gridded();
    m = merge(*p, file, 2);
    EXPECT_TRUE(m.merged);
    EXPECT_EQ(m.con, "HELP! can't decode columns \n to 9.5000\n");
    EXPECT_EQ(p->imax, 1);
    EXPECT_EQ(p->mon[0], 2000.0f);
  }
}

// Numbers past a 32-bit float convert to inf; nan and inf are numbers too.
// Each role then goes through the merging rules as they stand.
TEST(NonFinite, EachRoleOfAFirstRow) {
  struct Case {
    std::string row;       // tth cts mon tim
    std::string sec, mon;  // the first-point line's numbers
    std::string warning;   // printed inside the file's line
    float cts, monsum;     // at index 0; nan compared as nan
  };
  const float infinite = INFINITY, notanumber = NAN;
  const Case cases[] = {
      {"10 1e40 2000 1000", "1.0", "2000",
       "Cannot make dead time correction.  tau, cts, tim = 0.000003, inf, "
       "1.000000\n",
       infinite, 2000},
      {"10 inf 2000 1000", "1.0", "2000",
       "Cannot make dead time correction.  tau, cts, tim = 0.000003, inf, "
       "1.000000\n",
       infinite, 2000},
      // a factor of inf or nan corrects nothing: the counts go in as read
      {"10 -inf 2000 1000", "1.0", "2000",
       "Cannot make dead time correction.  tau, cts, tim = 0.000003, -inf, "
       "1.000000\n",
       -infinite, 2000},
      {"10 nan 2000 1000", "1.0", "2000",
       "Cannot make dead time correction.  tau, cts, tim = 0.000003, nan, "
       "1.000000\n",
       notanumber, 2000},
      {"10 0 1e40 1000", "1.0", "inf", "", 0, infinite},
      {"10 0 nan 1000", "1.0", "nan", "", 0, notanumber},
      // below 1000: full monitor weight, no counts
      {"10 500 -inf 1000", "1.0", "1000000", "", 0, 1000000},
      {"10 500 2000 inf", "inf", "2000", "", 500, 2000},
      // nan is not below 0.01 s, but the factor nan is no correction
      {"10 0 2000 nan", "nan", "2000",
       "Cannot make dead time correction.  tau, cts, tim = 0.000003, 0.000000, "
       "nan\n",
       0, 2000},
      {"10 500 2000 -inf", "-inf", "2000", "Cannot make dead time correction:\n10 500 2000 -inf\n",
       500, 2000},
      {"10 500 2000 -1e40", "-inf", "2000",
       "Cannot make dead time correction:\n10 500 2000 -1e40\n", 500, 2000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    auto p = fresh();
    Merged m = merge(*p, header() + c.row + "\n", 1);
    EXPECT_EQ(m.con, echo + "First point, " + c.sec + " sec., " + c.mon + " mon.\n" + firstlines +
                         "10.0000, datoffset = 0, " + c.warning + " to 10.0000\n");
    if (std::isnan(c.cts))
      EXPECT_TRUE(std::isnan(p->cts[0])) << p->cts[0];
    else
      EXPECT_EQ(p->cts[0], c.cts);
    if (std::isnan(c.monsum))
      EXPECT_TRUE(std::isnan(p->mon[0])) << p->mon[0];
    else
      EXPECT_EQ(p->mon[0], c.monsum);
  }
}

TEST(NonFinite, AngleOfTheFirstFile) {
  auto p = fresh();
  Merged m = merge(*p, header() + "nan 0 2000 1000\n10.5 0 2000 1000\n", 1);
  EXPECT_EQ(m.con, echo + "First point, 1.0 sec., 2000 mon.\n" + firstlines +
                       "nan, datoffset = 0, tthstep = nan,  to nan\n");
  EXPECT_EQ(p->imax, 1);
  // no later file can be placed on a nan grid
  m = merge(*p, grid, 2);
  EXPECT_FALSE(m.merged);

  // an infinite step puts every later file at index 0, off its own step
  p = fresh();
  m = merge(*p, header() + "10 0 2000 1000\ninf 0 2000 1000\n", 1);
  EXPECT_EQ(m.con, echo + "First point, 1.0 sec., 2000 mon.\n" + firstlines +
                       "10.0000, datoffset = 0, tthstep = inf,  to inf\n");
  m = merge(*p, header() + "20 0 2000 1000\n20.5 0 2000 1000\n", 2);
  EXPECT_TRUE(m.merged);
  EXPECT_EQ(m.con, echo +
                       "Scan runs from 2theta = 20.0000, datoffset = 0, "
                       "\n!!!!! Can't mix tthstep.  0.500000\n to inf\n");
  EXPECT_EQ(p->mon[0], 4000.0f);
  EXPECT_EQ(p->mon[1], 4000.0f);
}

TEST(NonFinite, LaterFileStartingOffTheGridEndsTheRun) {
  for (const char* start : {"nan", "-nan", "inf", "-inf", "1e40", "-1e40"}) {
    SCOPED_TRACE(start);
    auto p = gridded();
    std::string rows = start + " 0 2000 1000\n11 0 2000 1000\n"s;
    Merged m = merge(*p, header() + rows, 2);
    EXPECT_FALSE(m.merged);
    EXPECT_EQ(m.con, echo);
    EXPECT_EQ(p->imax, 1);
    EXPECT_EQ(p->mon[0], 2000.0f);
    EXPECT_EQ(p->mon[1], 2000.0f);
  }
}

// tthstep 0.0001: a start 1e6 deg up is 1e10 steps, past any int.
TEST(GridLimits, DatoffsetBeyondAnInt) {
  const std::string fine = header() + "0 0 2000 1000\n0.0001 0 2000 1000\n";
  auto p = fresh();
  merge(*p, fine, 1);
  ASSERT_EQ(p->tthstep, 0.0001);
  Merged m = merge(*p, header() + "1e6 0 2000 1000\n", 2);
  EXPECT_FALSE(m.merged);
  EXPECT_EQ(m.con, echo);

  // 2147480000 steps still fits: placed, then at once too long
  m = merge(*p, header() + "214748 0 2000 1000\n214748.0001 0 2000 1000\n", 2);
  EXPECT_TRUE(m.merged);
  EXPECT_EQ(m.con, echo +
                       "Scan runs from 2theta = 214748.0000, "
                       "datoffset = 2147480000, Too long.  i, datoffset = "
                       "0,2147480000.  Aborting file.\n to 214747.9999\n");
  EXPECT_EQ(p->imax, 1);
}

TEST(GridLimits, LaterFilePastTheLastIndex) {
  // 12510 deg is 25000 steps of 0.5 above tthmin 10
  auto p = gridded();
  std::string file = header() + "12510 0 2000 1000\n12510.5 0 2000 1000\n";
  Merged m = merge(*p, file, 2);
  EXPECT_EQ(m.con, echo +
                       "Scan runs from 2theta = 12510.0000, "
                       "datoffset = 25000, Too long.  i, datoffset = "
                       "0,25000.  Aborting file.\n to 12509.5000\n");
  EXPECT_EQ(m.pos, static_cast<std::streamoff>(header().size() + 18));
  EXPECT_EQ(p->imax, 1);

  // 10010 deg is index 20000, the last: its first row fits, its second not
  p = gridded();
  m = merge(*p, header() + "10010 0 2000 1000\n10010.5 0 2000 1000\n", 2);
  EXPECT_EQ(m.con, echo +
                       "Scan runs from 2theta = 10010.0000, "
                       "datoffset = 20000, Too long.  i, datoffset = "
                       "1,20000.  Aborting file.\n to 10010.0000\n");
  EXPECT_EQ(p->imax, 20000);
  EXPECT_EQ(p->mon[20000], 2000.0f);
}

// The merge reads rows ahead of itself; what it leaves of the file and what
// it tells must be as if it read one row at a time.
TEST(GridLimits, RowsReadAheadEndWhereTheFileDoes) {
  // index 19980 is 10000 deg: rows 0 to 20 fit, row 21 is too long
  auto p = gridded();
  std::string rows;
  size_t through21 = 0;
  for (int i = 0; i < 30; ++i) {
    rows += std::to_string(10000 + 0.5 * i) + " 0 2000 1000\n";
    if (i == 21) through21 = header().size() + rows.size();
  }
  Merged m = merge(*p, header() + rows, 2);
  EXPECT_EQ(m.con, echo +
                       "Scan runs from 2theta = 10000.0000, datoffset = 19980, "
                       "Too long.  i, datoffset = 21,19980.  Aborting file.\n"
                       " to 10010.0000\n");
  EXPECT_EQ(m.pos, static_cast<std::streamoff>(through21));
  EXPECT_EQ(p->imax, 20000);

  // 20 rows, then a cut one: line 35 of the file
  p = fresh();
  std::string file = header();
  for (int i = 0; i < 20; ++i) file += std::to_string(10 + i) + " 0 2000 1000\n";
  size_t before = file.size();
  file += "30 0 2000 1000" + std::string(100, ' ') + "\n31 0 2000 1000\n";
  m = merge(*p, file, 1);
  EXPECT_NE(m.con.find(" 1.00000000, !!!!! Line 35 longer than 98 characters: the data end "
                       "before it.\n to 29.0000\n"),
            std::string::npos)
      << m.con;
  EXPECT_EQ(m.pos, static_cast<std::streamoff>(before + 99));
  EXPECT_EQ(p->imax, 19);
}

TEST(GridLimits, MillionRowsReadOnlyUpToTheLastIndex) {
  std::string file = header();
  char row[32];
  for (int k = 0; k < 1000000; ++k) {
    std::snprintf(row, sizeof row, "%8.2f 0 2000 1000\n", 10 + 0.01 * k);
    file += row;  // 21 characters each
  }
  auto p = fresh();
  auto t0 = std::chrono::steady_clock::now();
  Merged m = merge(*p, file, 1);
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_EQ(m.con, echo + "First point, 1.0 sec., 2000 mon.\n" + firstlines +
                       "10.0000, datoffset = 0, tthstep = 0.01000000,  "
                       "to 210.0000\n");
  EXPECT_EQ(p->imax, 20000);
  EXPECT_EQ(p->mon[20000], 2000.0f);
  EXPECT_EQ(m.pos, static_cast<std::streamoff>(header().size() + 20001 * 21));
  EXPECT_LT(secs, 5.0);
}
