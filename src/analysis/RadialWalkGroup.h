// The radial profiles of neighbouring candidates of a row, walked together over the brightness
// plane: one load of eight neighbours' pixels serves all eight walks of a direction at a step.
#pragma once
#include <cstdint>

#include "analysis/AnalysisRun.h"
#include "analysis/Measure.h"

constexpr int kWalkGroupLanes = 8;

// Whether this processor walks groups (AVX2); without, every candidate walks alone.
bool CanWalkInGroups();
// The profiles of the candidates (x0 + lane, y) whose bits are set in `lanes`, each exactly as
// MeasureRadialProfileDirect measures it when told not to fill: PROFILE_MEASURED with its eight
// distances, or PROFILE_OPEN_PLATEAU with none. Only when CanWalkInGroups().
void MeasureRadialProfileGroup(AnalysisRun* run, const ImageRecord& image, const BrightnessPlane& plane, int64_t x0, int64_t y,
                               unsigned lanes, ProfileOutcome outcomes[kWalkGroupLanes], double distances[kWalkGroupLanes][8]);
