// Eight neighbouring candidates of a row walk each direction in step, one lane each: their pixels
// at a step are neighbours too, and the levels, divisors and thresholds of a step are the same for
// all. The lanes keep the integers of the single walk (means by exact multiplication, a lane's
// running highest and lowest); the lanes whose drops pass two bounds that every edge passes are
// decided together with the single walk's own arithmetic, in doubles where it measures a distance.
//
// Sections: exact division and the per-step history; the walk of one direction (AVX2), with the
// decision of the lanes at an edge; the colour along a walk that found nothing; the group's
// profiles.
#include "analysis/RadialWalkGroup.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdlib>

#include "analysis/WalkArithmetic.h"
#include "core/EightBitPixels.h"
#include "core/ProcessorFeatures.h"

namespace {

constexpr int32_t kLinearFull = 0xFFFFFF;

// floor(x / c) = (x * m) >> 32 with m = floor(2^32 / c) + 1 for every x below 2^32 / c: the
// brightness sums stay below 2^26, the highest level below 2^24.
constexpr uint32_t MagicFor(uint32_t c) { return uint32_t((uint64_t(1) << 32) / c + 1); }
static_assert(uint64_t(3) * kLinearFull * 3 < (uint64_t(1) << 32), "sums of three levels divide exactly by 3");
static_assert(uint64_t(kLinearFull) * 35 < (uint64_t(1) << 32), "levels divide exactly by 35");

// Levels of every step of the current direction, lane by lane: s, pair means (s[j-1] + s[j]) / 2 and
// triple means (s[j-2] + s[j-1] + s[j]) / 3, as the single walk forms them.
struct History {
  alignas(32) int32_t s[kCoarseStepLimit + 1][kWalkGroupLanes];
  alignas(32) int32_t pair[kCoarseStepLimit + 1][kWalkGroupLanes];
  alignas(32) int32_t triple[kCoarseStepLimit + 1][kWalkGroupLanes];
};

// One direction for the lanes of the group: the lanes that found an edge (with their distances)
// and, of the rest, those that walked to their limit without one.
struct DirectionWalk {
  const int32_t* centre;  // lane 0's centre in the brightness plane
  ptrdiff_t stride;       // between steps, in the plane
  int plainSteps;         // steps at which all eight lanes' pixels lie in the plane, walked or not
  int32_t reach[kWalkGroupLanes];
  int32_t centreLevel[kWalkGroupLanes];
  bool diagonal;
  const int64_t* thresholds;
  const EdgeBounds* bounds;
  unsigned lanes;
  unsigned edges;
  double distance[kWalkGroupLanes];
};

__attribute__((target("avx2"))) inline __m256i DivideSmall(__m256i x, __m256i magic) {
  __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(x, magic), 32);
  __m256i odd = _mm256_mul_epu32(_mm256_srli_epi64(x, 32), magic);
  return _mm256_blend_epi32(even, odd, 0xAA);
}

// All ones in the lanes whose bits are set.
__attribute__((target("avx2"))) inline __m256i LaneMask(unsigned bits) {
  const __m256i bit = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
  return _mm256_cmpeq_epi32(_mm256_and_si256(_mm256_set1_epi32(int32_t(bits)), bit), bit);
}

__attribute__((target("avx2"))) inline __m256i Load(const int32_t (*rows)[kWalkGroupLanes], int j) {
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(rows[j]));
}

__attribute__((target("avx2"))) inline void Store(int32_t (*rows)[kWalkGroupLanes], int j, __m256i v) {
  _mm256_store_si256(reinterpret_cast<__m256i*>(rows[j]), v);
}

// The levels compared at step k (k >= 2), the drop and the last drop, as the single walk forms them.
__attribute__((target("avx2"))) inline void DropsAt(History* h, int k, __m256i* compared, __m256i* drop, __m256i* lastDrop) {
  __m256i earlier, later, lastEarlier, lastLater;
  if (k == 2) {
    earlier = Load(h->s, 0), later = lastEarlier = Load(h->s, 1), lastLater = Load(h->s, 2);
  } else if (k == 3) {
    earlier = Load(h->pair, 1), later = lastEarlier = Load(h->pair, 2), lastLater = Load(h->pair, 3);
  } else if (k <= 7) {
    earlier = Load(h->pair, k - 3), later = Load(h->pair, k - 2), lastEarlier = Load(h->pair, k - 1), lastLater = Load(h->pair, k);
  } else if (k <= 11) {
    earlier = Load(h->triple, k - 4), later = lastEarlier = Load(h->triple, k - 2), lastLater = Load(h->triple, k);
  } else {
    earlier = Load(h->triple, k - 6), later = lastEarlier = Load(h->triple, k - 3), lastLater = Load(h->triple, k);
  }
  compared[0] = earlier, compared[1] = later;
  *drop = _mm256_sub_epi32(earlier, later);
  *lastDrop = _mm256_sub_epi32(lastEarlier, lastLater);
}

