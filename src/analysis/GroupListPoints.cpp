// The clamp of outlying distances, the recentring and the balance test of ListPointFromProfile,
// for four lanes in each half of a group at once. Every lane performs the single candidate's
// operations in the same order with the same roundings; a distance that is missing (below 0)
// adds 0.0 where the single candidate skips it, which leaves every sum as it was.
#include "analysis/GroupListPoints.h"

#include <immintrin.h>

namespace {

constexpr double kDiagonalShare = 0.7071067811865476;

struct Half {
  __m256d d[8];  // the lanes' distances, direction by direction
};

__attribute__((target("avx2"))) inline __m256d Present(__m256d v) { return _mm256_cmp_pd(v, _mm256_setzero_pd(), _CMP_GE_OQ); }

// ClampOutliers; the lanes with any distance.
__attribute__((target("avx2"))) __m256d ClampHalf(Half* h) {
  const __m256d one = _mm256_set1_pd(1.0);
  __m256d sum = _mm256_setzero_pd(), n = _mm256_setzero_pd();
  for (const __m256d& v : h->d) {
    __m256d present = Present(v);
    sum = _mm256_add_pd(sum, _mm256_and_pd(v, present));
    n = _mm256_add_pd(n, _mm256_and_pd(one, present));
  }
  const __m256d any = _mm256_cmp_pd(n, _mm256_setzero_pd(), _CMP_GT_OQ);
  const __m256d mean = _mm256_div_pd(sum, n);
  __m256d squares = _mm256_setzero_pd();
  for (const __m256d& v : h->d) {
    __m256d off = _mm256_sub_pd(v, mean);
    squares = _mm256_add_pd(squares, _mm256_and_pd(_mm256_mul_pd(off, off), Present(v)));
  }
  const __m256d spread = _mm256_mul_pd(_mm256_set1_pd(1.3), _mm256_sqrt_pd(_mm256_div_pd(squares, n)));
  const __m256d high = _mm256_add_pd(mean, spread), low = _mm256_sub_pd(mean, spread);
  const __m256d raised = _mm256_blendv_pd(low, _mm256_set1_pd(0.1), _mm256_cmp_pd(spread, mean, _CMP_GE_OQ));
  for (__m256d& v : h->d) {
    __m256d present = _mm256_and_pd(Present(v), any);
    v = _mm256_blendv_pd(v, high, _mm256_and_pd(present, _mm256_cmp_pd(v, high, _CMP_GT_OQ)));
    v = _mm256_blendv_pd(v, raised, _mm256_and_pd(present, _mm256_cmp_pd(v, low, _CMP_LT_OQ)));
  }
  return any;
}

// The mean of three directions' distances (diagonals at their projection) where any is present.
__attribute__((target("avx2"))) __m256d MeanOfThree(const __m256d dd[8], int a, int b, int c, __m256d* any) {
  const __m256d one = _mm256_set1_pd(1.0);
  __m256d sum = _mm256_setzero_pd(), n = _mm256_setzero_pd();
  for (int i : {a, b, c}) {
    __m256d present = Present(dd[i]);
    sum = _mm256_add_pd(sum, _mm256_and_pd(dd[i], present));
    n = _mm256_add_pd(n, _mm256_and_pd(one, present));
  }
  *any = _mm256_cmp_pd(n, _mm256_setzero_pd(), _CMP_GT_OQ);
  return _mm256_and_pd(_mm256_div_pd(sum, n), *any);
}

// RecentreFromDistances and the balance test from (x, y); the lanes kept.
__attribute__((target("avx2"))) __m256d RecentreHalf(const Half& h, __m256d x, __m256d y, __m256d* cx, __m256d* cy) {
  __m256d dd[8];
  for (int i = 0; i < 8; ++i) {
    dd[i] = (i & 1) ? _mm256_blendv_pd(h.d[i], _mm256_mul_pd(h.d[i], _mm256_set1_pd(kDiagonalShare)), Present(h.d[i])) : h.d[i];
  }
  __m256d right, left, down, up;
  const __m256d dx = _mm256_sub_pd(MeanOfThree(dd, 0, 1, 7, &right), MeanOfThree(dd, 3, 4, 5, &left));
  const __m256d dy = _mm256_sub_pd(MeanOfThree(dd, 1, 2, 3, &down), MeanOfThree(dd, 5, 6, 7, &up));
  const __m256d sides = _mm256_and_pd(_mm256_and_pd(right, left), _mm256_and_pd(down, up));
  const __m256d two = _mm256_set1_pd(2.0);
  *cx = _mm256_add_pd(x, _mm256_div_pd(dx, two));
  *cy = _mm256_add_pd(y, _mm256_div_pd(dy, two));
  // A candidate is kept unless its centre moves by more than 0.625 along either axis.
  const __m256d limit = _mm256_set1_pd(0.625), sign = _mm256_set1_pd(-0.0);
  const __m256d nearX = _mm256_cmp_pd(_mm256_andnot_pd(sign, _mm256_sub_pd(*cx, x)), limit, _CMP_NGT_UQ);
  const __m256d nearY = _mm256_cmp_pd(_mm256_andnot_pd(sign, _mm256_sub_pd(*cy, y)), limit, _CMP_NGT_UQ);
  return _mm256_and_pd(sides, _mm256_and_pd(nearX, nearY));
}

}  // namespace

__attribute__((target("avx2"))) unsigned ListPointsOfGroup(double distances[kWalkGroupLanes][8], unsigned lanes, int64_t x0,
                                                           int64_t y, double listX[kWalkGroupLanes], double listY[kWalkGroupLanes]) {
  unsigned kept = 0;
  for (int part = 0; part < 2; ++part) {
    const int first = 4 * part;
    if (((lanes >> first) & 15u) == 0) continue;
    Half h;
    for (int i = 0; i < 8; ++i) {
      h.d[i] = _mm256_setr_pd(distances[first][i], distances[first + 1][i], distances[first + 2][i], distances[first + 3][i]);
    }
    const __m256d any = ClampHalf(&h);
    alignas(32) double clamped[8][4];
    for (int i = 0; i < 8; ++i) _mm256_store_pd(clamped[i], h.d[i]);
    const __m256d x = _mm256_setr_pd(double(x0 + first), double(x0 + first + 1), double(x0 + first + 2), double(x0 + first + 3));
    __m256d cx, cy;
    const __m256d balanced = _mm256_and_pd(any, RecentreHalf(h, x, _mm256_set1_pd(double(y)), &cx, &cy));
    alignas(32) double xs[4], ys[4];
    _mm256_store_pd(xs, cx);
    _mm256_store_pd(ys, cy);
    const unsigned halfKept = unsigned(_mm256_movemask_pd(balanced)) & (lanes >> first) & 15u;
    for (int j = 0; j < 4; ++j) {
      if (!(lanes >> (first + j) & 1u)) continue;
      for (int i = 0; i < 8; ++i) distances[first + j][i] = clamped[i][j];
      listX[first + j] = xs[j], listY[first + j] = ys[j];
    }
    kept |= halfKept << first;
  }
  return kept;
}
