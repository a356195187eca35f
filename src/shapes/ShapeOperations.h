// The three things done with a shape at a centre on an image: measure the brightness under it,
// sample the colour under it, and paint it.
#pragma once
#include <cstdint>

#include "color/ColorConversion.h"
#include "core/ImageRecord.h"
#include "shapes/Shape.h"

// Weighted statistics of the pixel brightness (red + green + blue) / 3 under a shape.
struct ShapeStatistics {
  uint32_t minimum;  // kFullFraction when no pixel of the shape lies on the image
  uint32_t maximum;
  double mean;
  double standardDeviation;
  double meanMinusDeviation;
};

// `brightness`, when given, holds the brightness of every pixel of an 8-bit image, laid out as
// its pixels, and is read in their place where the shape lies wholly on the image.
bool AnalyzeShapeFrom(Shape* shape, const ImageRecord& image, double x, double y, ShapeStatistics* result,
                      const int32_t* brightness = nullptr);
// A shape at a centre, for statistics taken several at a time.
struct ShapeAt {
  Shape* shape;
  double x, y;
};
// The statistics of several shapes at their centres, each exactly as AnalyzeShapeFrom gives it;
// `measured` says of each whether it could be taken.
void AnalyzeShapesFrom(const ShapeAt* shapes, int count, const ImageRecord& image, const int32_t* brightness,
                       ShapeStatistics* results, bool* measured);
// The weighted mean colour under a shape, in the image's linear units; alpha and mask full.
bool SampleShapeFrom(Shape* shape, const ImageRecord& image, double x, double y, PixelValue* result);
// Paints the shape, clipped to the image and the tile; entries whose strength is not above the
// visibility minimum are skipped. The effect colour's weight is its alpha.
bool DrawShapeInto(ImageRecord* image, const ImageRect& tile, Shape* shape, const EffectColor& effect, double x, double y,
                   uint32_t visibilityMinimum);

// One entry's effect colour (channels and alpha, 32-bit fractions) over one linear pixel.
void CompositeEffect(PixelValue* pixel, const EffectColor& entryEffect);