// Four lanes of an integer vector, from the half-th on, as doubles.
__attribute__((target("avx2"))) inline __m256d HalfAsDoubles(__m256i v, int half) {
  return _mm256_cvtepi32_pd(half == 0 ? _mm256_castsi256_si128(v) : _mm256_extracti128_si256(v, 1));
}

// A diagonal's drop as DiagonalDrop counts it, drop * 100 / c truncated: the products stay below
// 2^31 (levels below 2^24), where the quotient of doubles truncates to the integer quotient, as
// no quotient that is not whole lies within 2^-9 of a whole one and the division errs by far less.
__attribute__((target("avx2"))) inline __m256d DiagonalDrops(__m256i drop, int half, double c) {
  __m256d hundreds = HalfAsDoubles(_mm256_mullo_epi32(drop, _mm256_set1_epi32(100)), half);
  return _mm256_round_pd(_mm256_div_pd(hundreds, _mm256_set1_pd(c)), _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
}

// The lanes of `candidates` that find the edge at step k, with their distances in `distance`: the
// whole edge test and the distance of the single walk, four lanes to a vector, each rounded as the
// single walk rounds it (its divisions and products in the same order, none fused).
__attribute__((target("avx2"))) unsigned EdgesAt(int k, bool diagonal, int64_t threshold, const __m256i compared[2], __m256i drop,
                                                  __m256i lastDrop, __m256i highest, __m256i lowestBefore, unsigned candidates,
                                                  double distance[kWalkGroupLanes]) {
  const double span = k <= 7 ? 1.0 : k <= 11 ? 2.0 : 3.0;
  const double start = k == 2 ? 0.0 : k == 3 ? 0.5 : k <= 7 ? k - 3.5 : k <= 11 ? k - 5.0 : k - 7.0;
  const double c = double(DiagonalDivisor(k));
  const __m256d t = _mm256_set1_pd(double(threshold));
  // Levels below 2^24: the midpoint's sum and every difference stay far inside 32 bits.
  const __m256i mid = _mm256_srli_epi32(_mm256_add_epi32(highest, lowestBefore), 1);
  const __m256i numerator = _mm256_sub_epi32(compared[0], mid), denominator = _mm256_sub_epi32(compared[0], compared[1]);
  unsigned found = diagonal ? 0u : candidates;  // along an axis the bounds were the test itself
  alignas(32) double distances[kWalkGroupLanes];
  for (int half = 0; half < 2; ++half) {
    if (diagonal) {
      __m256d d = DiagonalDrops(drop, half, c), last = DiagonalDrops(lastDrop, half, c);
      __m256d edge = _mm256_and_pd(_mm256_cmp_pd(t, d, _CMP_LT_OQ), _mm256_cmp_pd(t, _mm256_sub_pd(d, last), _CMP_LT_OQ));
      found |= unsigned(_mm256_movemask_pd(edge)) << (4 * half) & candidates;
    }
    // The single walk's f of one half for levels alike never serves: an edge's drop is positive.
    __m256d f = _mm256_div_pd(HalfAsDoubles(numerator, half), HalfAsDoubles(denominator, half));
    __m256d d = diagonal ? _mm256_add_pd(_mm256_mul_pd(_mm256_mul_pd(f, _mm256_set1_pd(span)), _mm256_set1_pd(kWalkSqrt2)),
                                         _mm256_set1_pd(start * kWalkSqrt2))
                         : _mm256_add_pd(_mm256_mul_pd(f, _mm256_set1_pd(span)), _mm256_set1_pd(start));
    _mm256_store_pd(distances + 4 * half, d);
  }
  for (unsigned lanes = found; lanes != 0; lanes &= lanes - 1) {
    const int lane = __builtin_ctz(lanes);
    distance[lane] = distances[lane];
  }
  return found;
}

__attribute__((target("avx2"))) void WalkDirection(History* h, DirectionWalk* walk) {
  const __m256i magic3 = _mm256_set1_epi32(int32_t(MagicFor(3))), magic35 = _mm256_set1_epi32(int32_t(MagicFor(35)));
  const __m256i reach = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(walk->reach));
  __m256i highest = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(walk->centreLevel));
  __m256i lowest = _mm256_set1_epi32(kLinearFull), testing = _mm256_setzero_si256();
  Store(h->s, 0, highest);
  unsigned open = walk->lanes & 0xFFu;
  __m256i openMask = LaneMask(open);
  walk->edges = 0;
  int most = 0;
  for (int lane = 0; lane < kWalkGroupLanes; ++lane) most = std::max(most, (walk->lanes >> lane & 1) ? walk->reach[lane] : 0);
  const int32_t* at = walk->centre;
  for (int k = 1; k <= most; ++k) {
    at += walk->stride;
    __m256i active = _mm256_and_si256(openMask, _mm256_cmpgt_epi32(reach, _mm256_set1_epi32(k - 1)));
    if (_mm256_testz_si256(active, active)) break;
    __m256i s = k <= walk->plainSteps ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)) : _mm256_maskload_epi32(at, active);
    Store(h->s, k, s);
    __m256i previous = Load(h->s, k - 1);
    if (k <= 7) Store(h->pair, k, _mm256_srli_epi32(_mm256_add_epi32(previous, s), 1));
    if (k >= 2) Store(h->triple, k, DivideSmall(_mm256_add_epi32(_mm256_add_epi32(Load(h->s, k - 2), previous), s), magic3));
    __m256i lowestBefore = lowest;
    lowest = _mm256_min_epi32(lowest, s);
    if (k >= 2) {
      // The edge test starts once the lowest level lies below the highest by a 35th; it then
      // holds, as the highest only rises and the lowest only falls.
      __m256i level = _mm256_sub_epi32(highest, DivideSmall(highest, magic35));
      testing = _mm256_or_si256(testing, _mm256_cmpgt_epi32(level, lowest));
      __m256i compared[2], drop, lastDrop;
      DropsAt(h, k, compared, &drop, &lastDrop);
      __m256i edge = _mm256_and_si256(_mm256_cmpgt_epi32(drop, _mm256_set1_epi32(walk->bounds->first[k])),
                                      _mm256_cmpgt_epi32(_mm256_sub_epi32(drop, lastDrop), _mm256_set1_epi32(walk->bounds->second[k])));
      __m256i passing = _mm256_and_si256(_mm256_and_si256(active, testing), edge);
      unsigned candidates = unsigned(_mm256_movemask_ps(_mm256_castsi256_ps(passing)));
      if (candidates != 0) {
        unsigned found = EdgesAt(k, walk->diagonal, walk->thresholds[k], compared, drop, lastDrop, highest, lowestBefore, candidates,
                                 walk->distance);
        walk->edges |= found;
        open &= ~found;
        openMask = LaneMask(open);
      }
    }
    highest = _mm256_max_epi32(highest, s);
  }
}

