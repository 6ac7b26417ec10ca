#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "merge/merged_pattern.h"
#include "merge/scanreader.h"
#include "tests/helpers.h"

namespace {

struct Runs {
  std::unique_ptr<MergedPattern> p{new MergedPattern()};
  int filenum = 0;
  // Merges one file given as "tth cts mon tim" rows; returns its console text.
  std::string merge(const std::string& rows, bool want = true) {
    std::istringstream scan(scanfile("tth cts mon tim", rows, "s", "c"));
    std::ostringstream con;
    EXPECT_EQ(mergescan(*p, scan, ++filenum, con), want);
    std::string text = con.str();
    EXPECT_EQ(text.substr(0, 4), "s\nc\n");
    return text.substr(4);
  }
};

// Rows from start by step, with the given counts, monitor and time.
std::string rows(double start, double step, int count, const char* rest = "100 2000 1000") {
  std::string text;
  char line[100];
  for (int k = 0; k < count; ++k) {
    std::snprintf(line, sizeof line, "%.5f %s\n", start + k * step, rest);
    text += line;
  }
  return text;
}

}  // namespace

TEST(MergeScan, TwoOverlappingFilesSumOnTheGrid) {
  Runs run;
  EXPECT_EQ(run.merge(rows(10.0, 0.02, 3)),
            "First point, 1.0 sec., 2000 mon.\n"
            "Normalizing to 1000000 monitor counts.\n"
            "Scan runs from 2theta = 10.0000, datoffset = 0, tthstep = 0.02000000,  to 10.0400\n");
  EXPECT_EQ(run.merge(rows(10.02, 0.02, 3)),
            "Scan runs from 2theta = 10.0200, datoffset = 1,  to 10.0600\n");
  MergedPattern& p = *run.p;
  EXPECT_EQ(p.imax, 3);
  EXPECT_DOUBLE_EQ(p.tthstep, 0.02);
  EXPECT_EQ(p.mon[0], 2000.0f);
  EXPECT_EQ(p.mon[1], 4000.0f);
  EXPECT_EQ(p.mon[3], 2000.0f);
  // 100 counts in 1 s with a dead time of 3e-6 s are 100 / (1 - 3e-4) true counts
  EXPECT_FLOAT_EQ(p.cts[0], 100.030009f);
  EXPECT_FLOAT_EQ(p.cts[1], 200.060018f);
  EXPECT_EQ(p.cts[4], 0.0f);
}

TEST(MergeScan, LaterFileStartBelowTheGrid) {
  Runs run;
  run.merge("10 1 2000 1000\n10.5 1 2000 1000\n");
  // half a step below tthmin still lands on index 0, a whole step off
  EXPECT_EQ(run.merge("9.5 1 2000 1000\n10 1 2000 1000\n"),
            "Scan runs from 2theta = 9.5000, datoffset = 0,  to 10.0000\n"
            "!!!!! Grid off by 0.5000 deg at last point of this file.\n");
  EXPECT_EQ(run.p->mon[1], 4000.0f);
  EXPECT_EQ(run.merge("9.25 1 2000 1000\n", false), "");
}

TEST(MergeScan, LaterFileAfterAFileOneRowOrNoRows) {
  Runs single;
  single.merge("10 1 2000 1000\n");
  EXPECT_EQ(single.merge("11 1 2000 1000\n", false), "");

  Runs empty;  // tthmin stays 0; the end line uses it as the start
  EXPECT_EQ(empty.merge(""), " to 0.0000\n");
  EXPECT_EQ(empty.merge("11 1 2000 1000\n", false), "");
}

TEST(MergeScan, FallingFirstFileTruncatesItsStep) {
  Runs run;
  EXPECT_EQ(run.merge("10 1 2000 1000\n9.98 1 2000 1000\n"),
            "First point, 1.0 sec., 2000 mon.\n"
            "Normalizing to 1000000 monitor counts.\n"
            "Scan runs from 2theta = 10.0000, datoffset = 0, tthstep = -0.01990000,  to 9.9801\n");
  // a fall of less than half a ten-thousandth truncates to a step of 0, not -0
  Runs tiny;
  EXPECT_NE(tiny.merge("10 1 2000 1000\n9.99994 1 2000 1000\n").find("tthstep = 0.00000000, "),
            std::string::npos);
}

