// Shape operations. Pixels come through the image's reader, which gives linear colour; an
// effect never darkens: each channel rises toward full scale by its share of the effect.
#include "shapes/ShapeOperations.h"

#include <algorithm>
#include <cmath>

#include "core/EightBitPixels.h"
#include "core/Fractions.h"
#include "core/ProcessorFeatures.h"
#include "shapes/BrightnessSums.h"
#include "support/ErrorReport.h"

namespace {

constexpr uint32_t kLinearFull = 0xFFFFFF;

bool CheckShapeType(const Shape& shape, const char* operation) {
  if (shape.type == SHAPE_IMAGE) return true;
  ErrorReport(__LINE__, DebugMessage)
      .Report(kStyleError, "Debug: Unexpected Error", "%s detected shape type other than SHAPE_IMAGE:  %d", operation, shape.type);
  return false;
}

// The SubShape for the centre, with its entries present.
SubShape* SubShapeFor(Shape* shape, double x, double y, int64_t* pixelX, int64_t* pixelY) {
  SubShape* subshape = AcquireSubShapeAt(shape, x, y, pixelX, pixelY);
  if (subshape == nullptr) return nullptr;
  if (subshape->entries.block == nullptr) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "NULL SubShapeEntry pointer detected.");
    return nullptr;
  }
  return subshape;
}

bool Inside(const ImageRect& r, int64_t x, int64_t y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

bool ShapeLiesInside(const SubShape& subshape, const ImageRect& r, int64_t cx, int64_t cy) {
  return cx + subshape.left >= r.left && cx + subshape.right <= r.right && cy + subshape.top >= r.top && cy + subshape.bottom <= r.bottom;
}

// A shape wholly on an 8-bit image: no entry needs a bounds test, and each pixel is found by its
// offset from the centre's.
void SumInside(const SubShape& subshape, const ImageRecord& image, int64_t cx, int64_t cy, BrightnessSums* sums) {
  const uint8_t* centre = image.Pixel(cx, cy);
  const ptrdiff_t stride = ptrdiff_t(image.allocatedWidth) * 4;
  const int32_t* linear = image.gammaTables.eightToLinear;
  const SubShapeEntry* entries = subshape.Entries();
  for (uint32_t i = 0; i < subshape.count; ++i) {
    const uint8_t* p = centre + entries[i].dy * stride + entries[i].dx * 4;
    uint32_t red = uint32_t(linear[p[2]]), green = uint32_t(linear[p[1]]), blue = uint32_t(linear[p[0]]);
    sums->Add((red + green + blue) / 3, entries[i].weight);
  }
}

// The brightness plane's value for pixel (cx, cy): the plane holds one value per pixel of the
// image's allocation, in the same order.
const int32_t* PlaneAt(const ImageRecord& image, const int32_t* brightness, int64_t cx, int64_t cy) {
  return brightness + (image.Pixel(cx, cy) - static_cast<const uint8_t*>(image.pixels.block)) / 4;
}

// One shape's sums through the brightness plane, by its plane entries.
void SumAlone(PlaneSum* sum) {
  for (uint32_t i = 0; i < sum->count; ++i) sum->sums.AddWeighted(uint32_t(sum->centre[sum->entries[i].offset]), sum->entries[i].weight);
}

void SumInsideFromPlane(SubShape& subshape, const ImageRecord& image, const int32_t* brightness, int64_t cx, int64_t cy,
                        BrightnessSums* sums) {
  const int32_t* centre = PlaneAt(image, brightness, cx, cy);
  const ptrdiff_t stride = ptrdiff_t(image.allocatedWidth);
  if (const PlaneEntry* planeEntries = PlaneEntriesFor(&subshape, stride)) {
    PlaneSum sum{planeEntries, subshape.count, centre, *sums};
    SumAlone(&sum);
    *sums = sum.sums;
    return;
  }
  const SubShapeEntry* entries = subshape.Entries();
  const double* weights = subshape.UnitWeights();
  for (uint32_t i = 0; i < subshape.count; ++i) {
    uint32_t level = uint32_t(centre[entries[i].dy * stride + entries[i].dx]);
    if (weights != nullptr) sums->AddWeighted(level, weights[i]);
    else sums->Add(level, entries[i].weight);
  }
}

ShapeStatistics StatisticsOf(const BrightnessSums& sums) {
  double mean = 0, deviation = 0;
  if (sums.weightSum > 0) {
    double shiftedMean = sums.shiftedSum / sums.weightSum;
    mean = std::min(sums.origin + shiftedMean, kFraction);
    deviation = std::sqrt(std::max(0.0, sums.shiftedSquares / sums.weightSum - shiftedMean * shiftedMean));
  }
  return ShapeStatistics{sums.minimum, sums.maximum, mean, deviation, mean - deviation};
}

// std::round of a level times a weight (non-negative, far below 2^52), without calling it: the
// detection samples colours under shapes millions of times.
inline double RoundNonNegative(double v) {
  double whole = double(int64_t(v));
  return v - whole >= 0.5 ? whole + 1.0 : whole;
}

uint32_t Round(double v) { return v <= 0.0 ? 0u : v >= kFraction ? uint32_t(kFraction) : uint32_t(v + 0.5); }

}  // namespace