// Whether the colour changed anywhere along a walk that found no edge in its whole search.
bool ColourChangedAlong(const ImageRecord& image, int64_t x, int64_t y, int dx, int dy, int steps, const PixelValue& c0) {
  const int32_t* linear = image.gammaTables.eightToLinear;
  const uint8_t* p = image.Pixel(x, y);
  const ptrdiff_t stride = dx * 4 + dy * ptrdiff_t(image.allocatedWidth) * 4;
  for (int k = 1; k <= steps; ++k) {
    p += stride;
    if (WalkColourChanged(uint32_t(linear[p[2]]), uint32_t(linear[p[1]]), uint32_t(linear[p[0]]), c0)) return true;
  }
  return false;
}

// The steps k from 1 on at which the eight pixels from lane 0's, centre + k * stride and the seven
// after it, lie in a plane of `size` values: there a plain load may read lanes that are not walked.
int PlainSteps(ptrdiff_t centre, ptrdiff_t size, ptrdiff_t stride) {
  if (centre + kWalkGroupLanes + std::min<ptrdiff_t>(stride, 0) > size) return 0;
  ptrdiff_t steps = stride > 0 ? (size - kWalkGroupLanes - centre) / stride : stride < 0 ? centre / -stride : kCoarseStepLimit;
  return int(std::max<ptrdiff_t>(0, std::min<ptrdiff_t>(steps, kCoarseStepLimit)));
}

}  // namespace

