#include "correct/overlaps.h"

#include <algorithm>
#include <cmath>
#include <memory>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define OVERLAP_SIMD 1
#include <immintrin.h>  // AVX: four doubles to an instruction
#endif

namespace {

// The sums over the grid points both reached, added in grid order.
struct Sums {
  double chi = 0, sum1 = 0, sum2 = 0;
  int points = 0;
};

// Adds grid point k, where both reached it.
void addpoint(Sums& s, const float* c1, const float* m1, const float* c2, const float* m2, int k) {
  double i1 = normintensity(c1[k], m1[k]), i2 = normintensity(c2[k], m2[k]);
  double s1 = normsigma(c1[k], m1[k]), s2 = normsigma(c2[k], m2[k]);
  double d = (i1 - i2) / std::sqrt(s1 * s1 + s2 * s2);
  s.chi += d * d;
  s.sum1 += i1;
  s.sum2 += i2;
  ++s.points;
}

#ifdef OVERLAP_SIMD
// addpoint at four grid points at once, from k up to where fewer than four
// are left (returned), where the processor has AVX: the same operations,
// each rounded as one at a time (division and square root are correctly
// rounded, no fused multiply-add), the divisions and roots four to an
// instruction, the sums still added point by point in grid order. A point
// not both reached adds +0, which leaves each sum as it was (none is ever
// -0).
__attribute__((target("avx"))) int addfours(Sums& s, const float* c1, const float* m1,
                                            const float* c2, const float* m2, int k, int top) {
  const __m256d n = _mm256_set1_pd(normmonitor), one = _mm256_set1_pd(1.0);
  const __m256d zero = _mm256_setzero_pd();
  double chi = s.chi, sum1 = s.sum1, sum2 = s.sum2;
  int points = s.points;
  for (; k + 3 <= top; k += 4) {
    __m256d vm1 = _mm256_cvtps_pd(_mm_loadu_ps(m1 + k));
    __m256d vm2 = _mm256_cvtps_pd(_mm_loadu_ps(m2 + k));
    __m256d both =
        _mm256_and_pd(_mm256_cmp_pd(vm1, zero, _CMP_NEQ_UQ), _mm256_cmp_pd(vm2, zero, _CMP_NEQ_UQ));
    int in = _mm256_movemask_pd(both);
    if (in == 0) continue;
    __m256d vc1 = _mm256_cvtps_pd(_mm_loadu_ps(c1 + k));
    __m256d vc2 = _mm256_cvtps_pd(_mm_loadu_ps(c2 + k));
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
    _mm256_storeu_pd(a, _mm256_and_pd(both, i1));
    _mm256_storeu_pd(b, _mm256_and_pd(both, i2));
    _mm256_storeu_pd(e, _mm256_and_pd(both, _mm256_mul_pd(d, d)));
    for (int j = 0; j < 4; ++j) {
      chi += e[j];
      sum1 += a[j];
      sum2 += b[j];
    }
    points += __builtin_popcount(static_cast<unsigned>(in));
  }
  s.chi = chi, s.sum1 = sum1, s.sum2 = sum2, s.points = points;
  return k;
}

bool hasavx() {
  static const bool has = __builtin_cpu_supports("avx");  // asked once
  return has;
}
#endif

}  // namespace

Overlap overlap(const MergedPattern& before, const MergedPattern& alone, int datoffset, int rows) {
  const float *c1 = before.cts, *m1 = before.mon, *c2 = alone.cts, *m2 = alone.mon;
  Sums s;
  // only the scan's own points can be reached by both
  int top = std::min(std::max(before.imax, alone.imax), datoffset + rows - 1);
  int k = std::max(datoffset, 0);
#ifdef OVERLAP_SIMD
  if (hasavx()) k = addfours(s, c1, m1, c2, m2, k, top);
#endif
  for (; k <= top; ++k)
    if (m1[k] != 0 && m2[k] != 0) addpoint(s, c1, m1, c2, m2, k);
  Overlap o;
  o.points = s.points;
  if (o.points > 0) {
    o.chi2 = s.chi / o.points;
    o.ratio = s.sum2 / s.sum1;
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
    applyeiv(*p, *eiv, datoffset + rows);  // a range error ends the run once all is merged
    for (int i = 0; i < rows; ++i) {
      s.inten[static_cast<std::size_t>(i)] = p->inten[datoffset + i];
      s.sigma[static_cast<std::size_t>(i)] = p->sigma[datoffset + i];
    }
  }
  return s;
}
