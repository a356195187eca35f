// Direct 2 × 2 halvings of integer records. The sums, the divisions and the encoding are those of
// the per-pixel path (colour as the integer sum over four, alpha and mask as sums of quarters,
// stored through SampleEncoding), so the two give the same samples; tests hold them to it.
#include "core/Halving.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/SampleEncoding.h"
#include "core/SampleTables.h"

namespace {

struct Positions {
  int red, green, blue;  // sample index of each colour within a pixel
};

// Where the readers take each colour from, and where the writers put it. 8-bit pixels are BGRA;
// gray records read everything from sample 0 and write the gray value into all three.
template <typename Sample>
Positions ReadPositions(bool gray) {
  if (gray) return Positions{0, 0, 0};
  return sizeof(Sample) == 1 ? Positions{2, 1, 0} : Positions{0, 1, 2};
}
template <typename Sample>
Positions WritePositions() {
  return sizeof(Sample) == 1 ? Positions{2, 1, 0} : Positions{0, 1, 2};
}

template <typename Sample>
const int32_t* LinearTable(const ImageRecord& image) {
  if constexpr (sizeof(Sample) == 1) return image.gammaTables.eightToLinear;
  else return image.gammaTables.sixteenToLinear;
}

template <typename Sample>
Sample ColourSample(uint32_t linear, double inverseGamma) {
  float encoded = EncodedLight(linear, inverseGamma);
  if constexpr (sizeof(Sample) == 1) return EightBitSampleOf(linear, encoded);
  else return SixteenBitSampleOf(linear, encoded);
}

template <typename Sample>
Sample AlphaSample(uint32_t alpha, const SampleTables& tables) {
  if constexpr (sizeof(Sample) == 1) return tables.sixteenTo8[alpha >> 16];
  else return uint16_t(alpha >> 16);
}

template <typename Sample>
uint32_t AlphaOf(Sample sample, const SampleTables& tables) {
  if constexpr (sizeof(Sample) == 1) return tables.eightTo32[sample];
  else return tables.sixteenTo32[sample];
}

// The two source columns (or rows) of each destination column (or row), relative to the source.
std::vector<int64_t> PairStarts(int64_t count, double factor, int64_t sourceSize) {
  std::vector<int64_t> starts(size_t(count) * 2);
  for (int64_t j = 0; j < count; ++j) {
    int64_t first = std::min(int64_t(std::floor(double(j) * factor + 0.5)), sourceSize - 1);
    starts[size_t(2 * j)] = first;
    starts[size_t(2 * j + 1)] = std::min(first + 1, sourceSize - 1);
  }
  return starts;
}

template <typename Sample>
struct Halver {
  const ImageRecord& source;
  ImageRecord* destination;
  std::vector<int64_t> columns;
  const int32_t* linear = LinearTable<Sample>(source);
  const SampleTables& tables = GetSampleTables();
  Positions from = ReadPositions<Sample>(IsGrayImageMode(source.mode));
  Positions to = WritePositions<Sample>();
  bool grayDestination = IsGrayImageMode(destination->mode);

  const Sample* SourcePixel(int64_t x, int64_t y) const {
    return reinterpret_cast<const Sample*>(source.Pixel(source.rectangle.left + x, source.rectangle.top + y));
  }

  uint32_t MaskQuarter(int64_t x, int64_t y) const {
    if (!source.HasMask()) return kFullFraction / 4;
    return tables.eightTo32[*source.MaskAt(source.rectangle.left + x, source.rectangle.top + y)] / 4;
  }

  void Row(int64_t i, int64_t y0, int64_t y1) const {
    const int64_t top = destination->rectangle.top + i, left = destination->rectangle.left;
    const double inverseGamma = destination->inverseGamma;
    for (int64_t j = 0; j < destination->validWidth; ++j) {
      const int64_t x0 = columns[size_t(2 * j)], x1 = columns[size_t(2 * j + 1)];
      const Sample* p[4] = {SourcePixel(x0, y0), SourcePixel(x1, y0), SourcePixel(x0, y1), SourcePixel(x1, y1)};
      uint32_t red = 0, green = 0, blue = 0, alpha = 0;
      for (const Sample* s : p) {
        red += uint32_t(linear[s[from.red]]), green += uint32_t(linear[s[from.green]]), blue += uint32_t(linear[s[from.blue]]);
        alpha += AlphaOf<Sample>(s[3], tables) / 4;
      }
      red /= 4, green /= 4, blue /= 4;
      if (grayDestination) green = blue = red;
      Sample* out = reinterpret_cast<Sample*>(destination->Pixel(left + j, top));
      out[to.red] = ColourSample<Sample>(red, inverseGamma);
      out[to.green] = green == red ? out[to.red] : ColourSample<Sample>(green, inverseGamma);
      out[to.blue] = blue == red ? out[to.red] : ColourSample<Sample>(blue, inverseGamma);
      out[3] = AlphaSample<Sample>(alpha, tables);
      if (destination->HasMask()) {
        uint32_t mask = MaskQuarter(x0, y0) + MaskQuarter(x1, y0) + MaskQuarter(x0, y1) + MaskQuarter(x1, y1);
        *destination->MaskAt(left + j, top) = tables.sixteenTo8[mask >> 16];
      }
    }
  }
};

template <typename Sample>
bool HalveRowsOf(const ImageRecord& source, ImageRecord* destination, double fx, double fy, int64_t top, int64_t bottom,
                 const volatile bool* cancel) {
  Halver<Sample> halver{source, destination, PairStarts(destination->validWidth, fx, source.validWidth)};
  for (int64_t i = top; i < bottom; ++i) {
    if (cancel != nullptr && *cancel) return false;
    int64_t y0 = std::min(int64_t(std::floor(double(i) * fy + 0.5)), source.validHeight - 1);
    halver.Row(i, y0, std::min(y0 + 1, source.validHeight - 1));
  }
  return true;
}

}  // namespace

bool CanHalveDirectly(const ImageRecord& source, const ImageRecord& destination) {
  return IsIntegerImageMode(source.mode) && IsIntegerImageMode(destination.mode) && source.bytesPerSample == destination.bytesPerSample;
}

bool HalveRows(const ImageRecord& source, ImageRecord* destination, double fx, double fy, int64_t top, int64_t bottom,
               const volatile bool* cancel) {
  if (source.bytesPerSample == 1) return HalveRowsOf<uint8_t>(source, destination, fx, fy, top, bottom, cancel);
  return HalveRowsOf<uint16_t>(source, destination, fx, fy, top, bottom, cancel);
}
