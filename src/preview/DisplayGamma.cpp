// The display gamma raised onto finished pixels in software, for frames that no gamma program
// corrects: integer samples through the cached gamma tables, float samples with pow.
#include "preview/DisplayGamma.h"

#include <cmath>
#include <cstdint>

#include "core/GammaTables.h"
#include "core/SampleTables.h"
#include "support/ErrorReport.h"

namespace {

// The tables of gamma G encode linear light as v^(1/G); the display gamma is 1 / exponent.
bool LookUpDisplayTables(double exponent, GammaTables* tables) {
  if (LookUpGammaTables(1.0 / exponent, tables)) return true;
  ErrorReport(__LINE__, DebugMessage)
      .Report(kStyleError, kTitleUnexpectedError, "ApplyDisplayGamma() - Gamma tables for exponent %g are unavailable.",
              exponent);
  return false;
}

// 8-bit samples index the 16-bit table at v × 257, which is v / 255 exactly; the 256 answers are
// gathered first, so that a frame's million pixels read a table that stays in the cache.
void RaiseBytes(uint8_t* samples, size_t pixelCount, const uint8_t byteTable[256]) {
  for (size_t i = 0; i < pixelCount; ++i, samples += 4) {
    for (int s = 0; s < 3; ++s) samples[s] = byteTable[samples[s]];
  }
}

void RaiseShorts(uint16_t* samples, size_t pixelCount, const GammaTables& tables) {
  for (size_t i = 0; i < pixelCount; ++i, samples += 4) {
    for (int s = 0; s < 3; ++s) samples[s] = tables.linearToSixteen[samples[s]];
  }
}

// Values at or below zero have no power to take (pow would give NaN for them); they stay black.
float RaiseFloat(float value, double exponent) {
  return value > 0.0f ? float(std::pow(double(value), exponent)) : value;
}

void RaiseFloats(float* samples, size_t pixelCount, double exponent) {
  for (size_t i = 0; i < pixelCount; ++i, samples += 4) {
    for (int s = 0; s < 3; ++s) samples[s] = RaiseFloat(samples[s], exponent);
  }
}

void RaiseHalves(uint16_t* samples, size_t pixelCount, double exponent) {
  for (size_t i = 0; i < pixelCount; ++i, samples += 4) {
    for (int s = 0; s < 3; ++s) samples[s] = FloatToHalf(RaiseFloat(HalfToFloat(samples[s]), exponent));
  }
}

}  // namespace

bool ApplyDisplayGamma(void* pixels, size_t pixelCount, GLenum pixelType, double exponent) {
  return ApplyDisplayGammaToRows(pixels, 0, 1, pixelCount, pixelType, exponent);
}

// The tables are looked up once for all rows: the lookup takes the gamma cache's mutex, which
// for a frame's seven hundred rows cost more than raising the pixels.
bool ApplyDisplayGammaToRows(void* firstRow, ptrdiff_t rowBytes, size_t rowCount, size_t pixelsPerRow, GLenum pixelType,
                             double exponent) {
  if (!(exponent > 0.0 && std::isfinite(exponent))) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "ApplyDisplayGamma() - Gamma exponent %g is not usable.", exponent);
    return false;
  }
  auto* first = static_cast<uint8_t*>(firstRow);
  auto row = [&](size_t y) { return first + ptrdiff_t(y) * rowBytes; };
  GammaTables tables;
  switch (pixelType) {
    case GL_UNSIGNED_BYTE: {
      if (!LookUpDisplayTables(exponent, &tables)) return false;
      uint8_t byteTable[256];
      for (int v = 0; v < 256; ++v) byteTable[v] = tables.linearToEight[v * 257];
      for (size_t y = 0; y < rowCount; ++y) RaiseBytes(row(y), pixelsPerRow, byteTable);
      return true;
    }
    case GL_UNSIGNED_SHORT:
      if (!LookUpDisplayTables(exponent, &tables)) return false;
      for (size_t y = 0; y < rowCount; ++y) RaiseShorts(reinterpret_cast<uint16_t*>(row(y)), pixelsPerRow, tables);
      return true;
    case GL_FLOAT:
      for (size_t y = 0; y < rowCount; ++y) RaiseFloats(reinterpret_cast<float*>(row(y)), pixelsPerRow, exponent);
      return true;
    case GL_HALF_FLOAT:
      for (size_t y = 0; y < rowCount; ++y) RaiseHalves(reinterpret_cast<uint16_t*>(row(y)), pixelsPerRow, exponent);
      return true;
    default:
      ErrorReport(__LINE__, DebugMessage)
          .Report(kStyleError, kTitleUnexpectedError, "Pixel type 0x%X is not recognized.", unsigned(pixelType));
      return false;
  }
}
