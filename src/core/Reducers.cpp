// The reducers. 8- and 16-bit sources are read straight through their gamma tables; any other
// pairing goes through the records' readers. Boxes under 256 pixels sum 24-bit colour in 32 bits
// without overflow; larger boxes sum in 64 bits.
#include "core/Reducers.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/BandTasks.h"
#include "core/SampleTables.h"

namespace {

struct Box {
  int64_t x0, y0, x1, y1;  // source pixels [x0, x1) × [y0, y1), clipped to the source
};

// Pixel (j, i) of the destination covers a × b source pixels from (⌊j·fx⌋, ⌊i·fy⌋); the 2 × 2
// path starts at (⌊j·fx + 0.5⌋, ⌊i·fy + 0.5⌋) instead.
Box BoxOf(const ImageRecord& source, int64_t j, int64_t i, double fx, double fy, int64_t a, int64_t b, bool twoByTwo) {
  double offset = twoByTwo ? 0.5 : 0.0;
  int64_t x0 = std::min(int64_t(std::floor(j * fx + offset)), source.validWidth - 1);
  int64_t y0 = std::min(int64_t(std::floor(i * fy + offset)), source.validHeight - 1);
  return Box{source.rectangle.left + x0, source.rectangle.top + y0, source.rectangle.left + std::min(x0 + a, source.validWidth),
             source.rectangle.top + std::min(y0 + b, source.validHeight)};
}

template <typename Sum>
struct Sums {
  Sum red = 0, green = 0, blue = 0;
  uint64_t alpha = 0, mask = 0;
  uint64_t count = 0;
  void Add(const PixelValue& p) {
    red += p.red, green += p.green, blue += p.blue, alpha += p.alpha, mask += p.mask, ++count;
  }
  PixelValue Average() const {
    if (count == 0) return PixelValue{};
    return PixelValue{uint32_t(red / count), uint32_t(green / count), uint32_t(blue / count), uint32_t(alpha / count),
                      uint32_t(mask / count)};
  }
};

// Reads an 8- or 16-bit pixel through the source's tables without a call through the reader.
template <typename Sample>
PixelValue ReadIntegerPixel(const ImageRecord& image, int64_t x, int64_t y, bool gray) {
  const SampleTables& tables = GetSampleTables();
  const auto* samples = reinterpret_cast<const Sample*>(image.Pixel(x, y));
  PixelValue p;
  if constexpr (sizeof(Sample) == 1) {
    p.red = uint32_t(image.gammaTables.eightToLinear[samples[gray ? 0 : 2]]);
    p.green = uint32_t(image.gammaTables.eightToLinear[samples[gray ? 0 : 1]]);
    p.blue = uint32_t(image.gammaTables.eightToLinear[samples[0]]);
    p.alpha = tables.eightTo32[samples[3]];
  } else {
    p.red = uint32_t(image.gammaTables.sixteenToLinear[samples[0]]);
    p.green = uint32_t(image.gammaTables.sixteenToLinear[samples[gray ? 0 : 1]]);
    p.blue = uint32_t(image.gammaTables.sixteenToLinear[samples[gray ? 0 : 2]]);
    p.alpha = tables.sixteenTo32[samples[3]];
  }
  p.mask = image.HasMask() ? tables.eightTo32[*image.MaskAt(x, y)] : kFullFraction;
  return p;
}

enum ReaderKind { READ_EIGHT, READ_SIXTEEN, READ_GENERIC };

PixelValue ReadAny(const ImageRecord& image, int64_t x, int64_t y, ReaderKind kind, bool gray) {
  if (kind == READ_EIGHT) return ReadIntegerPixel<uint8_t>(image, x, y, gray);
  if (kind == READ_SIXTEEN) return ReadIntegerPixel<uint16_t>(image, x, y, gray);
  PixelValue p;
  image.readPixel(&image, x, y, &p);
  return p;
}

// The 2 × 2 path: colour as the integer sum over four, alpha and mask as the sum of quarters.
PixelValue AverageTwoByTwo(const ImageRecord& source, const Box& box, ReaderKind kind, bool gray) {
  uint32_t red = 0, green = 0, blue = 0, alpha = 0, mask = 0;
  for (int64_t y = box.y0; y < box.y0 + 2; ++y) {
    for (int64_t x = box.x0; x < box.x0 + 2; ++x) {
      PixelValue p = ReadAny(source, std::min(x, box.x1 - 1), std::min(y, box.y1 - 1), kind, gray);
      red += p.red, green += p.green, blue += p.blue, alpha += p.alpha / 4, mask += p.mask / 4;
    }
  }
  return PixelValue{red / 4, green / 4, blue / 4, alpha, mask};
}

template <typename Sum>
PixelValue AverageBox(const ImageRecord& source, const Box& box, ReaderKind kind, bool gray) {
  Sums<Sum> sums;
  for (int64_t y = box.y0; y < box.y1; ++y) {
    for (int64_t x = box.x0; x < box.x1; ++x) sums.Add(ReadAny(source, x, y, kind, gray));
  }
  return sums.Average();
}

template <ReaderKind Kind>
uint32_t Brightest(const ImageRecord& image, int64_t left, int64_t top, int64_t right, int64_t bottom, bool gray) {
  uint32_t brightest = 0;
  for (int64_t y = top; y < bottom; ++y) {
    for (int64_t x = left; x < right; ++x) {
      PixelValue p = ReadAny(image, x, y, Kind, gray);
      if (p.alpha != 0) brightest = std::max(brightest, (p.red + p.green + p.blue) / 3);
    }
  }
  return brightest;
}

}  // namespace

