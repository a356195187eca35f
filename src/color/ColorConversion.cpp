// ConvertColorOf converts an image in place, CopyTileWithColorConversion copies a rectangle
// between records; both run row bands on worker threads through one shared transform.
#include "color/ColorConversion.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "color/ImageProfile.h"
#include "core/AlphaRows.h"
#include "core/BandTasks.h"
#include "core/RunResult.h"
#include "support/ErrorReport.h"

namespace {

// Float conversions may leave colour below zero; alpha (the fourth sample) keeps its value.
void ClampNegativeColour(uint8_t* row, int64_t pixels) {
  for (int64_t i = 0; i < pixels; ++i) {
    float samples[3];
    memcpy(samples, row + i * 16, sizeof samples);
    for (float& sample : samples) sample = sample < 0.0f ? 0.0f : sample;
    memcpy(row + i * 16, samples, sizeof samples);
  }
}

struct InPlaceJob {
  ImageRecord* image;
  ColorTransform transform;
};

void ConvertRowsInPlace(void* context, int64_t rowTop, int64_t rowBottom) {
  auto* job = static_cast<InPlaceJob*>(context);
  ImageRecord* image = job->image;
  for (int64_t y = rowTop; y < rowBottom && RunResult() == 0; ++y) {
    uint8_t* row = image->Pixel(image->rectangle.left, y);
    cmsDoTransform(job->transform, row, row, cmsUInt32Number(image->validWidth));
    if (image->pixelType == GL_FLOAT_TYPE) ClampNegativeColour(row, image->validWidth);
  }
}

struct CopyJob {
  const ImageRecord* source;
  ImageRecord* destination;
  ImageRect sourceRect;
  ImageRect destinationRect;
};

void CopyRows(void* context, int64_t rowTop, int64_t rowBottom) {
  auto* job = static_cast<CopyJob*>(context);
  const ImageRecord& source = *job->source;
  ImageRecord* destination = job->destination;
  ColorTransform transform = GetColorTransform(source.profile, GetImageColorTransform(source), destination->profile,
                                               GetImageColorTransform(*destination));
  if (transform == nullptr) {
    SetRunResult(kStepFailed);
    ErrorReport(__LINE__, TraceMessage)
        .Report("Couldn't create color transform in CopyTileWithColorConversion(), *gResult set to %d.", kStepFailed);
    return;
  }
  int64_t width = job->sourceRect.Width();
  int64_t dx = int64_t(job->destinationRect.left) - job->sourceRect.left;
  int64_t dy = int64_t(job->destinationRect.top) - job->sourceRect.top;
  for (int64_t y = rowTop; y < rowBottom && RunResult() == 0; ++y) {
    uint8_t* out = destination->Pixel(job->destinationRect.left, y + dy);
    cmsDoTransform(transform, source.Pixel(job->sourceRect.left, y), out, cmsUInt32Number(width));
    if (destination->pixelType == GL_FLOAT_TYPE) ClampNegativeColour(out, width);
    CopyAlphaAndMaskRow(source, destination, job->sourceRect.left, width, y, dx, dy);
  }
}

ImageRect Intersect(const ImageRect& a, const ImageRect& b) {
  return ImageRect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

bool IsEmpty(const ImageRect& r) { return r.right <= r.left || r.bottom <= r.top; }

}  // namespace

bool ConvertColorOf(ImageRecord* image, ColorProfile target, bool multiThreaded) {
  uint32_t format = GetImageColorTransform(*image);
  ColorTransform transform = GetColorTransform(image->profile, format, target, format);
  if (transform == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, "Debug: Unexpected error", "ConvertColorOf() - NULL color transform, no transform performed.");
    return false;
  }
  InPlaceJob job{image, transform};
  BandPass pass{"ConvertColorOf", "Out of RAM.  Color management peration could not be completed.", kColorConversionThreads,
                multiThreaded};
  bool converted = RunInBands(pass, image->rectangle.top, image->rectangle.bottom, ConvertRowsInPlace, &job);
  if (converted && RunResult() == 0) return SetImageProfile(image, target);
  return false;
}