TEST(MergeScan, DeadTimeAndMonitorRules) {
  Runs run;
  std::string console = run.merge(
      "10.0 400 999 1000\n"         // low monitor: no counts, full monitor
      "10.5 400 2000 10\n"          // 10 ms is just below 0.01 s: uncorrected
      "11.0 400 2000 5\n"           // too short as well
      "11.5 1000000 2000 1000\n");  // factor below 0: uncorrected
  EXPECT_EQ(
      console,
      "First point, 1.0 sec., 1000000 mon.\n"
      "Normalizing to 1000000 monitor counts.\n"
      "Scan runs from 2theta = 10.0000, datoffset = 0, tthstep = 0.50000000, "
      "Cannot make dead time correction:\n10.5 400 2000 10\n"
      "Cannot make dead time correction:\n11.0 400 2000 5\n"
      "Cannot make dead time correction.  tau, cts, tim = 0.000003, 1000000.000000, 1.000000\n"
      " to 11.5000\n");
  const MergedPattern& p = *run.p;
  EXPECT_EQ(p.cts[0], 0.0f);
  EXPECT_EQ(p.mon[0], 1000000.0f);
  EXPECT_EQ(p.cts[1], 400.0f);
  EXPECT_EQ(p.cts[2], 400.0f);
  EXPECT_EQ(p.cts[3], 1000000.0f);
}

// Each row's own time corrects its counts, the same time repeated or not.
TEST(MergeScan, DeadTimeOfRepeatedAndChangedTimes) {
  Runs run;
  std::string console = run.merge(
      "10.0 1000 2000 1500\n"
      "10.5 1000 2000 1500\n"
      "11.0 1000 2000 nan\n"
      "11.5 1000 2000 -nan\n"
      "12.0 1000 2000 3000\n");
  EXPECT_NE(console.find("tim = 0.000003, 1000.000000, nan\n"
                         "Cannot make dead time correction.  tau, cts, tim = 0.000003, "
                         "1000.000000, -nan\n"),
            std::string::npos)
      << console;
  const MergedPattern& p = *run.p;
  // 1000 / (1 - 1000 * 3e-6 / t), with t 1.5 s and 3 s
  EXPECT_FLOAT_EQ(p.cts[0], 1002.004008f);
  EXPECT_EQ(p.cts[1], p.cts[0]);
  EXPECT_EQ(p.cts[2], 1000.0f);
  EXPECT_EQ(p.cts[3], 1000.0f);
  EXPECT_FLOAT_EQ(p.cts[4], 1001.001001f);
}

// Rows are read a batch ahead of the merge and the message of a row without
// a time quotes the row where it lies in the block: over a file several
// blocks long, CR LF and LF rows of every length, each message must quote
// its own row as read.
TEST(MergeScan, EachRowWithoutATimeQuotedAsRead) {
  Runs run;
  std::string text, want;
  for (int k = 0; k < 12000; ++k) {
    std::string row = std::to_string(10 + k * 0.01).substr(0, 8) + std::string(k % 40, ' ') + " " +
                      std::to_string(k) + " 2000 0";
    text += row + (k % 3 ? "\n" : "\r\n");
    want += "Cannot make dead time correction:\n" + row + "\n";
  }
  std::string console = run.merge(text);
  std::string quoted;
  for (size_t at = 0; (at = console.find("Cannot make", at)) != std::string::npos;) {
    size_t end = console.find('\n', console.find('\n', at) + 1) + 1;
    quoted += console.substr(at, end - at);
    at = end;
  }
  EXPECT_EQ(quoted, want);
  EXPECT_GT(text.size(), 3u * blockbytes);
}

TEST(MergeScan, StepMismatchWarnsAndMergesOnTheGrid) {
  Runs run;
  run.merge("10 1 2000 1000\n10.5 1 2000 1000\n");
  EXPECT_EQ(run.merge("11 1 2000 1000\n11.875 1 2000 1000\n"),
            "Scan runs from 2theta = 11.0000, datoffset = 2, \n"
            "!!!!! Can't mix tthstep.  0.875000\n"
            " to 11.5000\n"
            "!!!!! Grid off by -0.3750 deg at last point of this file.\n");
  EXPECT_EQ(run.p->imax, 3);
}

