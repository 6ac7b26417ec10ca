#include "correct/overlaps.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <ostream>

Overlap overlap(const MergedPattern& before, const MergedPattern& alone) {
  Overlap o;
  double sum1 = 0, sum2 = 0, chi = 0;
  int top = std::max(before.imax, alone.imax);
  for (int k = 0; k <= top; ++k) {
    double c1 = before.cts[k], m1 = before.mon[k], c2 = alone.cts[k], m2 = alone.mon[k];
    if (m1 == 0 || m2 == 0) continue;  // not reached by both
    double i1 = normintensity(c1, m1), i2 = normintensity(c2, m2);
    double s1 = normsigma(c1, m1), s2 = normsigma(c2, m2);
    double d = (i1 - i2) / std::sqrt(s1 * s1 + s2 * s2);
    chi += d * d;
    sum1 += i1;
    sum2 += i2;
    ++o.points;
  }
  if (o.points > 0) {
    o.chi2 = chi / o.points;
    o.ratio = sum2 / sum1;
  }
  return o;
}

ScanAlone scanalone(const MergedPattern& before, const MergedPattern& alone, int datoffset,
                    int rows, const EivGeometry* eiv) {
  ScanAlone s;
  for (int i = 0; i < rows; ++i) {
    int k = datoffset + i;
    double c = alone.cts[k], m = alone.mon[k];
    float inten = static_cast<float>(normintensity(c, m));
    float sigma = static_cast<float>(normsigma(c, m));
    s.inten.push_back(inten);
    s.sigma.push_back(sigma);
    if (before.mon[k] == 0) continue;  // not reached before
    double cb = before.cts[k], mb = before.mon[k];
    double ib = static_cast<float>(normintensity(cb, mb));
    double sb = static_cast<float>(normsigma(cb, mb));
    double si = sigma;
    s.at.push_back(k);
    s.z.push_back((ib - inten) / std::sqrt(sb * sb + si * si));
  }
  if (eiv && rows > 0) {  // the correction divides each grid point alike
    auto p = std::make_unique<MergedPattern>();
    p->tthmin = alone.tthmin;
    p->tthstep = alone.tthstep;
    for (int i = 0; i < rows; ++i) {
      p->inten[datoffset + i] = s.inten[static_cast<std::size_t>(i)];
      p->sigma[datoffset + i] = s.sigma[static_cast<std::size_t>(i)];
    }
    std::ostream nowhere(nullptr);
    applyeiv(*p, *eiv, datoffset + rows, nowhere);
    for (int i = 0; i < rows; ++i) {
      s.inten[static_cast<std::size_t>(i)] = p->inten[datoffset + i];
      s.sigma[static_cast<std::size_t>(i)] = p->sigma[datoffset + i];
    }
  }
  return s;
}
