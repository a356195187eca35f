// A shape: a sparse image of weighted, coloured pixels around a centre, kept in sixteen
// SubShapes, one per quarter-pixel phase of the centre, each generated on first use.
#pragma once
#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "core/BufferManager.h"
#include "core/ImageRecord.h"
#include "shapes/CompactRows.h"

struct SubShapeEntry {
  int16_t dx, dy;  // offset from the shape's centre pixel
  uint32_t red, green, blue;  // 32-bit fractions; white is three times kFullFraction
  uint32_t weight;
};
static_assert(sizeof(SubShapeEntry) == 20, "shapes are stored 20 bytes an entry");

// The final render's form of an entry, made once per SubShape as it is ordered by row: the
// colour times the weight as fractions of one, and the column. Painting reads every entry once
// per light source, so 16 bytes where a SubShapeEntry takes 20 and no conversion per light.
struct PaintEntry {
  float red, green, blue;
  int32_t dx;
};
static_assert(sizeof(PaintEntry) == 16, "four paint entries to a cache line");

// An analysis shape's entry as the statistics read it through a brightness plane: its weight as
// a fraction of one and its place in a plane of a given row stride, relative to the centre's.
struct PlaneEntry {
  double weight;
  int64_t offset;
};

// What a SubShape holds when it serves as a preview texture slot.
struct PreviewSlot {
  uint32_t texture;
  int32_t width, height;
  BufferDescriptor batchIndices;
  uint32_t unpackBuffer;
  int32_t usage;
  uint64_t unpackSize;
};

// The fields detection reads for every shape statistic come first, so that they share the
// first cache line: detection measures millions of statistics over thousands of SubShapes.
struct SubShape {
  uint8_t ready;  // written with release order under the mutex, read with acquire order
  int32_t left, top, right, bottom;  // bounds of the offsets; right and bottom exclusive
  uint32_t count;
  // Analysis shapes with unit weights: their plane entries for up to two row strides (a detection
  // run's coarse and fine images); a stride of 0 is a free place. Strides are written with release
  // order under the mutex, once each, and read with acquire order.
  int64_t planeStrides[2];
  BufferDescriptor entries;
  BufferDescriptor planeEntries[2];  // for planeStrides[0] and [1]
  PreviewSlot preview;
  bool rowOrdered;  // entries (or paint entries) grouped by dy, top row first, and rowStarts filled
  BufferDescriptor rowStarts;  // bottom - top + 1 indices: row r's entries are [rowStarts[r], rowStarts[r + 1])
  uint8_t paintForm;  // entries hold PaintEntry records; written with release order, read with acquire order
  CompactRows compact;  // the final render's form, for generators that draw it
  BufferDescriptor unitWeights;  // analysis shapes: each entry's weight as a double, weight / 4294967294
  SRWLOCK mutex;  // guards generation; a slim lock, as 2 × 1056 analysis shapes need 33,792 of them
  const SubShapeEntry* Entries() const { return static_cast<const SubShapeEntry*>(entries.block); }
  const uint32_t* RowStarts() const { return static_cast<const uint32_t*>(rowStarts.block); }
  const PaintEntry* PaintEntries() const { return static_cast<const PaintEntry*>(entries.block); }
  const double* UnitWeights() const { return static_cast<const double*>(unitWeights.block); }
  const PlaneEntry* PlaneEntries(int k) const { return static_cast<const PlaneEntry*>(planeEntries[k].block); }
  bool IsCompact() const { return compact.chains.block != nullptr; }
};

constexpr int32_t SHAPE_IMAGE = 0;

struct Shape;
// Fills SubShape [phaseX][phaseY] of the shape; false when it could not.
typedef bool (*ShapeGenerator)(Shape* shape, int phaseX, int phaseY);

struct Shape {
  SubShape subshapes[4][4];
  int32_t type;
  uint8_t singlePhase;
  ShapeGenerator generator;
  const void* parameter;
  ImageRecord textureImage;
  BufferDescriptor textureBuffers[2];
  uint32_t quadCount;
  BufferDescriptor vertexBatches;
};

// The pixel that holds a coordinate and the quarter-pixel phase within it.
struct ShapePosition {
  int64_t pixel;
  int phase;
};
ShapePosition ShapePositionOf(double v);