TEST(MergeScan, GridCapacity) {
  Runs first;  // 20001 rows are taken, the rest is never read
  first.merge(rows(0.0, 0.01, 20005));
  EXPECT_EQ(first.p->imax, 20000);
  EXPECT_EQ(first.p->mon[20000], 2000.0f);

  Runs later;
  later.merge("10 1 2000 1000\n10.5 1 2000 1000\n");
  EXPECT_EQ(later.merge(rows(10009.5, 0.5, 3)),
            "Scan runs from 2theta = 10009.5000, datoffset = 19999, "
            "Too long.  i, datoffset = 2,19999.  Aborting file.\n"
            " to 10010.0000\n");
  EXPECT_EQ(later.p->imax, 20000);
  EXPECT_EQ(later.p->mon[20000], 2000.0f);
}

TEST(MergeScan, GridDriftWarning) {
  // a step of 0.01313 deg is gridded as 0.0131: after 2999 steps the grid
  // angle 49.2869 lies 0.0900 below the row's own 49.37687
  Runs odd;
  std::string console = odd.merge(rows(10.0, 0.01313, 3000));
  EXPECT_NE(
      console.find(" to 49.2869\n!!!!! Grid off by -0.0900 deg at last point of this file.\n"),
      std::string::npos);

  for (double step : {0.01, 0.02, 0.05}) {
    Runs round;
    std::string text = round.merge(rows(5.0, step, static_cast<int>(145.0 / step) + 1));
    EXPECT_EQ(text.find("Grid off"), std::string::npos) << step;
    // a later file a third of a step off the grid is still on its nearest point
    text = round.merge(rows(20.0 + step / 3, step, 100));
    EXPECT_EQ(text.find("Grid off"), std::string::npos) << step;
  }
}

// A row that fills its 99-character piece before its line end, with more of
// the file after it, may hold a cut number: the data end before it, and the
// file's console line tells which line it was (rows start on line 15).
TEST(MergeScan, RowCutAtItsPieceEndIsToldAndNotMerged) {
  const auto pad = [](std::string text, size_t length) {
    text.resize(length, ' ');
    return text;
  };
  const std::string first = "10.00 100 2000 1000\n";
  const std::string cut[] = {
      pad("10.02 100 2000 1000", 99) + "\n10.04 100 2000 1000\n",
      // the rest of a 120-character line would have been a row at 10.04
      pad(pad("10.02 100 2000 1000", 99) + "10.04 100 2000 1000", 120) + "\n",
      // a time of 1000 ms cut to 100 at the piece's end
      pad("10.02 100 2000", 96) + "1000\n",
  };
  for (const std::string& rest : cut) {
    Runs run;
    EXPECT_EQ(run.merge(first + rest),
              "First point, 1.0 sec., 2000 mon.\n"
              "Normalizing to 1000000 monitor counts.\n"
              "Scan runs from 2theta = 10.0000, datoffset = 0, "
              "!!!!! Line 16 longer than 98 characters: the data end before it.\n"
              " to 10.0000\n");
    EXPECT_EQ(run.p->imax, 0);
    EXPECT_EQ(run.p->tthstep, 0.0);
    EXPECT_EQ(run.p->mon[1], 0.0f);
    EXPECT_EQ(run.p->mon[2], 0.0f);
  }
}

TEST(MergeScan, LinesThatAreNotCut) {
  const std::string whole =
      "First point, 1.0 sec., 2000 mon.\n"
      "Normalizing to 1000000 monitor counts.\n"
      "Scan runs from 2theta = 10.0000, datoffset = 0, tthstep = 0.02000000,  to 10.0200\n";
  std::string row2 = "10.02 100 2000 1000";
  // a long text trailer converts no number: the data end without a word
  Runs run;
  EXPECT_EQ(run.merge(rows(10.0, 0.02, 2) + "end of scan" + std::string(150, '.') + "\n"), whole);
  // a last line of 99 characters with nothing after it
  run = Runs();
  EXPECT_EQ(run.merge(rows(10.0, 0.02, 1) + row2 + std::string(80, ' ')), whole);
  EXPECT_EQ(run.p->mon[1], 2000.0f);
  // 98 characters and CR LF fit the piece
  run = Runs();
  EXPECT_EQ(run.merge("10.00 100 2000 1000" + std::string(79, ' ') + "\r\n" + row2 + "\n"), whole);
  EXPECT_EQ(run.p->mon[1], 2000.0f);
}
