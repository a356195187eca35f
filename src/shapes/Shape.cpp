// Shape records: lazy generation of a phase under its own mutex, so that sixteen phases can be
// built in parallel by whichever threads need them first, each exactly once.
#include "shapes/Shape.h"

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "core/Fractions.h"
#include "core/RunResult.h"
#include "support/Locks.h"

namespace {

constexpr uint64_t kEntrySize = sizeof(SubShapeEntry);

uint64_t CapacityOf(const SubShape& subshape) { return subshape.entries.size / kEntrySize; }

}  // namespace

void ReleaseSubShape(SubShape* subshape) {
  DeallocateBuffer(&subshape->entries);
  DeallocateBuffer(&subshape->rowStarts);
  DeallocateBuffer(&subshape->unitWeights);
  for (int k = 0; k < 2; ++k) {
    DeallocateBuffer(&subshape->planeEntries[k]);
    __atomic_store_n(&subshape->planeStrides[k], int64_t(0), __ATOMIC_RELEASE);
  }
  DeallocateBuffer(&subshape->preview.batchIndices);
  ReleaseCompactRows(&subshape->compact);
  subshape->count = 0;
  subshape->rowOrdered = false;
  __atomic_store_n(&subshape->paintForm, uint8_t(0), __ATOMIC_RELEASE);
  subshape->left = subshape->top = subshape->right = subshape->bottom = 0;
  __atomic_store_n(&subshape->ready, uint8_t(0), __ATOMIC_RELEASE);
}

uint64_t SubShapeBytes(const SubShape& subshape) {
  return subshape.entries.size + subshape.rowStarts.size + subshape.unitWeights.size + subshape.planeEntries[0].size +
         subshape.planeEntries[1].size + CompactRowBytes(subshape.compact);
}

uint32_t FractionOf(double value) {
  if (!(value > 0.0)) return 0;
  if (value >= 1.0) return kFullFraction;
  return uint32_t(value * double(kFullFraction) + 0.5);
}

ShapePosition ShapePositionOf(double v) {
  double whole = std::trunc(v);
  if (v < 0 && whole != v) whole -= 1.0;
  return ShapePosition{int64_t(whole), int((v - whole) * 4.0)};
}

bool InitializeShape(Shape* shape, ShapeGenerator generator, const void* parameter, bool singlePhase) {
  memset(static_cast<void*>(shape), 0, sizeof *shape);
  shape->type = SHAPE_IMAGE;
  shape->generator = generator;
  shape->parameter = parameter;
  shape->singlePhase = singlePhase ? 1 : 0;
  for (auto& column : shape->subshapes) {
    for (SubShape& subshape : column) InitializeSRWLock(&subshape.mutex);
  }
  return true;
}

void ResetShape(Shape* shape) {
  for (auto& column : shape->subshapes) {
    for (SubShape& subshape : column) ReleaseSubShape(&subshape);
  }
  DeallocateBuffer(&shape->vertexBatches);
  shape->quadCount = 0;
  ReleaseImage(&shape->textureImage);
  DeallocateBuffer(&shape->textureBuffers[0]);
  DeallocateBuffer(&shape->textureBuffers[1]);
}

void DestroyShape(Shape* shape) {
  ResetShape(shape);
  memset(static_cast<void*>(shape), 0, sizeof *shape);
}

SubShape* AcquireSubShape(Shape* shape, int phaseX, int phaseY) {
  if (shape->singlePhase) phaseX = phaseY = 0;
  SubShape* subshape = &shape->subshapes[phaseX][phaseY];
  if (SubShapeIsReady(*subshape)) return subshape;
  ScopedExclusiveLock lock(subshape->mutex);
  bool ready = SubShapeIsReady(*subshape) || shape->generator(shape, phaseX, phaseY);
  return ready && SubShapeIsReady(*subshape) ? subshape : nullptr;
}

SubShape* AcquireSubShapeAt(Shape* shape, double x, double y, int64_t* pixelX, int64_t* pixelY) {
  ShapePosition px = ShapePositionOf(x), py = ShapePositionOf(y);
  *pixelX = px.pixel;
  *pixelY = py.pixel;
  return AcquireSubShape(shape, px.phase, py.phase);
}

bool ReserveSubShapeEntries(SubShape* subshape, uint64_t capacity) {
  if (CapacityOf(*subshape) >= capacity) return true;
  return ReallocateBufferPreserveContents(capacity * kEntrySize, &subshape->entries) == 0;
}

bool GrowSubShapeEntries(SubShape* subshape, uint32_t growthHint) {
  return ReserveSubShapeEntries(subshape, uint64_t(subshape->count) + (growthHint > 0 ? growthHint : 1));
}

bool IndexSubShapeRows(SubShape* subshape) {
  int64_t rows = int64_t(subshape->bottom) - subshape->top;
  if (ReallocateBuffer(uint64_t(rows + 1) * sizeof(uint32_t), &subshape->rowStarts) != 0) return false;
  auto* starts = static_cast<uint32_t*>(subshape->rowStarts.block);
  memset(starts, 0, size_t(rows + 1) * sizeof(uint32_t));
  const SubShapeEntry* entries = subshape->Entries();
  const int32_t top = subshape->top;
  for (uint32_t i = 0; i < subshape->count; ++i) ++starts[entries[i].dy - top + 1];
  for (int64_t r = 1; r <= rows; ++r) starts[r] += starts[r - 1];
  return true;
}

