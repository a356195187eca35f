// The tables and the render mode that the star and soft-flare generators share: sines and the
// rainbow wave in tenths of a degree, the 42-spike table, the reference size and visibility
// minimum of the render, and the memoised spike falloff and soft-flare weights.
#pragma once
#include <cstdint>

#include "core/ImageRecord.h"

constexpr int kTenthsPerTurn = 3600;
constexpr int kSpikeTableSize = 42;

struct SpikeTableRow {
  int32_t angle;    // tenths of a degree
  int32_t percent;  // strength
};
extern const SpikeTableRow kSpikeTable[kSpikeTableSize];

// Angles wrap modulo a turn, negative ones too.
inline int32_t WrapAngle(int64_t tenths) {
  int64_t a = tenths % kTenthsPerTurn;
  return int32_t(a < 0 ? a + kTenthsPerTurn : a);
}
double SineOf(int64_t tenths);          // sin(angle)
uint32_t RainbowWave(int64_t tenths);   // 0.5 + 0.5 sin(angle) as a 32-bit fraction
const uint32_t* RainbowWaveTable();     // the same for 0..3599, for per-pixel loops

// The offsets from a shape's centre pixel, in pixels, that land on the image for at least one
// light source painted with the shape; right and bottom exclusive. Entries outside it are never
// painted, so generators need not store them.
struct ShapeReach {
  int64_t left, top, right, bottom;
  bool Holds(int64_t dx, int64_t dy) const { return dx >= left && dx < right && dy >= top && dy < bottom; }
};
constexpr ShapeReach kUnboundedReach{INT64_MIN / 8, INT64_MIN / 8, INT64_MAX / 8, INT64_MAX / 8};

// How effects are being rendered: final (into the host image) or for the preview.
struct EffectRenderMode {
  bool preview;
  double referenceSize;           // R of the star shape
  double softFlareReferenceSize;  // R' of the soft flare
  uint32_t visibilityMinimum;
  bool grayImage;
  // Known in the final render once the light sources are placed: per phase for the star, over
  // all of them for the single-phase soft flare. Shapes for the preview are never bounded.
  bool reachKnown;
  ShapeReach starReach[4][4];
  ShapeReach softFlareReach;
};
extern EffectRenderMode gEffectRenderMode;
// Where a final render's shapes of a phase are needed; unbounded in the preview or when unknown.
const ShapeReach& StarReachOf(int phaseX, int phaseY);
const ShapeReach& SoftFlareReach();

// Final render of an image: R is its diagonal plus one; the minimum is 64 for 8-bit images and
// 0 for deeper ones, whose finer steps show fainter light.
void EnterFinalRenderMode(const ImageRecord& hostImage);
// Builds the tables once and forgets every memoised falloff and soft-flare weight.
void InitializeStarTables();

// The spike falloff Q at a rounded distance (quarter pixels) for a spike length; memoised per
// length, so that the value is the same whichever thread or spike computed it first. A spike
// takes its length's table once and reads it for every pixel.
constexpr int kFalloffSlots = 65536;
constexpr uint64_t kFalloffEmpty = ~uint64_t(0);  // a NaN pattern no computed value has
struct FalloffCache {
  int32_t key = -1;  // the length, with bit 31 set in the preview
  uint64_t values[kFalloffSlots];  // doubles, written whole
};
FalloffCache* SpikeFalloffTable(int32_t length);
// Computes, stores and returns a value the cache does not hold yet.
double ComputeSpikeFalloff(FalloffCache* table, int32_t length, int64_t roundedDistance);
// Read for every entry of every spike, so the cached value is read inline.
inline double SpikeFalloff(FalloffCache* table, int32_t length, int64_t roundedDistance) {
  if (roundedDistance >= 0 && roundedDistance < kFalloffSlots) {
    uint64_t bits = __atomic_load_n(&table->values[roundedDistance], __ATOMIC_RELAXED);
    if (bits != kFalloffEmpty) {
      double value;
      __builtin_memcpy(&value, &bits, sizeof value);
      return value;
    }
  }
  return ComputeSpikeFalloff(table, length, roundedDistance);
}
// The soft-flare weight at ρ pixels for Length L.
uint32_t SoftFlareWeight(int32_t length, double distance);
