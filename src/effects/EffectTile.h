// A band's effects, accumulated as linear light in the working space (floats, 0 to 1 per
// channel) before they are screened onto the host image once per pixel.
#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>

#include "color/ColorConversion.h"
#include "core/BufferManager.h"
#include "core/ImageRecord.h"
#include "shapes/Shape.h"

// The tile holds either the whole band or a window of its rows that moves down the band as they
// are finished: when every effect is painted in one round, a finished row needs nothing more and
// can be screened onto the image at once, so a few rows of floats take the place of the band's.
struct EffectTile {
  ImageRect band;
  int64_t windowTop, windowRows;  // the band rows the pixels hold
  BufferDescriptor pixels;        // red, green, blue floats per pixel, row after row
  float* At(int64_t x, int64_t y) const {
    return static_cast<float*>(pixels.block) + ((y - windowTop) * int64_t(band.right - band.left) + (x - band.left)) * 3;
  }
  int64_t WindowBottom() const { return std::min<int64_t>(windowTop + windowRows, band.bottom); }
  bool Windowed() const { return windowRows < band.Height(); }
};
// The window's rows of the band within an image's rectangle.
inline ImageRect WindowWithin(const EffectTile& tile, const ImageRect& image) {
  return ImageRect{std::max(tile.band.left, image.left), std::max(int32_t(tile.windowTop), image.top),
                   std::min(tile.band.right, image.right), std::min(int32_t(tile.WindowBottom()), image.bottom)};
}

// A black tile for the band holding up to `windowRows` of its rows at a time; false (with the
// buffer manager's code in the result) without memory.
bool CreateEffectTileBuffer(EffectTile* tile, const ImageRect& band, int64_t windowRows);
// Called when the rows of the window are painted, before the window moves on to the next rows.
struct FinishedRowsSink {
  void (*finished)(const EffectTile& tile, void* context);
  void* context;
};
void ReleaseEffectTile(EffectTile* tile);

// One light source's shape, placed and coloured, ready to be painted into a band row by row:
// every effect crossing a row is painted while the row is in the cache.
struct TileEffect {
  const SubShape* subshape;
  int64_t centreX, centreY;  // the pixel of the shape's centre
  int64_t top, bottom;       // the band's rows it covers
  bool clipped;              // reaches past the band's left or right edge: columns are tested
  float red, green, blue;    // the effect colour as fractions
  float alpha, minimum;      // as fractions
};

// Turns a SubShape's entries into PaintEntry records ordered by row, once, under its mutex; false
// when memory for the row index ran out. Where the records go to a new buffer, the old one is
// handed to `replaced` when given, and freed otherwise.
bool ConvertToPaintForm(SubShape* subshape, BufferDescriptor* replaced = nullptr);
// Places a shape for the tile's band; false when its SubShape could not be had. `covers` tells
// whether any of it lies in the band.
bool PrepareTileEffect(const EffectTile& tile, Shape* shape, const EffectColor& effect, double x, double y,
                       uint32_t visibilityMinimum, TileEffect* prepared, bool* covers);
// Paints the effect's entries of row y (within its rows) with the compositing rule of the shapes:
// each entry raises each channel toward full by its share of the effect, strength saturating at
// 1/256 of the range, and entries whose strength is not above the visibility minimum are skipped.
void PaintTileEffectRow(EffectTile* tile, const TileEffect& effect, int64_t y);

// Linear light to 8-bit samples with the writers' rounding, by thresholds instead of a power.
struct EightBitEncoder {
  uint32_t thresholds[257];    // the lowest linear value written as code k
  std::vector<uint8_t> start;  // the code of the lowest linear value of each 256-wide step
};
// How the tile's light reaches the host image: as the light a tile image of the host's mode in
// the working profile would hold, once converted in place to the host's profile through the
// cached transform and read with the host image's gamma. Lit pixels only, a row at a time.
struct LinearConversion {
  ColorTransform transform;  // working profile to the host's, in the host's sample format
  double tileInverseGamma;   // encodes linear light as samples of the working profile
  bool blackLit;             // black in the working profile is not black in the host's
  bool identity;             // the host's profile is alike the working profile: the light passes as it is
  EightBitEncoder tileEncoder, hostEncoder;  // 8-bit hosts: the tile's gamma and the host's
  std::vector<float> tileEncoding;           // deeper hosts: the tile's gamma, 1024 steps an octave
};
bool MakeLinearConversion(const ImageRecord& host, LinearConversion* conversion);
// Screens the window's rows onto the host image: each channel rises by the tile's share of its
// headroom, in the host's linear light.
void ScreenTileOntoImage(const EffectTile& tile, const LinearConversion& conversion, ImageRecord* host,
                         const volatile bool* abort);