bool CopyTileWithColorConversion(const ImageRecord& source, const ImageRect& sourceRect, ImageRecord* destination,
                                 const ImageRect& destinationRect) {
  ImageRect from = Intersect(sourceRect, source.rectangle);
  if (IsEmpty(from)) return true;
  ImageRect to{destinationRect.left + (from.left - sourceRect.left), destinationRect.top + (from.top - sourceRect.top), 0, 0};
  to.right = int32_t(to.left + from.Width());
  to.bottom = int32_t(to.top + from.Height());
  ImageRect clipped = Intersect(to, destination->rectangle);
  if (IsEmpty(clipped)) return true;
  from = ImageRect{from.left + (clipped.left - to.left), from.top + (clipped.top - to.top), 0, 0};
  from.right = int32_t(from.left + clipped.Width());
  from.bottom = int32_t(from.top + clipped.Height());
  CopyJob job{&source, destination, from, clipped};
  BandPass pass{"CopyTileWithColorConversion", "Out of RAM.  Color-management operation could not be completed.",
                kColorConversionThreads, true};
  return RunInBands(pass, from.top, from.bottom, CopyRows, &job);
}

namespace {

// Which 16 bits of the 32-bit channels carry the colour: chosen by the largest channel.
int RangeTierShift(const EffectColor& color) {
  uint32_t all = color.red | color.green | color.blue;
  if (all < (1u << 24)) return 8;
  if (all >= (1u << 28)) return 16;
  return 12;
}

uint32_t Weighted(uint32_t channel, uint32_t weight) {
  return uint32_t(std::llround(double(channel) * double(weight) / double(kFullFraction)));
}

void PrepareColor(EffectColor* color, uint16_t rgb[3]) {
  color->red = Weighted(color->red, color->weight);
  color->green = Weighted(color->green, color->weight);
  color->blue = Weighted(color->blue, color->weight);
  color->weight = kFullFraction;
  int shift = RangeTierShift(*color);
  rgb[0] = uint16_t(color->red >> shift);
  rgb[1] = uint16_t(color->green >> shift);
  rgb[2] = uint16_t(color->blue >> shift);
}

void FinishColor(EffectColor* color, const uint16_t rgb[3], int shift, const GammaTables& tables) {
  uint32_t scale = shift == 8 ? 1 : shift == 12 ? 16 : 256;
  color->red = uint32_t(tables.sixteenToLinear[rgb[0]]) * scale;
  color->green = uint32_t(tables.sixteenToLinear[rgb[1]]) * scale;
  color->blue = uint32_t(tables.sixteenToLinear[rgb[2]]) * scale;
}

}  // namespace

void ConvertColor(EffectColor* color, ColorTransform transform, const GammaTables& targetTables) {
  uint16_t rgb[3];
  PrepareColor(color, rgb);
  int shift = RangeTierShift(*color);
  uint16_t converted[3];
  cmsDoTransform(transform, rgb, converted, 1);
  FinishColor(color, converted, shift, targetTables);
}

bool ConvertColorList(EffectColor* colors, size_t count, ColorProfile source, ColorProfile target) {
  ColorTransform transform = GetColorTransform(source, TYPE_RGB_16, target, TYPE_RGB_16);
  GammaTables tables;
  if (transform == nullptr || !LookUpGammaTables(QuantisedProfileGamma(target), &tables)) {
    return false;
  }
  std::vector<uint16_t> rgb(count * 3);
  std::vector<int> shifts(count);
  for (size_t i = 0; i < count; ++i) {
    PrepareColor(&colors[i], &rgb[i * 3]);
    shifts[i] = RangeTierShift(colors[i]);
  }
  cmsDoTransform(transform, rgb.data(), rgb.data(), cmsUInt32Number(count));
  for (size_t i = 0; i < count; ++i) FinishColor(&colors[i], &rgb[i * 3], shifts[i], tables);
  return true;
}
