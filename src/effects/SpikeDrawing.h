// One spike of a star: a tapering line from the centre, rasterised into a SubShape.
#pragma once
#include <cstdint>

#include "params/ParameterSet.h"
#include "effects/SpikePoints.h"
#include "effects/StarTables.h"
#include "shapes/Shape.h"

struct SpikeRequest {
  int32_t angle;      // tenths of a degree, 0 up, growing clockwise
  double width;       // w
  int32_t length;     // λ, the Length slider
  int32_t slider;     // v, the slider that sets the strength
  uint32_t strength;  // g, a 32-bit fraction
};


// Appends the spike's entries to the SubShape of phase (px, py); false when memory ran out or
// the run's result was set.
bool DrawSpike(SubShape* subshape, int px, int py, const SpikeRequest& spike, const ParameterSet& parameters);
// The same storing only the entries within the reach (pixel offsets), and stopping each way of
// the scan once it has left the reach; the fast path may be turned off for tests.
bool DrawSpikeWithin(SubShape* subshape, int px, int py, const SpikeRequest& spike, const ParameterSet& parameters,
                     const ShapeReach& reach, bool fastPath = true);
// The same drawn in the compact form, into a SubShape whose rows are started (StartCompactRows):
// the entries of each row in the order DrawSpikeWithin gives them, each colour the index of the
// rainbow's colour in the star's colour table, each weight as a fraction of one.
bool DrawCompactSpikeWithin(SubShape* subshape, int px, int py, const SpikeRequest& spike, const ParameterSet& parameters,
                            const ShapeReach& reach, bool fastPath = true);
// The colours of a star's compact entries: kWhiteStarColour + 1 entries of four floats (red,
// green, blue as fractions of one, and a fourth unused), the last white.
void FillStarColourTable(const ParameterSet& parameters, bool gray, float* table);
// The same without the mirror-symmetric path for a horizontal spike at phase (0, 0), so that
// tests can compare the two.
bool DrawSpikeGeneral(SubShape* subshape, int px, int py, const SpikeRequest& spike, const ParameterSet& parameters);
