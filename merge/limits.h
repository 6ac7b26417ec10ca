// The program's limits and the rules a scan meets on the grid, in one place
// for scanmerge and the companions that write and check scans for it.
#pragma once

#include <cmath>

constexpr int maxpts = 20001;  // grid indices 0 to 20000

// Dead time of the detector, seconds, 32-bit.
constexpr float tau = 3e-6f;
// s: a step counted shorter than this gets no dead-time correction
constexpr double shortesttime = 0.01;
// Beyond this correction (0.10: 10 %) the non-paralysable model is not to be
// trusted, and far more often the time per step is wrong.
constexpr double deadlimit = 0.10;

// non-paralysable detector: true counts = c / deadfactor(c, t), t in s
inline double deadfactor(float c, float t) { return 1.0 - static_cast<double>(c) * tau / t; }

constexpr int headerlines = 14;   // line 14: column names
constexpr int headerpiece = 200;  // a header line is read 199 characters at a time
constexpr int datapiece = 100;    // a data line 99 at a time
// the longest data line read whole: 98 characters and its LF
constexpr int maxdataline = datapiece - 2;

// deg: the grid step is the first two angles' difference to this, and a
// later scan's step may differ from the grid's by at most this
constexpr double steptolerance = 0.0001;

// deg: the grid step from file 1's first two angles, to 1/10000 deg with the
// integer part taken toward zero (+ 0.0: an integer has no -0)
inline double gridstep(double difference) {
  return (std::trunc(difference * 10000.0 + 0.5) + 0.0) * steptolerance;
}

// A later scan's step, its first two angles' 32-bit difference, fits the grid.
inline bool samestep(float difference, double tthstep) {
  return !(std::fabs(difference - tthstep) > steptolerance);
}