// One pass over the entries; sums are taken about the first brightness, so that the variance
// keeps its precision when the deviation is small against the mean.
bool AnalyzeShapeFrom(Shape* shape, const ImageRecord& image, double x, double y, ShapeStatistics* result,
                      const int32_t* brightness) {
  if (!CheckShapeType(*shape, "AnalyzeShapeFrom")) return false;
  int64_t cx, cy;
  SubShape* subshape = SubShapeFor(shape, x, y, &cx, &cy);
  if (subshape == nullptr) return false;
  const bool inlineReadable = IsInlineReadable(image);
  BrightnessSums sums;
  if (inlineReadable && ShapeLiesInside(*subshape, image.rectangle, cx, cy)) {
    if (brightness != nullptr) SumInsideFromPlane(*subshape, image, brightness, cx, cy, &sums);
    else SumInside(*subshape, image, cx, cy, &sums);
  } else {
    const SubShapeEntry* entries = subshape->Entries();
    for (uint32_t i = 0; i < subshape->count; ++i) {
      int64_t px = cx + entries[i].dx, py = cy + entries[i].dy;
      if (!Inside(image.rectangle, px, py)) continue;
      PixelValue pixel;
      if (inlineReadable) ReadEightBitColour(image, px, py, &pixel);
      else image.readPixel(&image, px, py, &pixel);
      sums.Add((pixel.red + pixel.green + pixel.blue) / 3, entries[i].weight);
    }
  }
  *result = StatisticsOf(sums);
  return true;
}

// Shapes that lie wholly on an 8-bit image with a brightness plane are summed four at a time where
// the processor has AVX2; the rest one by one.
void AnalyzeShapesFrom(const ShapeAt* shapes, int count, const ImageRecord& image, const int32_t* brightness,
                       ShapeStatistics* results, bool* measured) {
  constexpr int kSideBySide = 4;
  PlaneSum sums[kSideBySide];
  int indices[kSideBySide];
  int pending = 0;
  const ptrdiff_t stride = ptrdiff_t(image.allocatedWidth);
  auto sumPending = [&] {
    // Fewer than four fill the spare lanes with copies of the first, whose sums are left unread.
    for (int j = pending; j < kSideBySide && pending > 1; ++j) sums[j] = sums[0];
    if (pending < 2 || !SumFourSideBySide(sums)) {
      for (int j = 0; j < pending; ++j) SumAlone(&sums[j]);
    }
    for (int j = 0; j < pending; ++j) results[indices[j]] = StatisticsOf(sums[j].sums), measured[indices[j]] = true;
    pending = 0;
  };
  const bool planed = brightness != nullptr && IsInlineReadable(image) && HasAvx2();
  for (int i = 0; i < count; ++i) {
    const ShapeAt& at = shapes[i];
    if (!planed || at.shape->type != SHAPE_IMAGE) {
      measured[i] = AnalyzeShapeFrom(at.shape, image, at.x, at.y, &results[i], brightness);
      continue;
    }
    int64_t cx, cy;
    SubShape* subshape = SubShapeFor(at.shape, at.x, at.y, &cx, &cy);
    const PlaneEntry* entries = subshape != nullptr ? PlaneEntriesFor(subshape, stride) : nullptr;
    if (subshape == nullptr) {
      results[i] = ShapeStatistics{}, measured[i] = false;
    } else if (!ShapeLiesInside(*subshape, image.rectangle, cx, cy) || entries == nullptr) {
      measured[i] = AnalyzeShapeFrom(at.shape, image, at.x, at.y, &results[i], brightness);
    } else {
      const int32_t* centre = PlaneAt(image, brightness, cx, cy);
      sums[pending] = PlaneSum{entries, subshape->count, centre, BrightnessSums{}};
      indices[pending++] = i;
      if (pending == kSideBySide) sumPending();
    }
  }
  sumPending();
}