uint32_t BrightestInRect(const ImageRecord& image, int64_t left, int64_t top, int64_t right, int64_t bottom) {
  bool gray = IsGrayImageMode(image.mode);
  if (image.bytesPerSample == 1) return Brightest<READ_EIGHT>(image, left, top, right, bottom, gray);
  if (image.bytesPerSample == 2 && image.mode != kImageModeHalf) return Brightest<READ_SIXTEEN>(image, left, top, right, bottom, gray);
  return Brightest<READ_GENERIC>(image, left, top, right, bottom, gray);
}

int64_t ReductionFactor(int64_t sourceSize, int64_t destinationSize) {
  if (destinationSize <= 0) return 1;
  int64_t factor = sourceSize / destinationSize;
  return sourceSize % destinationSize > 1 ? factor + 1 : std::max<int64_t>(factor, 1);
}

namespace {

struct Reduction {
  const ImageRecord* source;
  ImageRecord* destination;
  const volatile bool* cancel;
  int64_t a, b;
  double fx, fy;
  ReaderKind kind;
  bool gray, twoByTwo;
  volatile bool cancelled;
};

// Destination rows [top, bottom), relative to the destination's rectangle.
void ReduceRows(void* context, int64_t top, int64_t bottom) {
  auto* r = static_cast<Reduction*>(context);
  const ImageRecord& source = *r->source;
  ImageRecord* destination = r->destination;
  for (int64_t i = top; i < bottom; ++i) {
    if (r->cancel != nullptr && *r->cancel) {
      r->cancelled = true;
      return;
    }
    for (int64_t j = 0; j < destination->validWidth; ++j) {
      Box box = BoxOf(source, j, i, r->fx, r->fy, r->a, r->b, r->twoByTwo);
      PixelValue average = r->twoByTwo       ? AverageTwoByTwo(source, box, r->kind, r->gray)
                           : r->a * r->b >= 256 ? AverageBox<uint64_t>(source, box, r->kind, r->gray)
                                                : AverageBox<uint32_t>(source, box, r->kind, r->gray);
      destination->writePixel(destination, destination->rectangle.left + j, destination->rectangle.top + i, average);
    }
  }
}

}  // namespace

bool ReduceImage(const ImageRecord& source, ImageRecord* destination, const volatile bool* cancel) {
  Reduction r{&source, destination, cancel, 0, 0, 0, 0, READ_GENERIC, false, false, false};
  r.a = ReductionFactor(source.validWidth, destination->validWidth);
  r.b = ReductionFactor(source.validHeight, destination->validHeight);
  r.fx = double(source.validWidth) / double(destination->validWidth);
  r.fy = double(source.validHeight) / double(destination->validHeight);
  bool integerDestination = destination->bytesPerSample <= 2 && destination->mode != kImageModeHalf;
  if (source.bytesPerSample == 1 && integerDestination) r.kind = READ_EIGHT;
  if (source.bytesPerSample == 2 && source.mode != kImageModeHalf && integerDestination) r.kind = READ_SIXTEEN;
  r.gray = IsGrayImageMode(source.mode);
  r.twoByTwo = r.a == 2 && r.b == 2;
  // Large reductions run in bands on the workers; a small one is not worth the threads.
  if (source.validWidth * source.validHeight < (1 << 20)) {
    ReduceRows(&r, 0, destination->validHeight);
  } else {
    BandPass pass{"ReduceImage", "Out of RAM.  The image could not be reduced.", 64, true};
    if (!RunInBands(pass, 0, destination->validHeight, ReduceRows, &r)) return false;
  }
  return !r.cancelled;
}
