// The list points of a group of neighbouring candidates, taken together after their walks.
#pragma once
#include <cstdint>

#include "analysis/RadialWalkGroup.h"

// For the lanes set in `lanes` (candidates (x0 + lane, y) whose walks found no plateau), each
// lane exactly as ListPointFromProfile takes it: the distances clamped in place and, for the lanes
// returned (balanced), the list point. Four lanes to an AVX2 vector; only when CanWalkInGroups().
unsigned ListPointsOfGroup(double distances[kWalkGroupLanes][8], unsigned lanes, int64_t x0, int64_t y,
                           double listX[kWalkGroupLanes], double listY[kWalkGroupLanes]);
