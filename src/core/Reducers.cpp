// The reducers. 8- and 16-bit sources are read straight through their gamma tables; any other
// pairing goes through the records' readers. Boxes under 256 pixels sum 24-bit colour in 32 bits
// without overflow; larger boxes sum in 64 bits.
//
// Sections: the reference switch; box placement and the per-pixel averages; the image maximum;
// the direct 8-bit rows (boxes, then 2 x 2); the banded reduction.
#include "core/Reducers.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/BandTasks.h"
#include "core/Halving.h"
#include "core/SampleTables.h"

namespace {

std::atomic<bool> gReferenceReducers{false};

}  // namespace

void UseReferenceReducers(bool reference) { gReferenceReducers.store(reference, std::memory_order_relaxed); }
bool UsingReferenceReducers() { return gReferenceReducers.load(std::memory_order_relaxed); }

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

// 8-bit boxes straight from the rows: the same sums as AverageBox, without a pixel record and a
// mask test per pixel. Alpha 0 is the only sample whose 32-bit value is 0.
template <typename Sum>
PixelValue AverageEightBitBox(const ImageRecord& source, const Box& box, bool gray) {
  const int32_t* linear = source.gammaTables.eightToLinear;
  const uint32_t* to32 = GetSampleTables().eightTo32;
  const int r = gray ? 0 : 2, g = gray ? 0 : 1;
  Sum red = 0, green = 0, blue = 0;
  uint64_t alpha = 0, mask = 0;
  const int64_t width = box.x1 - box.x0;
  for (int64_t y = box.y0; y < box.y1; ++y) {
    const uint8_t* p = source.Pixel(box.x0, y);
    for (int64_t k = 0; k < width; ++k, p += 4) {
      red += Sum(linear[p[r]]), green += Sum(linear[p[g]]), blue += Sum(linear[p[0]]);
      alpha += to32[p[3]];
    }
    if (source.HasMask()) {
      const uint8_t* m = source.MaskAt(box.x0, y);
      for (int64_t k = 0; k < width; ++k) mask += to32[m[k]];
    }
  }
  uint64_t count = uint64_t(width) * uint64_t(box.y1 - box.y0);
  if (count == 0) return PixelValue{};
  if (!source.HasMask()) mask = count * kFullFraction;
  return PixelValue{uint32_t(red / count), uint32_t(green / count), uint32_t(blue / count), uint32_t(alpha / count),
                    uint32_t(mask / count)};
}

// The largest sum of the three channels divided once at the end: the integer third of a larger
// sum is never smaller.
uint32_t BrightestEightBit(const ImageRecord& image, int64_t left, int64_t top, int64_t right, int64_t bottom, bool gray) {
  const int32_t* linear = image.gammaTables.eightToLinear;
  const int r = gray ? 0 : 2, g = gray ? 0 : 1;
  uint32_t brightest = 0;
  for (int64_t y = top; y < bottom; ++y) {
    const uint8_t* p = image.Pixel(left, y);
    for (int64_t x = left; x < right; ++x, p += 4) {
      uint32_t sum = uint32_t(linear[p[r]]) + uint32_t(linear[p[g]]) + uint32_t(linear[p[0]]);
      if (p[3] != 0 && sum > brightest) brightest = sum;
    }
  }
  return brightest / 3;
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
  if (image.bytesPerSample == 1 && !UsingReferenceReducers()) return BrightestEightBit(image, left, top, right, bottom, gray);
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
  bool reference;  // the per-pixel path that the direct paths must match exactly
  volatile bool cancelled;
};

// Sums of one destination row of 8-bit boxes, walking each source row once from left to right:
// a box over many rows read box by box walks as many rows at once, more than the processor's
// prefetching follows. Integer sums do not depend on their order, so the averages are the same.
struct RowSums {
  std::vector<int64_t> x0, x1;  // each destination column's source columns, absolute
  std::vector<uint64_t> red, green, blue, alpha, mask;
};

