// Pale textured plateaus that exercise every way a radial walk ends, for the tests that compare
// the walks of detection with the per-pixel reference.
#pragma once
#include <cstdint>

#include "core/ImageRecord.h"

// Grain of a few percent and of a fifth (edges found early and late, colours that change), a ramp
// in green alone that rises without an edge by just over an eighth over the search (a colour
// change only just), a flat pale plateau wider than the search, lights inside and at the edges of
// the plateaus, and a dark surround that ends some walks at the border. `stepLimit` is the search
// of the pass the scene is made for.
void PaintTexturedPlateaus(ImageRecord* image, int64_t width, int64_t height, int stepLimit);
