#include <cmath>
#include <cstdio>
#include <string>

#include "correct/corrections.h"

// False where F could not be finite at any point: a zero beam height or
// rocking range, a beam longer than the sample (no critical angle) or a
// parameter that is not a finite number.
static bool usable(const EivGeometry& g) {
  if (!std::isfinite(g.h) || !std::isfinite(g.L) || !std::isfinite(g.osc)) return false;
  return g.h != 0.0f && g.osc != 0.0f && !std::isnan(g.thetac);
}

// Divides point k by the mean illuminated fraction over its rocking range.
// Returns false where a limit of the range is left negative.
static bool correctpoint(MergedPattern& p, int k, const EivGeometry& g, double pi) {
  float tth = static_cast<float>((gridangle(p, k) * pi) / 180.0);
  float theta = tth * 0.5f;
  double half = g.osc * 0.5;
  double lo = -100.0;
  double hi = -100.0;
  if (!(theta - half < 0.0) && !(theta + half > tth)) {
    lo = theta - half;
    hi = theta + half;
  } else {
    // incidence runs from 0 (grazing) to 2theta (grazing exit)
    if (theta - half < 0.0) lo = 0.0;
    if (theta + half > tth) hi = tth;
  }
  if (lo < 0.0 || hi < 0.0) return false;

  // below thetac the fraction is (L/h) sin(alpha), from it upward 1
  double below = g.L / (static_cast<double>(g.osc) * g.h);
  double above = 1.0 / g.osc;
  double f;
  if (lo > g.thetac)
    f = above * (hi - lo);
  else if (g.thetac > hi)
    f = below * (std::cos(lo) - std::cos(hi));
  else
    f = below * (std::cos(lo) - std::cos(static_cast<double>(g.thetac))) + above * (hi - g.thetac);

  // an empty range (2theta = 0) illuminates nothing: leave the point as is
  if (f == 0.0) return true;
  p.inten[k] = static_cast<float>(p.inten[k] / f);
  p.sigma[k] = static_cast<float>(p.sigma[k] / f);
  return true;
}

EivAnswer readeiv(const std::string& answer, EivGeometry& g) {
  const double pi = 2.0 * std::acos(0.0);
  if (answer.empty()) return EivAnswer::blank;
  if (std::sscanf(answer.c_str(), "%f %f %f", &g.h, &g.L, &g.oscdeg) < 3)
    return EivAnswer::notthree;
  g.osc = static_cast<float>((g.oscdeg * pi) / 180.0);
  g.thetac = static_cast<float>(std::asin(static_cast<double>(g.h) / g.L));
  return usable(g) ? EivAnswer::ready : EivAnswer::unusable;
}

bool applyeiv(MergedPattern& pattern, const EivGeometry& g, int end) {
  const double pi = 2.0 * std::acos(0.0);
  for (int k = 0; k < end; ++k)
    if (!correctpoint(pattern, k, g, pi)) return false;
  return true;
}
