#include "core/OnePassReductions.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <vector>

#include "core/BandTasks.h"
#include "core/Reducers.h"
#include "core/SampleTables.h"

namespace {

constexpr int kSums = 5;  // red, green, blue, alpha, mask

// One reduction: its boxes, as ReduceImage places them (columns and rows from 0 at the source's
// top left).
struct Target {
  ImageRecord* destination;
  int64_t a, b;
  double fx, fy;
  int64_t sourceWidth, sourceHeight;
  std::vector<int64_t> x0, x1;
  std::vector<size_t> startCut, endCut;  // indexes of x0 and x1 among the pass's cuts

  int64_t Top(int64_t i) const { return std::min(int64_t(std::floor(i * fy)), sourceHeight - 1); }
  int64_t Bottom(int64_t i) const { return std::min(Top(i) + b, sourceHeight); }
  int64_t Rows() const { return destination->validHeight; }
};

struct OnePass {
  const ImageRecord* source;
  Target targets[2];
  std::vector<int64_t> cuts;  // every column where a box of either reduction starts or ends, and the width
  uint64_t* rowsDone;
  const volatile bool* cancel;
  std::atomic<uint32_t> brightestSum{0};
  std::atomic<bool> cancelled{false};
};

Target TargetOf(const ImageRecord& source, ImageRecord* destination) {
  Target t{};
  t.destination = destination;
  t.a = ReductionFactor(source.validWidth, destination->validWidth);
  t.b = ReductionFactor(source.validHeight, destination->validHeight);
  t.fx = double(source.validWidth) / double(destination->validWidth);
  t.fy = double(source.validHeight) / double(destination->validHeight);
  t.sourceWidth = source.validWidth, t.sourceHeight = source.validHeight;
  return t;
}

void PlaceColumns(Target* t) {
  int64_t width = t->destination->validWidth;
  t->x0.resize(size_t(width)), t->x1.resize(size_t(width));
  for (int64_t j = 0; j < width; ++j) {
    int64_t x0 = std::min(int64_t(std::floor(j * t->fx)), t->sourceWidth - 1);
    t->x0[size_t(j)] = x0, t->x1[size_t(j)] = std::min(x0 + t->a, t->sourceWidth);
  }
}

// Cuts in ascending order; a row's running totals are kept at each of them.
void PlaceCuts(OnePass* pass) {
  std::vector<int64_t>& cuts = pass->cuts;
  for (const Target& t : pass->targets) {
    cuts.insert(cuts.end(), t.x0.begin(), t.x0.end());
    cuts.insert(cuts.end(), t.x1.begin(), t.x1.end());
  }
  cuts.push_back(pass->source->validWidth);
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  auto indexOf = [&](int64_t x) { return size_t(std::lower_bound(cuts.begin(), cuts.end(), x) - cuts.begin()); };
  for (Target& t : pass->targets) {
    t.startCut.resize(t.x0.size()), t.endCut.resize(t.x1.size());
    for (size_t j = 0; j < t.x0.size(); ++j) t.startCut[j] = indexOf(t.x0[j]), t.endCut[j] = indexOf(t.x1[j]);
  }
}

bool Suits(const ImageRecord& source, const ImageRecord& destination) {
  if (destination.bytesPerSample > 2 || destination.mode == kImageModeHalf) return false;
  if (destination.validWidth <= 0 || destination.validHeight <= 0) return false;
  if (destination.validWidth > source.validWidth || destination.validHeight > source.validHeight) return false;
  Target t = TargetOf(source, const_cast<ImageRecord*>(&destination));
  return !(t.a == 2 && t.b == 2);
}

// The rows of one destination that a band makes: those whose boxes start in its source rows, and
// their sums, two rows at a time (a source row lies in the boxes of at most two destination rows).
struct BandRows {
  int64_t first = 0, last = 0, lowest = 0;  // assigned [first, last); the oldest unfinished one
  std::vector<uint64_t> sums[2];
};

void FinishRow(const Target& t, int64_t i, const std::vector<uint64_t>& sums, bool sourceMask) {
  ImageRecord* destination = t.destination;
  int64_t rows = t.Bottom(i) - t.Top(i);
  for (int64_t j = 0; j < destination->validWidth; ++j) {
    const uint64_t* s = &sums[size_t(j) * kSums];
    uint64_t count = uint64_t(t.x1[size_t(j)] - t.x0[size_t(j)]) * uint64_t(rows);
    PixelValue average{};
    if (count != 0) {
      uint64_t mask = sourceMask ? s[4] : count * kFullFraction;
      average = PixelValue{uint32_t(s[0] / count), uint32_t(s[1] / count), uint32_t(s[2] / count), uint32_t(s[3] / count),
                           uint32_t(mask / count)};
    }
    destination->writePixel(destination, destination->rectangle.left + j, destination->rectangle.top + i, average);
  }
}

// How a band reads the source's samples: linear light and 32-bit alpha and mask by table.
struct SampleReading {
  const int32_t* linear;
  const uint32_t* to32;
  int red, green;
};

// The running totals of a source row at every cut, and the row's largest sum of the three
// channels over the pixels whose alpha is not 0.
uint32_t SumRowAtCuts(const SampleReading& r, const uint8_t* row, const uint8_t* mask, const std::vector<int64_t>& cuts,
                      uint64_t* totals) {
  uint64_t sr = 0, sg = 0, sb = 0, sa = 0, sm = 0;
  uint32_t brightest = 0;
  int64_t x = 0;
  for (size_t c = 0; c < cuts.size(); ++c) {
    const uint8_t* p = row + x * 4;
    for (int64_t next = cuts[c]; x < next; ++x, p += 4) {
      uint32_t lr = uint32_t(r.linear[p[r.red]]), lg = uint32_t(r.linear[p[r.green]]), lb = uint32_t(r.linear[p[0]]);
      uint32_t sum = lr + lg + lb;
      if (p[3] != 0 && sum > brightest) brightest = sum;
      sr += lr, sg += lg, sb += lb, sa += r.to32[p[3]];
      if (mask != nullptr) sm += r.to32[mask[x]];
    }
    uint64_t* total = &totals[c * kSums];
    total[0] = sr, total[1] = sg, total[2] = sb, total[3] = sa, total[4] = sm;
  }
  return brightest;
}

void ReduceBand(void* context, int64_t top, int64_t bottom) {
  auto* pass = static_cast<OnePass*>(context);
  const ImageRecord& source = *pass->source;
  const bool gray = IsGrayImageMode(source.mode), sourceMask = source.HasMask();
  const SampleReading samples{source.gammaTables.eightToLinear, GetSampleTables().eightTo32, gray ? 0 : 2, gray ? 0 : 1};
  BandRows bands[2];
  int64_t end = bottom;
  for (int k = 0; k < 2; ++k) {
    const Target& t = pass->targets[k];
    BandRows& b = bands[k];
    while (b.first < t.Rows() && t.Top(b.first) < top) ++b.first;
    b.last = b.first;
    while (b.last < t.Rows() && t.Top(b.last) < bottom) ++b.last;
    b.lowest = b.first;
    for (auto& sums : b.sums) sums.assign(size_t(t.destination->validWidth) * kSums, 0);
    if (b.last > b.first) end = std::max(end, t.Bottom(b.last - 1));
  }
  // Each box's part of the current row: the running totals at its end cut less those at its
  // start cut, so that the row is read once and nothing but the totals is stored per cut.
  const std::vector<int64_t>& cuts = pass->cuts;
  std::vector<uint64_t> totals(cuts.size() * kSums, 0), parts[2];
  for (int k = 0; k < 2; ++k) parts[k].assign(pass->targets[k].x0.size() * kSums, 0);
  uint32_t brightestSum = 0;
  for (int64_t y = top; y < end; ++y) {
    if ((pass->cancel != nullptr && *pass->cancel) || pass->cancelled.load(std::memory_order_relaxed)) {
      pass->cancelled = true;
      return;
    }
    const uint8_t* row = source.Pixel(source.rectangle.left, source.rectangle.top + y);
    const uint8_t* mask = sourceMask ? source.MaskAt(source.rectangle.left, source.rectangle.top + y) : nullptr;
    const bool counted = y < bottom;
    bool active[2];
    for (int k = 0; k < 2; ++k) active[k] = bands[k].lowest < bands[k].last && pass->targets[k].Top(bands[k].lowest) <= y;
    uint32_t brightest = SumRowAtCuts(samples, row, mask, cuts, totals.data());
    if (counted) brightestSum = std::max(brightestSum, brightest);
    for (int k = 0; k < 2; ++k) {
      if (!active[k]) continue;
      const Target& t = pass->targets[k];
      for (size_t j = 0; j < t.x0.size(); ++j) {
        const uint64_t* from = &totals[t.startCut[j] * kSums];
        const uint64_t* to = &totals[t.endCut[j] * kSums];
        uint64_t* part = &parts[k][j * kSums];
        for (int c = 0; c < kSums; ++c) part[c] = to[c] - from[c];
      }
    }
    for (int k = 0; k < 2; ++k) {
      const Target& t = pass->targets[k];
      BandRows& b = bands[k];
      for (int64_t i = b.lowest; active[k] && i < b.last && t.Top(i) <= y; ++i) {
        if (y >= t.Bottom(i)) continue;
        std::vector<uint64_t>& sums = b.sums[i & 1];
        for (size_t j = 0; j < sums.size(); ++j) sums[j] += parts[k][j];
        if (y == t.Bottom(i) - 1) {
          FinishRow(t, i, sums, sourceMask);
          std::fill(sums.begin(), sums.end(), 0);
        }
      }
      while (b.lowest < b.last && t.Bottom(b.lowest) <= y + 1) ++b.lowest;
    }
    if (counted && pass->rowsDone != nullptr) __atomic_add_fetch(pass->rowsDone, 1, __ATOMIC_RELAXED);
  }
  uint32_t seen = pass->brightestSum.load(std::memory_order_relaxed);
  while (brightestSum > seen && !pass->brightestSum.compare_exchange_weak(seen, brightestSum)) {
  }
}

}  // namespace

bool CanReduceInOnePass(const ImageRecord& source, const ImageRecord& first, const ImageRecord& second) {
  if (source.bytesPerSample != 1 || UsingReferenceReducers()) return false;
  return Suits(source, first) && Suits(source, second);
}

bool ReduceInOnePass(const ImageRecord& source, ImageRecord* first, ImageRecord* second, uint32_t* maximum,
                     uint64_t* rowsDone, const volatile bool* cancel) {
  OnePass pass;
  pass.source = &source;
  pass.targets[0] = TargetOf(source, first);
  pass.targets[1] = TargetOf(source, second);
  PlaceColumns(&pass.targets[0]);
  PlaceColumns(&pass.targets[1]);
  PlaceCuts(&pass);
  pass.rowsDone = rowsDone;
  pass.cancel = cancel;
  BandPass bands{"ReduceImage", "Out of RAM.  The image could not be reduced.", 64, true};
  if (!RunInBands(bands, 0, source.validHeight, ReduceBand, &pass)) return false;
  *maximum = pass.brightestSum.load() / 3;
  return !pass.cancelled.load();
}
