// Shape records: lazy generation of a phase under its own mutex, so that sixteen phases can be
// built in parallel by whichever threads need them first, each exactly once.
#include "effects/Shape.h"

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "core/RunResult.h"

namespace {

constexpr uint64_t kEntrySize = sizeof(SubShapeEntry);

uint64_t CapacityOf(const SubShape& subshape) { return subshape.entries.size / kEntrySize; }

}  // namespace

void ReleaseSubShape(SubShape* subshape) {
  DeallocateBuffer(&subshape->entries);
  DeallocateBuffer(&subshape->rowStarts);
  DeallocateBuffer(&subshape->preview.batchIndices);
  subshape->count = 0;
  subshape->rowOrdered = false;
  __atomic_store_n(&subshape->paintForm, uint8_t(0), __ATOMIC_RELEASE);
  subshape->left = subshape->top = subshape->right = subshape->bottom = 0;
  __atomic_store_n(&subshape->ready, uint8_t(0), __ATOMIC_RELEASE);
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
  AcquireSRWLockExclusive(&subshape->mutex);
  bool ready = SubShapeIsReady(*subshape) || shape->generator(shape, phaseX, phaseY);
  ReleaseSRWLockExclusive(&subshape->mutex);
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

// A counting sort that moves each entry straight to its row's next free place, swapping out the
// entry found there: no second buffer of entries (a star holds tens of megabytes of them) and so
// no fresh memory to fault in. The order within a row is not kept; painting does not depend on it.
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

bool OrderSubShapeByRow(SubShape* subshape) {
  subshape->rowOrdered = subshape->count == 0;  // an empty shape has no rows to index
  if (subshape->count == 0) return true;
  if (!IndexSubShapeRows(subshape)) return false;
  int64_t rows = int64_t(subshape->bottom) - subshape->top;
  auto* starts = static_cast<uint32_t*>(subshape->rowStarts.block);
  auto* entries = static_cast<SubShapeEntry*>(subshape->entries.block);
  const int32_t top = subshape->top;
  std::vector<uint32_t> next(starts, starts + rows);  // each row's first place not yet settled
  for (int64_t r = 0; r < rows; ++r) {
    const uint32_t end = starts[r + 1];
    while (next[size_t(r)] < end) {
      SubShapeEntry moving = entries[next[size_t(r)]];
      int64_t row = moving.dy - top;
      while (row != r) {
        std::swap(moving, entries[next[size_t(row)]++]);
        row = moving.dy - top;
      }
      entries[next[size_t(r)]++] = moving;
    }
  }
  subshape->rowOrdered = true;
  return true;
}

void PublishSubShape(SubShape* subshape) {
  // Trimming only shrinks, which keeps the block where it is; a failure keeps the larger block.
  if (subshape->count > 0 && CapacityOf(*subshape) > subshape->count) {
    ReallocateBufferPreserveContents(uint64_t(subshape->count) * kEntrySize, &subshape->entries);
  }
  __atomic_store_n(&subshape->ready, uint8_t(1), __ATOMIC_RELEASE);
}