bool InitializeShape(Shape* shape, ShapeGenerator generator, const void* parameter, bool singlePhase);
void ResetShape(Shape* shape);
// Frees one SubShape; it is generated again when next acquired.
void ReleaseSubShape(SubShape* subshape);
void DestroyShape(Shape* shape);

// The SubShape of a phase, generated first if need be; null when generation or the wait failed.
SubShape* AcquireSubShape(Shape* shape, int phaseX, int phaseY);
// The SubShape for a centre, with the pixel the centre lies in.
SubShape* AcquireSubShapeAt(Shape* shape, double x, double y, int64_t* pixelX, int64_t* pixelY);

// Generators' helpers: reserve room, append one entry (growing by the hint when full), and
// finish (trim the buffer to its entries and publish the SubShape).
bool ReserveSubShapeEntries(SubShape* subshape, uint64_t capacity);
bool GrowSubShapeEntries(SubShape* subshape, uint32_t growthHint);
// Counts an entry at (dx, dy) and widens the bounds to hold it.
inline void TallySubShapeEntry(SubShape* subshape, int32_t dx, int32_t dy) {
  if (subshape->count++ == 0) {
    subshape->left = dx, subshape->right = dx + 1;
    subshape->top = dy, subshape->bottom = dy + 1;
    return;
  }
  if (dx < subshape->left) subshape->left = dx;
  if (dx >= subshape->right) subshape->right = dx + 1;
  if (dy < subshape->top) subshape->top = dy;
  if (dy >= subshape->bottom) subshape->bottom = dy + 1;
}
// Counts `count` entries within [left, right) × [top, bottom) at once, widening the bounds.
inline void TallySubShapeEntries(SubShape* subshape, uint32_t count, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (count == 0) return;
  if (subshape->count == 0) {
    subshape->left = left, subshape->top = top, subshape->right = right, subshape->bottom = bottom;
  } else {
    subshape->left = std::min(subshape->left, left), subshape->top = std::min(subshape->top, top);
    subshape->right = std::max(subshape->right, right), subshape->bottom = std::max(subshape->bottom, bottom);
  }
  subshape->count += count;
}
inline bool AddSubShapeEntry(SubShape* subshape, const SubShapeEntry& entry, uint32_t growthHint) {
  if (uint64_t(subshape->count) * sizeof(SubShapeEntry) >= subshape->entries.size && !GrowSubShapeEntries(subshape, growthHint)) {
    return false;
  }
  static_cast<SubShapeEntry*>(subshape->entries.block)[subshape->count] = entry;
  TallySubShapeEntry(subshape, entry.dx, entry.dy);
  return true;
}
// The same for a SubShape drawn in the compact form (started with StartCompactRows).
inline bool AddCompactSubShapeEntry(SubShape* subshape, int32_t dx, int32_t dy, uint16_t colour, float weight) {
  if (!AddCompactEntry(&subshape->compact, dy, CompactEntry{int16_t(dx), colour, weight})) return false;
  TallySubShapeEntry(subshape, dx, dy);
  return true;
}
// The bytes a SubShape's entries take in whichever form it holds them.
uint64_t SubShapeBytes(const SubShape& subshape);
// Fills rowStarts with where each row's entries start once ordered by row; false without memory.
bool IndexSubShapeRows(SubShape* subshape);
// Groups the entries by row, in place, and records where each row starts, so that the final
// render can paint a shape row by row; false (nothing changed) when the row index has no memory.
bool OrderSubShapeByRow(SubShape* subshape);
// Keeps the entries' weights as fractions of one beside them, for the statistics that read every
// entry of the analysis shapes again and again; without them (large shapes, no memory) they are
// divided as read.
void MakeUnitWeights(SubShape* subshape);
// The SubShape's plane entries for a plane of the given row stride, made on first use; null for a
// SubShape without unit weights, or when no place or memory is left for them.
const PlaneEntry* PlaneEntriesFor(SubShape* subshape, int64_t stride);
// Trims the entries' buffer to the entries and makes the SubShape ready; the second keeps the
// buffer's room, for a generator whose buffers serve again.
void PublishSubShape(SubShape* subshape);
void PublishSubShapeKeepingRoom(SubShape* subshape);
inline bool SubShapeIsReady(const SubShape& subshape) { return __atomic_load_n(&subshape.ready, __ATOMIC_ACQUIRE) != 0; }

// A fraction in [0, 1] as a 32-bit fraction, rounded to nearest; values outside are clamped.
uint32_t FractionOf(double value);
