// Eight neighbouring candidates of a row walk each direction in step, one lane each: their pixels
// at a step are neighbours too, and the levels, divisors and thresholds of a step are the same for
// all. The lanes keep the integers of the single walk (means by exact multiplication, a lane's
// running highest and lowest); a lane whose drops pass two bounds that every edge passes is decided
// by the single walk's own arithmetic, in doubles where it measures a distance.
//
// Sections: exact division and the per-step history; the decision of one lane; the walk of one
// direction (AVX2); the colour along a walk that found nothing; the group's profiles.
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

struct Compared {
  int64_t earlier, later, lastDrop;
  double span, start;
};

Compared ComparedAt(const History& h, int k, int lane) {
  auto s = [&](int j) { return int64_t(h.s[j][lane]); };
  auto pair = [&](int j) { return int64_t(h.pair[j][lane]); };
  auto triple = [&](int j) { return int64_t(h.triple[j][lane]); };
  if (k == 2) return Compared{s(0), s(1), s(1) - s(2), 1.0, 0.0};
  if (k == 3) return Compared{pair(1), pair(2), pair(2) - pair(3), 1.0, 0.5};
  if (k <= 7) return Compared{pair(k - 3), pair(k - 2), pair(k - 1) - pair(k), 1.0, k - 3.5};
  if (k <= 11) return Compared{triple(k - 4), triple(k - 2), triple(k - 2) - triple(k), 2.0, k - 5.0};
  return Compared{triple(k - 6), triple(k - 3), triple(k - 3) - triple(k), 3.0, k - 7.0};
}

// The whole edge test of one lane at step k, with the single walk's arithmetic; true with the
// distance when it finds the edge.
bool LaneFindsEdge(const History& h, int k, int lane, bool diagonal, int64_t threshold, int64_t highest, int64_t lowestBefore,
                   double* distance) {
  Compared e = ComparedAt(h, k, lane);
  int64_t drop = e.earlier - e.later, lastDrop = e.lastDrop;
  if (diagonal) drop = DiagonalDrop(drop, k), lastDrop = DiagonalDrop(lastDrop, k);
  if (!(threshold < drop && threshold < drop - lastDrop)) return false;
  double f = e.earlier == e.later ? 0.5 : double(e.earlier - (highest + lowestBefore) / 2) / double(e.earlier - e.later);
  *distance = diagonal ? f * e.span * kWalkSqrt2 + e.start * kWalkSqrt2 : f * e.span + e.start;
  return true;
}

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

// The drop and the last drop at step k (k >= 2), as ComparedAt forms them.
__attribute__((target("avx2"))) inline void DropsAt(History* h, int k, __m256i* drop, __m256i* lastDrop) {
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
  *drop = _mm256_sub_epi32(earlier, later);
  *lastDrop = _mm256_sub_epi32(lastEarlier, lastLater);
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
      __m256i drop, lastDrop;
      DropsAt(h, k, &drop, &lastDrop);
      __m256i edge = _mm256_and_si256(_mm256_cmpgt_epi32(drop, _mm256_set1_epi32(walk->bounds->first[k])),
                                      _mm256_cmpgt_epi32(_mm256_sub_epi32(drop, lastDrop), _mm256_set1_epi32(walk->bounds->second[k])));
      __m256i passing = _mm256_and_si256(_mm256_and_si256(active, testing), edge);
      unsigned candidates = unsigned(_mm256_movemask_ps(_mm256_castsi256_ps(passing)));
      if (candidates != 0) {
        alignas(32) int32_t highs[kWalkGroupLanes], lows[kWalkGroupLanes];
        _mm256_store_si256(reinterpret_cast<__m256i*>(highs), highest);
        _mm256_store_si256(reinterpret_cast<__m256i*>(lows), lowestBefore);
        for (int lane = 0; lane < kWalkGroupLanes; ++lane) {
          if (!(candidates >> lane & 1)) continue;
          if (LaneFindsEdge(*h, k, lane, walk->diagonal, walk->thresholds[k], highs[lane], lows[lane], &walk->distance[lane])) {
            walk->edges |= 1u << lane;
            open &= ~(1u << lane);
          }
        }
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

const EdgeBoundTable& EdgeBoundsFor(int64_t t) {
  static thread_local EdgeBoundTable cached;
  if (cached.t != t) {
    const int64_t* thresholds = EdgeThresholds(t);
    for (int k = 0; k <= kCoarseStepLimit; ++k) {
      int64_t divisor = k <= 7 ? 141 : k <= 11 ? 283 : 424;
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