namespace {

// Moves each entry straight to its bucket's next free place, swapping out the entry found there,
// until every bucket holds its own. bounds has buckets + 1 places; next takes buckets.
template <typename Key>
void PermuteIntoBuckets(SubShapeEntry* entries, const uint32_t* bounds, int64_t buckets, Key key, uint32_t* next) {
  for (int64_t b = 0; b < buckets; ++b) next[b] = bounds[b];
  for (int64_t b = 0; b < buckets; ++b) {
    while (next[b] < bounds[b + 1]) {
      SubShapeEntry moving = entries[next[b]];
      int64_t k = key(moving);
      while (k != b) {
        std::swap(moving, entries[next[k]++]);
        k = key(moving);
      }
      entries[next[b]++] = moving;
    }
  }
}

constexpr int kGroupBits = 6;  // rows of a first-level group, as a power of two

}  // namespace

// A counting sort in place, for shapes too large to copy. Each swap goes to a place of the
// buckets' choosing, so with a bucket per row of a large star nearly every swap would miss the
// caches; a bucket per 64 rows first, then per row within each group, keeps the places being
// written few enough to stay cached. The order within a row is not kept; painting does not
// depend on it.
bool OrderSubShapeByRow(SubShape* subshape) {
  subshape->rowOrdered = subshape->count == 0;  // an empty shape has no rows to index
  if (subshape->count == 0) return true;
  if (!IndexSubShapeRows(subshape)) return false;
  const int64_t rows = int64_t(subshape->bottom) - subshape->top;
  const uint32_t* starts = subshape->RowStarts();
  auto* entries = static_cast<SubShapeEntry*>(subshape->entries.block);
  const int32_t top = subshape->top;
  const int64_t groups = (rows + (1 << kGroupBits) - 1) >> kGroupBits;
  std::vector<uint32_t> bounds(size_t(groups + 1)), next(size_t(std::max<int64_t>(groups, 1 << kGroupBits)));
  for (int64_t g = 0; g <= groups; ++g) bounds[size_t(g)] = starts[std::min(g << kGroupBits, rows)];
  PermuteIntoBuckets(entries, bounds.data(), groups, [top](const SubShapeEntry& e) { return int64_t(e.dy - top) >> kGroupBits; },
                     next.data());
  for (int64_t g = 0; g < groups; ++g) {
    const int64_t first = g << kGroupBits;
    PermuteIntoBuckets(entries, starts + first, std::min<int64_t>(1 << kGroupBits, rows - first),
                       [top, first](const SubShapeEntry& e) { return int64_t(e.dy - top) - first; }, next.data());
  }
  subshape->rowOrdered = true;
  return true;
}

void MakeUnitWeights(SubShape* subshape) {
  // The discs and rings of large lights are measured a few times each; dividing their weights
  // ahead would cost more than it saves.
  constexpr uint32_t kMostEntries = 4096;
  if (subshape->count == 0 || subshape->count > kMostEntries) return;
  if (ReallocateBuffer(uint64_t(subshape->count) * sizeof(double), &subshape->unitWeights) != 0) return;
  auto* weights = static_cast<double*>(subshape->unitWeights.block);
  const SubShapeEntry* entries = subshape->Entries();
  for (uint32_t i = 0; i < subshape->count; ++i) weights[i] = entries[i].weight / kFraction;
}

const PlaneEntry* PlaneEntriesFor(SubShape* subshape, int64_t stride) {
  for (int k = 0; k < 2; ++k) {
    if (__atomic_load_n(&subshape->planeStrides[k], __ATOMIC_ACQUIRE) == stride) return subshape->PlaneEntries(k);
  }
  const double* weights = subshape->UnitWeights();
  if (weights == nullptr || stride == 0) return nullptr;
  ScopedExclusiveLock lock(subshape->mutex);
  int free = -1;
  for (int k = 0; k < 2; ++k) {
    if (subshape->planeStrides[k] == stride) return subshape->PlaneEntries(k);
    if (subshape->planeStrides[k] == 0 && free < 0) free = k;
  }
  if (free < 0 || ReallocateBuffer(uint64_t(subshape->count) * sizeof(PlaneEntry), &subshape->planeEntries[free]) != 0) {
    return nullptr;
  }
  auto* made = static_cast<PlaneEntry*>(subshape->planeEntries[free].block);
  const SubShapeEntry* entries = subshape->Entries();
  for (uint32_t i = 0; i < subshape->count; ++i) made[i] = PlaneEntry{weights[i], entries[i].dy * stride + entries[i].dx};
  __atomic_store_n(&subshape->planeStrides[free], stride, __ATOMIC_RELEASE);
  return made;
}

void PublishSubShape(SubShape* subshape) {
  // Trimming only shrinks, which keeps the block where it is; a failure keeps the larger block.
  if (subshape->count > 0 && CapacityOf(*subshape) > subshape->count) {
    ReallocateBufferPreserveContents(uint64_t(subshape->count) * kEntrySize, &subshape->entries);
  }
  PublishSubShapeKeepingRoom(subshape);
}

void PublishSubShapeKeepingRoom(SubShape* subshape) { __atomic_store_n(&subshape->ready, uint8_t(1), __ATOMIC_RELEASE); }
