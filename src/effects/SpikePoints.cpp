// A spike's lines scanned eight points at a time: the same operations in the same order as the
// scalar points of the spike drawing (IEEE arithmetic gives every lane the scalar's result), so
// the compact form keeps the reference entries to the bit. The falloff is read from its memo and filled by the
// scalar code where a slot is still empty; the power's tables are read by gathers.
#include "effects/SpikePoints.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/FastPower.h"
#include "core/Fractions.h"

namespace {

constexpr double kInverseFraction = 1.0 / kFraction;

// x^1.6 as 2^(1.6 e) × c^1.6 × (m / c)^1.6 for x = 2^e m: two tables and a binomial series in
// m / c - 1, which stays below 1/255. Below 2^-40 the weight rounds to 0 whatever the power is.
struct CrossSectionTables {
  double ofExponent[41];  // 2^(1.6 e) for e = -40 … 0
  double ofStep[128];     // c^1.6, c the centre of each 1/128 step of the mantissa
};

CrossSectionTables BuildCrossSectionTables() {
  CrossSectionTables t{};
  for (int e = -40; e <= 0; ++e) t.ofExponent[e + 40] = double(std::exp2(1.6L * e));
  for (int j = 0; j < 128; ++j) t.ofStep[j] = double(std::pow(1.0L + (j + 0.5L) / 128.0L, 1.6L));
  return t;
}

const CrossSectionTables gCrossSection = BuildCrossSectionTables();

bool gLineScansUsed = true;

#define AVX2_FUNCTION __attribute__((target("avx2")))

// v as a 32-bit fraction, rounded: 0 at or below 0, full at or above it.
AVX2_FUNCTION inline __m256d RoundFractions(__m256d v) {
  const __m256d zero = _mm256_setzero_pd(), full = _mm256_set1_pd(kFraction);
  __m256d rounded = _mm256_round_pd(_mm256_add_pd(v, _mm256_set1_pd(0.5)), _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
  rounded = _mm256_blendv_pd(rounded, full, _mm256_cmp_pd(v, full, _CMP_GE_OQ));
  return _mm256_blendv_pd(rounded, zero, _mm256_cmp_pd(v, zero, _CMP_LE_OQ));
}

// CrossSectionPower of each lane, for lanes in (0, 1); others give what the caller replaces.
AVX2_FUNCTION inline __m256d CrossSectionPowers(__m256d x) {
  const __m256i bits = _mm256_castpd_si256(x);
  __m256i exponent = _mm256_sub_epi64(_mm256_and_si256(_mm256_srli_epi64(bits, 52), _mm256_set1_epi64x(0x7FF)), _mm256_set1_epi64x(1023 - 40));
  // Lanes outside the table (their power is replaced) read its ends.
  exponent = _mm256_blendv_epi8(exponent, _mm256_setzero_si256(), _mm256_cmpgt_epi64(_mm256_setzero_si256(), exponent));
  exponent = _mm256_blendv_epi8(exponent, _mm256_set1_epi64x(40), _mm256_cmpgt_epi64(exponent, _mm256_set1_epi64x(40)));
  const __m256i step = _mm256_and_si256(_mm256_srli_epi64(bits, 45), _mm256_set1_epi64x(127));
  __m256i mantissa = _mm256_or_si256(_mm256_and_si256(bits, _mm256_set1_epi64x(0x000FFFFFFFFFFFFFll)), _mm256_set1_epi64x(0x3FF0000000000000ll));
  __m256d inverse = _mm256_i64gather_pd(gFastPowerTables.inverse, step, 8);
  __m256d r = _mm256_sub_pd(_mm256_mul_pd(_mm256_castsi256_pd(mantissa), inverse), _mm256_set1_pd(1.0));
  __m256d series = _mm256_mul_pd(r, _mm256_set1_pd(-0.010752));
  series = _mm256_mul_pd(r, _mm256_add_pd(_mm256_set1_pd(0.0224), series));
  series = _mm256_mul_pd(r, _mm256_add_pd(_mm256_set1_pd(-0.064), series));
  series = _mm256_mul_pd(r, _mm256_add_pd(_mm256_set1_pd(0.48), series));
  series = _mm256_mul_pd(r, _mm256_add_pd(_mm256_set1_pd(1.6), series));
  series = _mm256_add_pd(_mm256_set1_pd(1.0), series);
  __m256d scale = _mm256_mul_pd(_mm256_i64gather_pd(gCrossSection.ofExponent, exponent, 8), _mm256_i64gather_pd(gCrossSection.ofStep, step, 8));
  return _mm256_mul_pd(scale, series);
}

// The falloff of each lane's rounded distance: from the memo, the scalar code filling any slot
// that is still empty (or lies past the memo).
AVX2_FUNCTION inline __m256d Falloffs(const SpikeTerms& t, __m256d p) {
  __m128i slot = _mm256_cvttpd_epi32(_mm256_add_pd(p, _mm256_set1_pd(0.5)));
  __m128i clamped = _mm_min_epi32(slot, _mm_set1_epi32(kFalloffSlots - 1));
  __m256i values = _mm256_i32gather_epi64(reinterpret_cast<const long long*>(t.falloff->values), clamped, 8);
  __m256i empty = _mm256_cmpeq_epi64(values, _mm256_set1_epi64x(-1));
  __m256i beyond = _mm256_cvtepi32_epi64(_mm_cmpgt_epi32(slot, _mm_set1_epi32(kFalloffSlots - 1)));
  int missing = _mm256_movemask_pd(_mm256_castsi256_pd(_mm256_or_si256(empty, beyond)));
  __m256d q = _mm256_castsi256_pd(values);
  if (missing != 0) {
    alignas(32) double lanes[4];
    alignas(16) int32_t slots[4];
    _mm256_store_pd(lanes, q);
    _mm_store_si128(reinterpret_cast<__m128i*>(slots), slot);
    for (int k = 0; k < 4; ++k) {
      if (missing & (1 << k)) lanes[k] = SpikeFalloff(t.falloff, t.length, slots[k]);
    }
    q = _mm256_load_pd(lanes);
  }
  return q;
}

// Four points of a line, the lanes at `across` (whole quarter pixels): their weights, their
// rainbow phases, and which of them show.
struct Quad {
  __m256d weight;
  __m128i wave;
  int shows;
};

AVX2_FUNCTION inline Quad ComputeQuad(const SpikeTerms& t, double alongSquare, __m256d across, double axis) {
  const __m256d one = _mm256_set1_pd(1.0), zero = _mm256_setzero_pd();
  __m256d offset = _mm256_sub_pd(across, _mm256_set1_pd(double(t.centreAcross)));  // exact: whole numbers
  __m256d p = _mm256_sqrt_pd(_mm256_add_pd(_mm256_set1_pd(alongSquare), _mm256_mul_pd(offset, offset)));
  __m256d d = _mm256_andnot_pd(_mm256_set1_pd(-0.0), _mm256_sub_pd(across, _mm256_set1_pd(axis)));
  __m256d q = Falloffs(t, p);
  __m256d g = _mm256_set1_pd(t.strength);
  __m256d b = _mm256_round_pd(_mm256_mul_pd(q, g), _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
  b = _mm256_blendv_pd(b, zero, _mm256_cmp_pd(q, zero, _CMP_LT_OQ));
  b = _mm256_blendv_pd(b, g, _mm256_cmp_pd(q, one, _CMP_GE_OQ));
  __m256d widened = _mm256_add_pd(one, _mm256_mul_pd(p, _mm256_set1_pd(t.widening)));
  __m256d narrowing = _mm256_mul_pd(_mm256_sub_pd(_mm256_mul_pd(d, _mm256_set1_pd(t.across)), one), _mm256_set1_pd(t.halfWidth));
  __m256d denominator = _mm256_mul_pd(widened, _mm256_add_pd(one, _mm256_mul_pd(p, _mm256_set1_pd(t.dimming))));
  __m256d section = _mm256_div_pd(_mm256_sub_pd(widened, narrowing), denominator);
  __m256d positive = _mm256_cmp_pd(section, zero, _CMP_GT_OQ);
  __m256d power = CrossSectionPowers(section);
  power = _mm256_blendv_pd(power, zero, _mm256_cmp_pd(section, _mm256_set1_pd(0x1p-40), _CMP_LT_OQ));
  power = _mm256_blendv_pd(power, one, _mm256_cmp_pd(section, one, _CMP_GE_OQ));
  __m256d rounded = RoundFractions(_mm256_mul_pd(power, _mm256_set1_pd(kFraction)));
  __m256d weight = RoundFractions(_mm256_mul_pd(_mm256_mul_pd(rounded, _mm256_set1_pd(kInverseFraction)), b));
  __m256d shows = _mm256_and_pd(positive, _mm256_cmp_pd(weight, _mm256_set1_pd(t.visibilityMinimum), _CMP_GT_OQ));
  return Quad{weight, _mm256_cvttpd_epi32(_mm256_mul_pd(p, _mm256_set1_pd(t.waveScale))), _mm256_movemask_pd(shows)};
}

// One way of a line, eight lines at a time (two independent quads, so that one's latency hides
// the other's); false once the way has ended. A way ends at the first point that does not show,
// after a point past the stored lines in its direction, or when an entry could not be stored.
AVX2_FUNCTION bool ScanWay(const SpikeTerms& t, const CompactLineScan& scan, double alongSquare, int64_t first, int64_t step,
                           int64_t count, LineScanOutcome* outcome) {
  alignas(32) double weights[8];
  alignas(16) int32_t waves[8];
  const __m256d lanes = _mm256_set_pd(3.0, 2.0, 1.0, 0.0);
  // The entries of a way lie on one line: counted and bounded once, at the end.
  CompactRows* rows = &scan.subshape->compact;
  uint32_t stored = 0;
  int64_t lowest = INT64_MAX, highest = INT64_MIN;
  auto tally = [&] {
    if (stored == 0) return;
    int32_t along = int32_t(scan.along / 4), from = int32_t(lowest / 4), to = int32_t(highest / 4);
    if (scan.columns) {
      TallySubShapeEntries(scan.subshape, stored, along, from, along + 1, to + 1);
    } else {
      TallySubShapeEntries(scan.subshape, stored, from, along, to + 1, along + 1);
    }
  };
  for (int64_t done = 0; done < count; done += 8) {
    __m256d base = _mm256_set1_pd(double(first + done * step)), stride = _mm256_set1_pd(double(step));
    Quad closer = ComputeQuad(t, alongSquare, _mm256_add_pd(base, _mm256_mul_pd(lanes, stride)), scan.axis);
    Quad farther = ComputeQuad(t, alongSquare, _mm256_add_pd(base, _mm256_mul_pd(_mm256_add_pd(lanes, _mm256_set1_pd(4.0)), stride)), scan.axis);
    _mm256_store_pd(weights, closer.weight);
    _mm256_store_pd(weights + 4, farther.weight);
    _mm_store_si128(reinterpret_cast<__m128i*>(waves), closer.wave);
    _mm_store_si128(reinterpret_cast<__m128i*>(waves + 4), farther.wave);
    const int shows = closer.shows | farther.shows << 4;
    for (int k = 0; k < 8 && done + k < count; ++k) {
      if (!(shows & (1 << k))) return tally(), false;
      outcome->any = true;
      const int64_t line = first + (done + k) * step;
      if (line < scan.low || line >= scan.high) {
        if (step < 0 ? line < scan.low : line >= scan.high) return tally(), false;
        continue;
      }
      int32_t colour = scan.rainbow ? RainbowIndexOf(waves[k]) : kWhiteStarColour;
      int64_t x = scan.columns ? scan.along : line, y = scan.columns ? line : scan.along;
      CompactEntry entry{int16_t(x / 4), uint16_t(colour), float(double(int64_t(weights[k])) * kInverseFraction)};
      if (!AddCompactEntry(rows, y / 4, entry)) {
        outcome->failed = true;
        return tally(), false;
      }
      ++stored;
      lowest = std::min(lowest, line), highest = std::max(highest, line);
    }
  }
  tally();
  return true;
}

AVX2_FUNCTION LineScanOutcome ScanLineAvx2(const SpikeTerms& t, const CompactLineScan& scan) {
  LineScanOutcome outcome{false, false};
  const double offset = double(scan.along - t.centreAlong);
  const double alongSquare = offset * offset;
  const int64_t start = scan.start, extent = scan.extent;
  ScanWay(t, scan, alongSquare, start, -4, start >= -extent ? (start + extent) / 4 + 1 : 0, &outcome);
  if (!outcome.failed && start + 4 <= extent) ScanWay(t, scan, alongSquare, start + 4, 4, (extent - start - 4) / 4 + 1, &outcome);
  return outcome;
}

bool ProcessorHasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

const bool gAvx2 = ProcessorHasAvx2();

}  // namespace

double CrossSectionPower(double x) {
  if (!(x >= 0x1p-40)) return 0.0;
  if (x >= 1.0) return 1.0;
  MantissaStep split = MantissaStepOf(x);
  double r = split.ratio;
  // (1 + r)^1.6: the binomial coefficients of 1.6 up to the fifth power of r.
  double series = 1.0 + r * (1.6 + r * (0.48 + r * (-0.064 + r * (0.0224 + r * -0.010752))));
  return gCrossSection.ofExponent[split.exponent + 40] * gCrossSection.ofStep[split.step] * series;
}

bool LineScansAvailable() { return gAvx2 && gLineScansUsed; }

void UseLineScans(bool used) { gLineScansUsed = used; }

LineScanOutcome ScanCompactLine(const SpikeTerms& terms, const CompactLineScan& scan) { return ScanLineAvx2(terms, scan); }