__attribute__((target("avx2"))) void DiagonalDropsOfEight(const int32_t drops[kWalkGroupLanes], int k, int64_t counted[kWalkGroupLanes]) {
  const __m256i drop = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(drops));
  const double c = double(DiagonalDivisor(k));
  for (int half = 0; half < 2; ++half) {
    alignas(32) double d[4];
    _mm256_store_pd(d, DiagonalDrops(drop, half, c));
    for (int i = 0; i < 4; ++i) counted[4 * half + i] = int64_t(d[i]);
  }
}

const EdgeBoundTable& EdgeBoundsFor(int64_t t) {
  static thread_local EdgeBoundTable cached;
  if (cached.t != t) {
    const int64_t* thresholds = EdgeThresholds(t);
    for (int k = 0; k <= kCoarseStepLimit; ++k) {
      int64_t divisor = DiagonalDivisor(k);
      cached.axis.first[k] = cached.axis.second[k] = int32_t(thresholds[k]);
      cached.diagonal.first[k] = int32_t((divisor * (thresholds[k] + 1) + 99) / 100 - 1);
      cached.diagonal.second[k] = int32_t(divisor * thresholds[k] / 100);
    }
    cached.t = t;
  }
  return cached;
}

bool CanWalkInGroups() { return HasAvx2(); }

void MeasureRadialProfileGroup(AnalysisRun* run, const ImageRecord& image, const BrightnessPlane& plane, int64_t x0, int64_t y,
                               unsigned lanes, ProfileOutcome outcomes[kWalkGroupLanes], double distances[kWalkGroupLanes][8]) {
  const int last = (run->pass == PASS_COARSE ? kCoarseStepLimit : kFineStepLimit) - 1;
  const AnalysisRect& r = run->rect;
  const EdgeBoundTable& bounds = EdgeBoundsFor(run->imageMaximum / 85);
  PixelValue c0[kWalkGroupLanes];
  DirectionWalk walk;
  walk.thresholds = EdgeThresholds(run->imageMaximum / 85);
  walk.centre = plane.At(image, x0, y);
  const ptrdiff_t centreIndex = walk.centre - static_cast<const int32_t*>(plane.values.block);
  const ptrdiff_t planeSize = ptrdiff_t(plane.values.size / sizeof(int32_t));
  for (int lane = 0; lane < kWalkGroupLanes; ++lane) {
    outcomes[lane] = PROFILE_MEASURED;
    for (int d = 0; d < 8; ++d) distances[lane][d] = -1;
    if (!(lanes >> lane & 1)) continue;
    ReadEightBitColour(image, x0 + lane, y, &c0[lane]);
    walk.centreLevel[lane] = int32_t(BrightnessOf(c0[lane]));
  }
  History history;
  for (int d = 0; d < 8 && lanes != 0; ++d) {
    const int dx = kWalkDirections[d][0], dy = kWalkDirections[d][1];
    walk.stride = dx + dy * ptrdiff_t(image.allocatedWidth);
    walk.plainSteps = PlainSteps(centreIndex, planeSize, walk.stride);
    walk.diagonal = (d & 1) != 0;
    walk.bounds = walk.diagonal ? &bounds.diagonal : &bounds.axis;
    walk.lanes = lanes;
    for (int lane = 0; lane < kWalkGroupLanes; ++lane) {
      int64_t inside = std::min(WalkStepsInside(x0 + lane, dx, int64_t(r.left), int64_t(r.right)),
                                WalkStepsInside(y, dy, int64_t(r.top), int64_t(r.bottom)));
      walk.reach[lane] = (lanes >> lane & 1) ? int32_t(std::min<int64_t>(inside, last)) : 0;
    }
    WalkDirection(&history, &walk);
    for (int lane = 0; lane < kWalkGroupLanes; ++lane) {
      if (!(lanes >> lane & 1)) continue;
      if (walk.edges >> lane & 1) {
        distances[lane][d] = walk.distance[lane];
      } else if (walk.reach[lane] == last && !ColourChangedAlong(image, x0 + lane, y, dx, dy, last, c0[lane])) {
        // No edge and no change of colour within the search: a plateau to fill.
        for (int i = 0; i < 8; ++i) distances[lane][i] = -1;
        outcomes[lane] = PROFILE_OPEN_PLATEAU;
        lanes &= ~(1u << lane);
      }
    }
  }
}
