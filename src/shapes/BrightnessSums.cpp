// Four shapes' sums in the four double lanes of AVX2 vectors. Each lane performs its own sum's
// operations in its own order, with the same roundings as the one-by-one sum; the lanes only share
// the instructions, so that no addition waits for the one before it in another sum.
#include "shapes/BrightnessSums.h"

#include <immintrin.h>

#include "core/ProcessorFeatures.h"

namespace {

__attribute__((target("avx2"))) void SumFour(PlaneSum* p, uint32_t common) {
  // Each lane's entries and centre in registers of their own, not read through the records.
  const PlaneEntry *e0 = p[0].entries, *e1 = p[1].entries, *e2 = p[2].entries, *e3 = p[3].entries;
  const int32_t *c0 = p[0].centre, *c1 = p[1].centre, *c2 = p[2].centre, *c3 = p[3].centre;
  auto brightness = [&](int j, uint32_t i) { return p[j].centre[p[j].entries[i].offset]; };
  const __m256d origin = _mm256_cvtepi32_pd(_mm_setr_epi32(c0[e0[0].offset], c1[e1[0].offset], c2[e2[0].offset], c3[e3[0].offset]));
  __m256d weightSum = _mm256_setzero_pd(), shiftedSum = _mm256_setzero_pd(), squares = _mm256_setzero_pd();
  __m128i minimum = _mm_set1_epi32(int32_t(0xFFFFFFFEu)), maximum = _mm_setzero_si128();
  for (uint32_t i = 0; i < common; ++i) {
    __m128i level = _mm_setr_epi32(c0[e0[i].offset], c1[e1[i].offset], c2[e2[i].offset], c3[e3[i].offset]);
    __m256d weight = _mm256_setr_pd(e0[i].weight, e1[i].weight, e2[i].weight, e3[i].weight);
    __m256d shifted = _mm256_sub_pd(_mm256_cvtepi32_pd(level), origin);
    minimum = _mm_min_epu32(minimum, level);
    maximum = _mm_max_epu32(maximum, level);
    weightSum = _mm256_add_pd(weightSum, weight);
    __m256d weighted = _mm256_mul_pd(weight, shifted);
    shiftedSum = _mm256_add_pd(shiftedSum, weighted);
    squares = _mm256_add_pd(squares, _mm256_mul_pd(weighted, shifted));
  }
  alignas(32) double origins[4], weights[4], sums[4], squareSums[4];
  alignas(16) uint32_t minima[4], maxima[4];
  _mm256_store_pd(origins, origin);
  _mm256_store_pd(weights, weightSum);
  _mm256_store_pd(sums, shiftedSum);
  _mm256_store_pd(squareSums, squares);
  _mm_store_si128(reinterpret_cast<__m128i*>(minima), minimum);
  _mm_store_si128(reinterpret_cast<__m128i*>(maxima), maximum);
  for (int j = 0; j < 4; ++j) {
    BrightnessSums& s = p[j].sums;
    s.any = true, s.origin = origins[j], s.minimum = minima[j], s.maximum = maxima[j];
    s.weightSum = weights[j], s.shiftedSum = sums[j], s.shiftedSquares = squareSums[j];
    for (uint32_t i = common; i < p[j].count; ++i) s.AddWeighted(uint32_t(brightness(j, i)), p[j].entries[i].weight);
  }
}

}  // namespace

bool SumFourSideBySide(PlaneSum* shapes) {
  uint32_t common = shapes[0].count;
  for (int j = 1; j < 4; ++j) common = std::min(common, shapes[j].count);
  if (common == 0 || !HasAvx2()) return false;
  SumFour(shapes, common);
  return true;
}
