#include <algorithm>
#include <climits>
#include <cmath>
#include <istream>
#include <ostream>

#include "merge/merged_pattern.h"
#include "merge/scanreader.h"
#include "text/console.h"

// Grid index of a later file's first row: the integer part of quotient + 0.5,
// toward zero. Returns false where that is negative, not finite or beyond an
// int, all of which mean the file starts below the grid.
static bool placeongrid(double start, const MergedPattern& p, int& datoffset) {
  double q = std::trunc((start - p.tthmin) / p.tthstep + 0.5);
  if (!(q >= 0.0 && q <= static_cast<double>(INT_MAX))) return false;
  datoffset = static_cast<int>(q);
  return true;
}

// Notes in info what no instrument gives, which the dialogue merges as it
// is: a first angle or step beyond 360 deg or not finite, a monitor of nan
// or inf (-inf is a low monitor), a time of inf (nan and -inf are warned of
// as no dead time correction).
static void noteodd(MergeInfo& info, const ScanPoint& pt, int i, const MergedPattern& p,
                    int filenum) {
  constexpr double maxangle = 360;  // deg: no 2theta nor step is larger
  auto odd = [](double deg) { return !(std::fabs(deg) <= maxangle); };
  if (i == 0) {
    info.start = pt.tth;
    info.oddstart = odd(pt.tth);
  } else if (i == 1 && filenum == 1) {
    info.step = p.tthstep;
    info.oddstep = odd(p.tthstep);
  }
  info.oddmon += std::isnan(pt.mon) || (std::isinf(pt.mon) && pt.mon > 0);
  info.oddtim += std::isinf(pt.sec) && pt.sec > 0;
}

// The angle of the last merged row as read, against the grid angle it was
// placed at: a step that is not a multiple of 0.0001 deg lets them drift.
static void checkdrift(const MergedPattern& p, int datoffset, int i, float lasttth,
                       std::ostream& warn) {
  if (i == 0 || p.tthstep == 0.0) return;
  double grid = gridangle(p, static_cast<long long>(datoffset) + i - 1);
  double off = grid - static_cast<double>(lasttth);
  if (std::isfinite(off) && std::fabs(off) > 0.5 * std::fabs(p.tthstep))
    say(warn, "!!!!! Grid off by %.4f deg at last point of this file.\n", off);
}

// Adds a row's dead-time-corrected counts c / f and its monitor counts m
// to grid point idx.
static inline void addrow(MergedPattern& p, long long idx, float c, float f, float m) {
  p.cts[idx] = static_cast<float>(static_cast<double>(p.cts[idx]) + static_cast<double>(c) / f);
  p.mon[idx] = static_cast<float>(static_cast<double>(p.mon[idx]) + m);
}

static void keeprow(ScanCounts& counts, float c, float m, float t) {
  counts.cts.push_back(c);
  counts.mon.push_back(m);
  counts.sec.push_back(t);
}

// twin: the file's own sums go to alone too; a copy of its own, so that the
// dialogue's row loop has no test for it
template <bool twin>
static bool mergeblock(MergedPattern& p, ScanBlock& scan, int filenum, std::ostream& con,
                       std::ostream& warn, MergeInfo& info, MergedPattern* alone) {
  ScanCounts* counts = info.counts;  // where the caller keeps the rows
  info = MergeInfo();
  info.counts = counts;
  ScanColumns cols = readheader(scan, con, warn);
  ScanRows rows(scan, cols, 1);  // the first row alone: it places the file, or refuses it
  double start = p.tthmin;       // deg; a file without rows has no start of its own
  int datoffset = 0;
  int i = 0;
  float lasttth = 0.0f;
  const ScanPoint* pt = nullptr;
  while (i < maxpts && (pt = nextrow(rows))) {
    float m = pt->mon;
    float c = pt->cts;
    lowmonitorrule(c, m);
    float t = pt->sec;  // s, 32-bit

    if (i == 0) {
      start = pt->tth;
      info.hasfirst = true;
      info.first = pt->tth;
      if (filenum == 1) {
        p.tthmin = start;
        datoffset = 0;
        say(con, "First point, %.1f sec., %.0f mon.\n", t, m);
        say(con, "Normalizing to %.0f monitor counts.\n", normmonitor);
      } else if (!placeongrid(start, p, datoffset)) {
        return false;
      }
      say(con, "Scan runs from 2theta = %.4f, datoffset = %d, ", start, datoffset);
      // then the rows up to the one that would go past the grid's last
      // index, which is read to be refused
      takeatmost(rows, std::min<long long>(maxpts, maxpts + 1LL - datoffset) - 1);
    } else if (i == 1) {
      if (filenum == 1) {
        p.tthstep = gridstep(pt->tth - p.tthmin);
        say(con, "tthstep = %.8f, ", p.tthstep);
      } else {
        float d = static_cast<float>(pt->tth - start);
        if (!samestep(d, p.tthstep)) {
          say(con, "\n");  // ends the line "Scan runs from"
          say(warn, "!!!!! Can't mix tthstep.  %f\n", d);
        }
      }
    }
    noteodd(info, *pt, i, p, filenum);

    long long idx = static_cast<long long>(datoffset) + i;
    if (idx >= maxpts) {
      say(warn, "Too long.  i, datoffset = %d,%d.  Aborting file.\n", i, datoffset);
      break;
    }

    float f = 1.0f;
    DeadTime dead = deadtimefactor(c, t, tau, f);
    if (dead == DeadTime::tooshort)
      say(warn, "Cannot make dead time correction:\n%.*s", pt->len, pt->line);
    else if (dead == DeadTime::unusable)
      say(warn, "Cannot make dead time correction.  tau, cts, tim = %f, %f, %f\n", tau, c, t);
    info.deadmax = std::max(info.deadmax, 1.0 / f);
    info.deadover += 1.0 / f - 1.0 > deadlimit;
    addrow(p, idx, c, f, m);
    if (twin) addrow(*alone, idx, c, f, m);
    if (counts) keeprow(*counts, c, m, t);
    lasttth = pt->tth;
    ++i;
  }
  // the last row merged is the highest index this file reached
  if (i > 0) p.imax = std::max(p.imax, datoffset + i - 1);
  if (twin && i > 0) alone->imax = std::max(alone->imax, datoffset + i - 1);
  // every row before it was a whole line
  if (!pt && rows.cut)
    say(warn, "!!!!! Line %d longer than %d characters: the data end before it.\n",
        cols.dataline + i, maxdataline);
  say(con, " to %.4f\n", start + (i - 1) * p.tthstep);
  checkdrift(p, datoffset, i, lasttth, warn);
  info.rows = i;
  info.datoffset = datoffset;
  if (counts) counts->datoffset = datoffset;
  return true;
}

bool mergescan(MergedPattern& p, std::istream& scan, int filenum, std::ostream& con) {
  MergeInfo info;
  return mergescan(p, scan, filenum, con, con, info);
}

bool mergescan(MergedPattern& p, std::istream& scan, int filenum, std::ostream& con,
               std::ostream& warn, MergeInfo& info, MergedPattern* alone) {
  ScanBlock block(scan);
  bool merged = alone ? mergeblock<true>(p, block, filenum, con, warn, info, alone)
                      : mergeblock<false>(p, block, filenum, con, warn, info, nullptr);
  giveback(block);
  return merged;
}
