// The program's limits and the rules of the merge, each written once here
// for scanmerge and the companions that write and check scans for it.
#pragma once

#include <cmath>

constexpr int maxpts = 20001;  // grid indices 0 to 20000

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

// deg: the angle of grid index k.
inline double gridangle(double tthmin, double tthstep, long long k) {
  return tthmin + static_cast<double>(k) * tthstep;
}

// Monitor counts per unit of intensity: the merged counts are normalised to
// this many monitor counts, and a row without a usable monitor counts as
// this many.
constexpr double normmonitor = 1000000.0;
constexpr float fullmonitor = static_cast<float>(normmonitor);  // exact in 32 bits

// A row with fewer monitor counts than this adds no counts and a full
// monitor: it weighs in as a point measured with nothing.
constexpr float lowmonitor = 1000.0f;
inline void lowmonitorrule(float& cts, float& mon) {
  if (mon < lowmonitor) {
    mon = fullmonitor;
    cts = 0.0f;
  }
}

// Dead time of the detector, seconds, 32-bit.
constexpr float tau = 3e-6f;
constexpr double shortesttime = 0.01;  // s: a row counted for less is not corrected
// Beyond this correction (0.10: 10 %) the non-paralysable model is not to be
// trusted, and far more often the time per step is wrong.
constexpr double deadlimit = 0.10;

// non-paralysable detector: true counts = c / deadfactor(c, t), c counted in
// t seconds (32-bit) with dead time deadtime (s, 32-bit)
inline double deadfactor(float c, float t, float deadtime = tau) {
  return 1.0 - static_cast<double>(c) * deadtime / t;
}

enum class DeadTime {
  corrected,  // factor holds 1 - c/t * tau
  tooshort,   // counted for less than shortesttime: factor 1
  unusable,   // the factor is not a positive number (a nan count or time among them): 1
};

// The dead-time correction of a row as the merge makes it: factor (32-bit)
// is what its counts c are divided by.
inline DeadTime deadtimefactor(float c, float t, float deadtime, float& factor) {
  factor = 1.0f;
  if (t < shortesttime) return DeadTime::tooshort;
  float f = static_cast<float>(deadfactor(c, t, deadtime));
  if (!(f > 0.0f && std::isfinite(f))) return DeadTime::unusable;
  factor = f;
  return DeadTime::corrected;
}

// Normalised intensity of counts c (dead-time corrected) over monitor m.
inline double normintensity(double c, double m) { return c * normmonitor / m; }
// Its counting-statistics sigma; a point without counts gets sigma 1.
inline double normsigma(double c, double m) { return c > 0 ? std::sqrt(c) * normmonitor / m : 1.0; }
