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

// One light source's shape, placed and coloured, ready to be painted into a band row by row:
// every effect crossing a row is painted while the row is in the cache.
struct TileEffect {
  const SubShape* subshape;
  int64_t centreX, centreY;  // the pixel of the shape's centre
  int64_t top, bottom;       // the band's rows it covers
  bool clipped;              // reaches past the band's left or right edge: columns are tested
  float red, green, blue;    // the effect colour as fractions
  float alpha, minimum;
};

// Places a shape for the tile's band; false when its SubShape could not be had. `covers` tells
// whether any of it lies in the band.
bool PrepareTileEffect(const EffectTile& tile, Shape* shape, const EffectColor& effect, double x, double y,
                       uint32_t visibilityMinimum, TileEffect* prepared, bool* covers);
// Paints the effect's entries of row y (within its rows) with the compositing rule of the shapes:
// each entry raises each channel toward full by its share of the effect, strength saturating at
// 1/256 of the range, and entries whose strength is not above the visibility minimum are skipped.
void PaintTileEffectRow(EffectTile* tile, const TileEffect& effect, int64_t y);

// The linear working space to the host image's linear space, as the host's readers see it.
struct LinearConversion {
  float matrix[3][3];
  bool identity;
};
bool MakeLinearConversion(const ImageRecord& host, LinearConversion* conversion);
// Screens the tile onto the host image: each channel rises by the tile's share of its headroom.
void ScreenTileOntoImage(const EffectTile& tile, const LinearConversion& conversion, ImageRecord* host,
                         const volatile bool* abort);
