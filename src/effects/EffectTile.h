// A band's effects, accumulated as linear light in the working space (floats, 0 to 1 per
// channel) before they are screened onto the host image once per pixel.
#pragma once
#include <cstdint>

#include "color/ColorConversion.h"
#include "core/BufferManager.h"
#include "core/ImageRecord.h"
#include "effects/Shape.h"

struct EffectTile {
  ImageRect band;
  BufferDescriptor pixels;  // red, green, blue floats per pixel, row after row
  float* At(int64_t x, int64_t y) const {
    return static_cast<float*>(pixels.block) + ((y - band.top) * int64_t(band.right - band.left) + (x - band.left)) * 3;
  }
};

// A black tile for the band; false (with the buffer manager's code in the result) without memory.
bool CreateEffectTileBuffer(EffectTile* tile, const ImageRect& band);
void ReleaseEffectTile(EffectTile* tile);

// Paints a shape into the tile with the compositing rule of the shapes (each entry raises each
// channel toward full by its share of the effect, strength saturating at 1/256 of the range),
// skipping entries whose strength is not above the visibility minimum.
bool PaintShapeIntoTile(EffectTile* tile, Shape* shape, const EffectColor& effect, double x, double y,
                        uint32_t visibilityMinimum);

// The linear working space to the host image's linear space, as the host's readers see it.
struct LinearConversion {
  float matrix[3][3];
  bool identity;
};
bool MakeLinearConversion(const ImageRecord& host, LinearConversion* conversion);
// Screens the tile onto the host image: each channel rises by the tile's share of its headroom.
void ScreenTileOntoImage(const EffectTile& tile, const LinearConversion& conversion, ImageRecord* host,
                         const volatile bool* abort);
