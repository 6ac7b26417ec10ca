#include "correct/deadtimefit.h"

#include <algorithm>
#include <cmath>

#include "text/console.h"

namespace {

// A grid point two scans reached: where it lies in each.
struct Pair {
  int a, ra;  // scan and row
  int b, rb;
};

// A row's intensity and sigma, 32-bit, if the dead time were deadtime (s):
// corrected and normalised as the merge and the normalisation do it, the
// row merged alone.
void normalised(const ScanCounts& s, std::size_t r, float deadtime, double& inten, double& sigma) {
  float f;
  deadtimefactor(s.cts[r], s.sec[r], deadtime, f);
  float cts = static_cast<float>(static_cast<double>(s.cts[r]) / f);
  inten = static_cast<float>(normintensity(cts, s.mon[r]));
  sigma = static_cast<float>(normsigma(cts, s.mon[r]));
}

struct Fitting {
  const std::vector<ScanCounts>& scans;
  std::vector<Pair> pairs;
  int shared = 0;  // grid points two scans share, finite or not
  // each scan's rows at the dead time of the last sum, intensity and sigma
  std::vector<std::vector<double>> inten, sigma;
};

// chi2 of the normalised differences at every pair, at deadtime (s)
double chi2(Fitting& f, float deadtime) {
  for (std::size_t s = 0; s < f.scans.size(); ++s)
    for (std::size_t r = 0; r < f.scans[s].cts.size(); ++r)
      normalised(f.scans[s], r, deadtime, f.inten[s][r], f.sigma[s][r]);
  double sum = 0;
  for (const Pair& p : f.pairs) {
    double ia = f.inten[static_cast<std::size_t>(p.a)][static_cast<std::size_t>(p.ra)];
    double ib = f.inten[static_cast<std::size_t>(p.b)][static_cast<std::size_t>(p.rb)];
    double sa = f.sigma[static_cast<std::size_t>(p.a)][static_cast<std::size_t>(p.ra)];
    double sb = f.sigma[static_cast<std::size_t>(p.b)][static_cast<std::size_t>(p.rb)];
    sum += (ia - ib) * (ia - ib) / (sa * sa + sb * sb);
  }
  return sum;
}

// The grid points each pair of scans reached where both have a finite
// intensity and sigma at the program's dead time.
void findpairs(Fitting& f) {
  chi2(f, tau);
  for (std::size_t a = 0; a < f.scans.size(); ++a)
    for (std::size_t b = a + 1; b < f.scans.size(); ++b) {
      const ScanCounts& sa = f.scans[a];
      const ScanCounts& sb = f.scans[b];
      long long lo = std::max(sa.datoffset, sb.datoffset);
      long long hi = std::min(sa.datoffset + static_cast<long long>(sa.cts.size()),
                              sb.datoffset + static_cast<long long>(sb.cts.size()));
      for (long long k = lo; k < hi; ++k) {
        int ra = static_cast<int>(k - sa.datoffset);
        int rb = static_cast<int>(k - sb.datoffset);
        double ia = f.inten[a][static_cast<std::size_t>(ra)];
        double ib = f.inten[b][static_cast<std::size_t>(rb)];
        double s2a = f.sigma[a][static_cast<std::size_t>(ra)];
        double s2b = f.sigma[b][static_cast<std::size_t>(rb)];
        double var = s2a * s2a + s2b * s2b;
        ++f.shared;
        if (std::isfinite(ia) && std::isfinite(ib) && std::isfinite(var) && var > 0)
          f.pairs.push_back(Pair{static_cast<int>(a), ra, static_cast<int>(b), rb});
      }
    }
}

}  // namespace