bool SampleShapeFrom(Shape* shape, const ImageRecord& image, double x, double y, PixelValue* result) {
  if (!CheckShapeType(*shape, "SampleShapeFrom")) return false;
  int64_t cx, cy;
  const SubShape* subshape = SubShapeFor(shape, x, y, &cx, &cy);
  if (subshape == nullptr) return false;
  const bool inlineReadable = IsInlineReadable(image);
  double red = 0, green = 0, blue = 0, weightSum = 0;
  const SubShapeEntry* entries = subshape->Entries();
  for (uint32_t i = 0; i < subshape->count; ++i) {
    int64_t px = cx + entries[i].dx, py = cy + entries[i].dy;
    if (!Inside(image.rectangle, px, py)) continue;
    PixelValue pixel;
    if (inlineReadable) ReadEightBitColour(image, px, py, &pixel);
    else image.readPixel(&image, px, py, &pixel);
    double weight = entries[i].weight / kFraction;
    red += RoundNonNegative(pixel.red * weight);
    green += RoundNonNegative(pixel.green * weight);
    blue += RoundNonNegative(pixel.blue * weight);
    weightSum += weight;
  }
  *result = PixelValue{0, 0, 0, kFullFraction, kFullFraction};
  if (weightSum > 0) {
    result->red = uint32_t(red / weightSum + 0.5);
    result->green = uint32_t(green / weightSum + 0.5);
    result->blue = uint32_t(blue / weightSum + 0.5);
  }
  return true;
}

void CompositeEffect(PixelValue* pixel, const EffectColor& entryEffect) {
  uint32_t c = std::max({entryEffect.red, entryEffect.green, entryEffect.blue});
  double hue[3] = {1.0, 1.0, 1.0};
  if (c != 0) {
    hue[0] = FractionOf(double(entryEffect.red) / c) / kFraction;
    hue[1] = FractionOf(double(entryEffect.green) / c) / kFraction;
    hue[2] = FractionOf(double(entryEffect.blue) / c) / kFraction;
  }
  // Strength saturates at 1/256 of the range, so that colours and weights act as intensities.
  uint64_t strength = Round(c / kFraction * entryEffect.weight);
  strength = strength < 0x1000000 ? strength * 256 : uint64_t(kFullFraction);
  double s = double(strength) / kFraction;
  uint32_t* channels[3] = {&pixel->red, &pixel->green, &pixel->blue};
  for (int k = 0; k < 3; ++k) {
    double p = *channels[k];
    double headroomLeft = std::round((1.0 - hue[k]) * (kLinearFull - p));
    double value = std::round(p * (1.0 - s)) + std::round(s * (kLinearFull - headroomLeft));
    *channels[k] = uint32_t(std::min(value, double(kLinearFull)));
  }
}

bool DrawShapeInto(ImageRecord* image, const ImageRect& tile, Shape* shape, const EffectColor& effect, double x, double y,
                   uint32_t visibilityMinimum) {
  if (!CheckShapeType(*shape, "DrawShapeInto")) return false;
  int64_t cx, cy;
  const SubShape* subshape = SubShapeFor(shape, x, y, &cx, &cy);
  if (subshape == nullptr) return false;
  int64_t left = std::max<int64_t>({cx + subshape->left, image->rectangle.left, tile.left});
  int64_t right = std::min<int64_t>({cx + subshape->right, image->rectangle.right, tile.right});
  int64_t top = std::max<int64_t>({cy + subshape->top, image->rectangle.top, tile.top});
  int64_t bottom = std::min<int64_t>({cy + subshape->bottom, image->rectangle.bottom, tile.bottom});
  if (left >= right || top >= bottom) return true;
  const SubShapeEntry* entries = subshape->Entries();
  for (uint32_t i = 0; i < subshape->count; ++i) {
    const SubShapeEntry& entry = entries[i];
    int64_t px = cx + entry.dx, py = cy + entry.dy;
    if (px < left || px >= right || py < top || py >= bottom) continue;
    EffectColor entryEffect{Round(entry.red / kFraction * effect.red), Round(entry.green / kFraction * effect.green),
                            Round(entry.blue / kFraction * effect.blue), Round(effect.weight / kFraction * entry.weight)};
    uint32_t brightest = std::max({entryEffect.red, entryEffect.green, entryEffect.blue});
    if (Round(brightest / kFraction * entryEffect.weight) <= visibilityMinimum) continue;
    PixelValue pixel;
    image->readPixel(image, px, py, &pixel);
    CompositeEffect(&pixel, entryEffect);
    pixel.alpha = pixel.mask = kKeepSample;
    image->writePixel(image, px, py, pixel);
  }
  return true;
}
