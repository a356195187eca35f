// The radial profiles of neighbouring candidates of a row, walked together over the brightness
// plane: one load of eight neighbours' pixels serves all eight walks of a direction at a step.
#pragma once
#include <cstdint>

#include "analysis/AnalysisRun.h"
#include "analysis/Measure.h"

constexpr int kWalkGroupLanes = 8;

// The edge test, threshold < drop and threshold < drop - lastDrop, in the lanes' own integers: an
// edge needs drop > first and drop - lastDrop > second. Along an axis these are the test itself.
// Along a diagonal, whose drops count 100 / c (c = 141, 283, 424) truncated, first is the largest
// drop that still falls short, and second follows from the truncations, which take less than one
// from the positive drop and add less than one to the last: 100 (drop - lastDrop) / c must exceed
// the threshold. The lanes that pass both are tested again with the single walk's arithmetic.
struct EdgeBounds {
  int32_t first[kCoarseStepLimit + 1];
  int32_t second[kCoarseStepLimit + 1];
};
struct EdgeBoundTable {
  int64_t t = -1;
  EdgeBounds axis, diagonal;
};
// The bounds by step for the edge threshold T = t; made once per thread and t.
const EdgeBoundTable& EdgeBoundsFor(int64_t t);

// Eight drops along a diagonal as the group's walk counts them at step k, for the tests that hold
// them against DiagonalDrop; only when CanWalkInGroups().
void DiagonalDropsOfEight(const int32_t drops[kWalkGroupLanes], int k, int64_t counted[kWalkGroupLanes]);

// Whether this processor walks groups (AVX2); without, every candidate walks alone.
bool CanWalkInGroups();
// The profiles of the candidates (x0 + lane, y) whose bits are set in `lanes`, each exactly as
// MeasureRadialProfileDirect measures it when told not to fill: PROFILE_MEASURED with its eight
// distances, or PROFILE_OPEN_PLATEAU with none. Only when CanWalkInGroups().
void MeasureRadialProfileGroup(AnalysisRun* run, const ImageRecord& image, const BrightnessPlane& plane, int64_t x0, int64_t y,
                               unsigned lanes, ProfileOutcome outcomes[kWalkGroupLanes], double distances[kWalkGroupLanes][8]);
