// The dead time that makes overlapping scans agree best, fitted from the
// rows the merge placed, each corrected and normalised as the merge does.
#pragma once

#include <string>
#include <vector>

#include "merge/merged_pattern.h"

// The dead times tried, us: first, last and step; and the largest
// uncertainty told: above it the fit cannot tell the program's dead time
// from none at two standard uncertainties.
constexpr double fitfirst = -10.0;
constexpr double fitlast = 30.0;
constexpr double fitstep = 0.02;
constexpr double fitsigmamax = 1.5;

struct DeadTimeFit {
  int shared = 0;           // pairs of rows of two scans on one grid point
  int points = 0;           // those with finite intensities and sigmas, fitted
  bool determined = false;  // tau and sigma found
  double tau = 0;           // us
  double sigma = 0;         // us
  double chi2 = 0;          // reduced chi2 at tau
  double chi2at = 0;        // reduced chi2 at the program's dead time
  // the dead times tried (us), in order, and the reduced chi2 at each:
  // every point near the minimum, a coarser grid elsewhere
  std::vector<double> taus;
  std::vector<double> curve;
};

// scans: each scan's rows as merged. Fits over every pair of scans at the
// grid points both reached with finite intensities and sigmas, the chi2 of
// their normalised differences: the minimum between the dead times tried,
// and the uncertainty where chi2 rises by 1 on either side.
DeadTimeFit fitdeadtime(const std::vector<ScanCounts>& scans);

// The line that tells the fit, LF-ended.
std::string fitline(const DeadTimeFit& fit);
