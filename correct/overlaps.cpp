#include "correct/overlaps.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <ostream>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define OVERLAP_SIMD 1
#include <immintrin.h>  // two doubles to an instruction, or four with AVX
#endif

namespace {

// What one grid point adds to the overlap, where both reached it.
struct Term {
  double i1, i2, d;
};

Term term(double c1, double m1, double c2, double m2) {
  double i1 = normintensity(c1, m1), i2 = normintensity(c2, m2);
  double s1 = normsigma(c1, m1), s2 = normsigma(c2, m2);
  return {i1, i2, (i1 - i2) / std::sqrt(s1 * s1 + s2 * s2)};
}

#ifdef OVERLAP_SIMD
// term at two grid points at once: the same operations, each rounded as
// the one at a time (division and square root are correctly rounded), the
// divisions and roots two to an instruction. Lanes with a monitor of 0 are
// computed and not used.
void terms(const float* c1, const float* m1, const float* c2, const float* m2, Term out[2]) {
  const __m128d n = _mm_set1_pd(normmonitor), one = _mm_set1_pd(1.0), zero = _mm_setzero_pd();
  __m128d vc1 = _mm_set_pd(c1[1], c1[0]), vm1 = _mm_set_pd(m1[1], m1[0]);
  __m128d vc2 = _mm_set_pd(c2[1], c2[0]), vm2 = _mm_set_pd(m2[1], m2[0]);
  __m128d i1 = _mm_div_pd(_mm_mul_pd(vc1, n), vm1), i2 = _mm_div_pd(_mm_mul_pd(vc2, n), vm2);
  __m128d r1 = _mm_div_pd(_mm_mul_pd(_mm_sqrt_pd(_mm_max_pd(vc1, zero)), n), vm1);
  __m128d r2 = _mm_div_pd(_mm_mul_pd(_mm_sqrt_pd(_mm_max_pd(vc2, zero)), n), vm2);
  __m128d p1 = _mm_cmpgt_pd(vc1, zero), p2 = _mm_cmpgt_pd(vc2, zero);  // else sigma 1
  __m128d s1 = _mm_or_pd(_mm_and_pd(p1, r1), _mm_andnot_pd(p1, one));
  __m128d s2 = _mm_or_pd(_mm_and_pd(p2, r2), _mm_andnot_pd(p2, one));
  __m128d d = _mm_div_pd(_mm_sub_pd(i1, i2),
                         _mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(s1, s1), _mm_mul_pd(s2, s2))));
  double a[2], b[2], e[2];
  _mm_storeu_pd(a, i1);
  _mm_storeu_pd(b, i2);
  _mm_storeu_pd(e, d);
  out[0] = {a[0], b[0], e[0]};
  out[1] = {a[1], b[1], e[1]};
}

// The same four at a time, where the processor has AVX (no fused
// multiply-add: each product rounded as above).
__attribute__((target("avx"))) void terms4(const float* c1, const float* m1, const float* c2,
                                           const float* m2, Term out[4]) {
  const __m256d n = _mm256_set1_pd(normmonitor), one = _mm256_set1_pd(1.0);
  const __m256d zero = _mm256_setzero_pd();
  __m256d vc1 = _mm256_cvtps_pd(_mm_loadu_ps(c1)), vm1 = _mm256_cvtps_pd(_mm_loadu_ps(m1));
  __m256d vc2 = _mm256_cvtps_pd(_mm_loadu_ps(c2)), vm2 = _mm256_cvtps_pd(_mm_loadu_ps(m2));
  __m256d i1 = _mm256_div_pd(_mm256_mul_pd(vc1, n), vm1);
  __m256d i2 = _mm256_div_pd(_mm256_mul_pd(vc2, n), vm2);
  __m256d r1 = _mm256_div_pd(_mm256_mul_pd(_mm256_sqrt_pd(_mm256_max_pd(vc1, zero)), n), vm1);
  __m256d r2 = _mm256_div_pd(_mm256_mul_pd(_mm256_sqrt_pd(_mm256_max_pd(vc2, zero)), n), vm2);
  __m256d s1 = _mm256_blendv_pd(one, r1, _mm256_cmp_pd(vc1, zero, _CMP_GT_OQ));
  __m256d s2 = _mm256_blendv_pd(one, r2, _mm256_cmp_pd(vc2, zero, _CMP_GT_OQ));
  __m256d d =
      _mm256_div_pd(_mm256_sub_pd(i1, i2),
                    _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(s1, s1), _mm256_mul_pd(s2, s2))));
  double a[4], b[4], e[4];
  _mm256_storeu_pd(a, i1);
  _mm256_storeu_pd(b, i2);
  _mm256_storeu_pd(e, d);
  for (int j = 0; j < 4; ++j) out[j] = {a[j], b[j], e[j]};
}

bool hasavx() {
  static const bool has = __builtin_cpu_supports("avx");  // asked once
  return has;
}
#endif

}  // namespace

Overlap overlap(const MergedPattern& before, const MergedPattern& alone) {
  Overlap o;
  double sum1 = 0, sum2 = 0, chi = 0;
  int top = std::max(before.imax, alone.imax);
  // summed in grid order, as one point at a time
  auto add = [&](const Term& t) {
    chi += t.d * t.d;
    sum1 += t.i1;
    sum2 += t.i2;
    ++o.points;
  };
  auto both = [&](int k) { return before.mon[k] != 0 && alone.mon[k] != 0; };
  int k = 0;
#ifdef OVERLAP_SIMD
  if (hasavx()) {
    for (; k + 3 <= top; k += 4) {
      bool in[4] = {both(k), both(k + 1), both(k + 2), both(k + 3)};
      if (!in[0] && !in[1] && !in[2] && !in[3]) continue;
      Term t[4];
      terms4(before.cts + k, before.mon + k, alone.cts + k, alone.mon + k, t);
      for (int j = 0; j < 4; ++j)
        if (in[j]) add(t[j]);
    }
  }
  for (; k + 1 <= top; k += 2) {
    bool first = both(k), second = both(k + 1);
    if (!first && !second) continue;
    Term t[2];
    terms(before.cts + k, before.mon + k, alone.cts + k, alone.mon + k, t);
    if (first) add(t[0]);
    if (second) add(t[1]);
  }
#endif
  for (; k <= top; ++k)
    if (both(k)) add(term(before.cts[k], before.mon[k], alone.cts[k], alone.mon[k]));
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
