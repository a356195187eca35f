// The arithmetic of a spike's points: the power of its cross-section, and the lines of a spike
// scanned eight points at a time with AVX2 where the processor has it.
#pragma once
#include <cstdint>

#include "effects/StarTables.h"
#include "shapes/Shape.h"

// x^1.6, the power of the spikes' cross-section, for x in [0, 1]; 0 below 2^-40, where it no
// longer makes a weight.
double CrossSectionPower(double x);

// What stays the same for every point of one spike (quarter pixels, the formulas' symbols).
struct SpikeTerms {
  int64_t centreAcross;  // the centre's coordinate across the scanned lines
  double halfWidth, widening, dimming;  // h, s₁, s₂
  double across;                        // k
  double strength;                      // g
  double visibilityMinimum;
  FalloffCache* falloff;
  int32_t length;
  double waveScale;  // rainbow phase per quarter pixel of distance
  int64_t centreAlong;
};

// The rainbow's colour index of a phase of its wave: the phase itself while the rainbow fades in
// over the first 2000 units, then 2000 plus its place in the turn, which repeats; and one more
// index for white, where there is no rainbow.
constexpr int kFadedIn = 2000;
constexpr int32_t kWhiteStarColour = kFadedIn + kTenthsPerTurn;
inline int32_t RainbowIndexOf(int64_t wave) { return int32_t(wave < kFadedIn ? wave : kFadedIn + wave % kTenthsPerTurn); }

// One line of a spike scanned for the compact form: from `start` toward smaller coordinates, then
// from the line above it toward larger ones, each way until a point does not show; points on the
// lines [low, high) are stored, and a way that has left them stops there.
struct CompactLineScan {
  SubShape* subshape;
  bool columns;    // the line is a column: `along` is x, the lines across are rows
  int64_t along;   // the line's fixed coordinate
  double axis;     // where the spike's axis crosses the line
  int64_t start, extent;
  int64_t low, high;
  bool rainbow;
};
struct LineScanOutcome {
  bool any;     // a point of the line showed
  bool failed;  // memory ran out
};

// Whether ScanCompactLine may be called; false without AVX2, or when turned off for tests.
bool LineScansAvailable();
void UseLineScans(bool used);
// The entries that the scan point by point stores, to the bit and in its order, eight points
// computed at a time (the same operations, lane by lane).
LineScanOutcome ScanCompactLine(const SpikeTerms& terms, const CompactLineScan& scan);