void ReduceEightBitRow(const Reduction& r, int64_t i, RowSums* sums) {
  const ImageRecord& source = *r.source;
  ImageRecord* destination = r.destination;
  const int64_t width = destination->validWidth;
  const int32_t* linear = source.gammaTables.eightToLinear;
  const uint32_t* to32 = GetSampleTables().eightTo32;
  const int red = r.gray ? 0 : 2, green = r.gray ? 0 : 1;
  Box rows = BoxOf(source, 0, i, r.fx, r.fy, r.a, r.b, false);
  for (auto* sum : {&sums->red, &sums->green, &sums->blue, &sums->alpha, &sums->mask}) std::fill(sum->begin(), sum->end(), 0);
  for (int64_t y = rows.y0; y < rows.y1; ++y) {
    for (int64_t j = 0; j < width; ++j) {
      const uint8_t* p = source.Pixel(sums->x0[j], y);
      uint64_t sr = 0, sg = 0, sb = 0, sa = 0;
      for (int64_t x = sums->x0[j]; x < sums->x1[j]; ++x, p += 4) {
        sr += uint32_t(linear[p[red]]), sg += uint32_t(linear[p[green]]), sb += uint32_t(linear[p[0]]), sa += to32[p[3]];
      }
      sums->red[j] += sr, sums->green[j] += sg, sums->blue[j] += sb, sums->alpha[j] += sa;
    }
    if (source.HasMask()) {
      for (int64_t j = 0; j < width; ++j) {
        const uint8_t* m = source.MaskAt(sums->x0[j], y);
        uint64_t sm = 0;
        for (int64_t x = sums->x0[j]; x < sums->x1[j]; ++x, ++m) sm += to32[*m];
        sums->mask[j] += sm;
      }
    }
  }
  for (int64_t j = 0; j < width; ++j) {
    uint64_t count = uint64_t(sums->x1[j] - sums->x0[j]) * uint64_t(rows.y1 - rows.y0);
    PixelValue average{};
    if (count != 0) {
      uint64_t mask = source.HasMask() ? sums->mask[j] : count * kFullFraction;
      average = PixelValue{uint32_t(sums->red[j] / count), uint32_t(sums->green[j] / count), uint32_t(sums->blue[j] / count),
                           uint32_t(sums->alpha[j] / count), uint32_t(mask / count)};
    }
    destination->writePixel(destination, destination->rectangle.left + j, destination->rectangle.top + i, average);
  }
}

void ReduceEightBitRows(Reduction* r, int64_t top, int64_t bottom) {
  const int64_t width = r->destination->validWidth;
  RowSums sums;
  sums.x0.resize(size_t(width)), sums.x1.resize(size_t(width));
  for (auto* sum : {&sums.red, &sums.green, &sums.blue, &sums.alpha, &sums.mask}) sum->resize(size_t(width));
  for (int64_t j = 0; j < width; ++j) {
    Box box = BoxOf(*r->source, j, 0, r->fx, r->fy, r->a, r->b, false);
    sums.x0[size_t(j)] = box.x0, sums.x1[size_t(j)] = box.x1;
  }
  for (int64_t i = top; i < bottom; ++i) {
    if (r->cancel != nullptr && *r->cancel) {
      r->cancelled = true;
      return;
    }
    ReduceEightBitRow(*r, i, &sums);
  }
}