DeadTimeFit fitdeadtime(const std::vector<ScanCounts>& scans) {
  DeadTimeFit fit;
  Fitting f{scans, {}, 0, {}, {}};
  for (const ScanCounts& s : scans) {
    f.inten.emplace_back(s.cts.size());
    f.sigma.emplace_back(s.cts.size());
  }
  findpairs(f);
  fit.shared = f.shared;
  fit.points = static_cast<int>(f.pairs.size());
  if (fit.points == 0) return fit;
  const double n = fit.points;
  fit.chi2at = chi2(f, tau) / n;

  // chi2 at the dead times tried, fitfirst + j * fitstep, each worked out
  // when first wanted: a coarse grid, then every point near its minimum
  const int tries = static_cast<int>(std::lround((fitlast - fitfirst) / fitstep)) + 1;
  std::vector<double> curve(static_cast<std::size_t>(tries));
  std::vector<bool> tried(static_cast<std::size_t>(tries));
  auto taut = [&](int j) { return fitfirst + fitstep * j; };  // us
  auto at = [&](int j) {
    std::size_t u = static_cast<std::size_t>(j);
    if (!tried[u]) curve[u] = chi2(f, static_cast<float>(taut(j) * 1e-6)), tried[u] = true;
    return curve[u];
  };
  // the lowest point tried, the first of equals
  auto lowest = [&] {
    int k = -1;
    for (int j = 0; j < tries; ++j)
      if (tried[static_cast<std::size_t>(j)] &&
          (k < 0 || curve[static_cast<std::size_t>(j)] < curve[static_cast<std::size_t>(k)]))
        k = j;
    return k;
  };
  const int coarse = 10;  // 0.2 us: chi2 is smooth at that scale
  for (int j = 0; j < tries; j += coarse) at(j);
  int c = lowest();
  for (int j = std::max(0, c - coarse); j <= std::min(tries - 1, c + coarse); ++j) at(j);
  int k = lowest();

  // Where chi2 rises by 1 on either side, between the points tried. Past
  // 151 points (3.02 us) on one side the uncertainty is beyond fitsigmamax.
  const int reach = static_cast<int>(std::lround(2 * fitsigmamax / fitstep)) + 1;
  double level = curve[static_cast<std::size_t>(k)] + 1;
  int d = -1, u = -1;
  for (int j = k - 1; j >= std::max(0, k - reach) && d < 0; --j)
    if (!(at(j) <= level)) d = j;
  for (int j = k + 1; j <= std::min(tries - 1, k + reach) && u < 0; ++j)
    if (!(at(j) <= level)) u = j;
  for (int j = 0; j < tries; ++j)
    if (tried[static_cast<std::size_t>(j)]) {
      fit.taus.push_back(taut(j));
      fit.curve.push_back(curve[static_cast<std::size_t>(j)] / n);
    }
  if (d < 0 || u < 0) return fit;
  auto C = [&](int j) { return curve[static_cast<std::size_t>(j)]; };
  double left = taut(d) + fitstep * (level - C(d)) / (C(d + 1) - C(d));
  double right = taut(u - 1) + fitstep * (level - C(u - 1)) / (C(u) - C(u - 1));
  double sigma = (right - left) / 2;
  if (sigma > fitsigmamax) return fit;
  // the minimum between the points tried: the parabola through three
  double best = taut(k);
  double bend = C(k - 1) - 2 * C(k) + C(k + 1);
  if (bend > 0) best += fitstep * (C(k - 1) - C(k + 1)) / (2 * bend);
  fit.determined = true;
  fit.tau = best;
  fit.sigma = sigma;
  fit.chi2 = chi2(f, static_cast<float>(best * 1e-6)) / n;
  return fit;
}

std::string fitline(const DeadTimeFit& fit) {
  if (fit.points == 0 && fit.shared > 0)
    return "dead time from the overlaps: not determined (no overlap row holds finite values)\n";
  if (fit.points == 0) return "dead time from the overlaps: not determined (no scans overlap)\n";
  if (!fit.determined)
    return "dead time from the overlaps: not determined (the overlapping scans count at alike "
           "rates)\n";
  double us = static_cast<double>(tau) * 1e6;
  return format(
      "dead time from the overlaps: %.2f +- %.2f us (scanmerge corrects with %.2f us), reduced "
      "chi2 %.2f there, %.2f at %.2f us\n",
      fit.tau, fit.sigma, us, fit.chi2, fit.chi2at, us);
}