// The 2 x 2 path straight from the rows: each box's first pixel, its right, lower and lower-right
// neighbours (the last column and row standing in for those past the edge), summed as
// AverageTwoByTwo sums them.
void ReduceEightBitTwoByTwoRows(Reduction* r, int64_t top, int64_t bottom) {
  const ImageRecord& source = *r->source;
  ImageRecord* destination = r->destination;
  const int64_t width = destination->validWidth;
  const int32_t* linear = source.gammaTables.eightToLinear;
  const uint32_t* to32 = GetSampleTables().eightTo32;
  const int red = r->gray ? 0 : 2, green = r->gray ? 0 : 1;
  std::vector<int64_t> columns(size_t(width) * 2);
  for (int64_t j = 0; j < width; ++j) {
    Box box = BoxOf(source, j, 0, r->fx, r->fy, 2, 2, true);
    columns[size_t(j) * 2] = box.x0, columns[size_t(j) * 2 + 1] = std::min(box.x0 + 1, box.x1 - 1);
  }
  for (int64_t i = top; i < bottom; ++i) {
    if (r->cancel != nullptr && *r->cancel) {
      r->cancelled = true;
      return;
    }
    Box rows = BoxOf(source, 0, i, r->fx, r->fy, 2, 2, true);
    const int64_t y[2] = {rows.y0, std::min(rows.y0 + 1, rows.y1 - 1)};
    for (int64_t j = 0; j < width; ++j) {
      uint32_t sr = 0, sg = 0, sb = 0, sa = 0, sm = 0;
      for (int64_t row : y) {
        for (int k = 0; k < 2; ++k) {
          int64_t x = columns[size_t(j) * 2 + size_t(k)];
          const uint8_t* p = source.Pixel(x, row);
          sr += uint32_t(linear[p[red]]), sg += uint32_t(linear[p[green]]), sb += uint32_t(linear[p[0]]), sa += to32[p[3]] / 4;
          sm += (source.HasMask() ? to32[*source.MaskAt(x, row)] : kFullFraction) / 4;
        }
      }
      destination->writePixel(destination, destination->rectangle.left + j, destination->rectangle.top + i,
                              PixelValue{sr / 4, sg / 4, sb / 4, sa, sm});
    }
  }
}

// Destination rows [top, bottom), relative to the destination's rectangle.
void ReduceRows(void* context, int64_t top, int64_t bottom) {
  auto* r = static_cast<Reduction*>(context);
  const ImageRecord& source = *r->source;
  ImageRecord* destination = r->destination;
  // Between records of one integer depth the halving also writes straight into the rows; other
  // 8-bit reductions read straight from them and write through the destination's writer.
  if (r->twoByTwo && !r->reference && CanHalveDirectly(source, *destination)) {
    if (!HalveRows(source, destination, r->fx, r->fy, top, bottom, r->cancel)) r->cancelled = true;
    return;
  }
  if (r->kind == READ_EIGHT && !r->reference) {
    if (r->twoByTwo) ReduceEightBitTwoByTwoRows(r, top, bottom);
    else ReduceEightBitRows(r, top, bottom);
    return;
  }
  for (int64_t i = top; i < bottom; ++i) {
    if (r->cancel != nullptr && *r->cancel) {
      r->cancelled = true;
      return;
    }
    for (int64_t j = 0; j < destination->validWidth; ++j) {
      Box box = BoxOf(source, j, i, r->fx, r->fy, r->a, r->b, r->twoByTwo);
      bool direct = r->kind == READ_EIGHT && !r->reference;
      PixelValue average = r->twoByTwo            ? AverageTwoByTwo(source, box, r->kind, r->gray)
                           : r->a * r->b >= 256 ? (direct ? AverageEightBitBox<uint64_t>(source, box, r->gray)
                                                          : AverageBox<uint64_t>(source, box, r->kind, r->gray))
                           : direct             ? AverageEightBitBox<uint32_t>(source, box, r->gray)
                                                : AverageBox<uint32_t>(source, box, r->kind, r->gray);
      destination->writePixel(destination, destination->rectangle.left + j, destination->rectangle.top + i, average);
    }
  }
}

}  // namespace

bool ReduceImage(const ImageRecord& source, ImageRecord* destination, const volatile bool* cancel) {
  Reduction r{&source, destination, cancel, 0, 0, 0, 0, READ_GENERIC, false, false, UsingReferenceReducers(), false};
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
