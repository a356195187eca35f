// Alpha and mask rows between integer records store exactly what the per-pixel readers and
// writers store, and leave the colour samples alone.
#include "core/AlphaRows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ProcessingFixture.h"
#include "color/ImageProfile.h"

namespace {

uint8_t Noise(int64_t i, uint32_t salt) {
  uint32_t h = uint32_t(i) * 0x9E3779B1u ^ salt * 0x85EBCA77u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  return uint8_t((h ^ (h >> 12)) >> 24);
}

// Random bytes everywhere: every alpha and mask value, colours that must survive.
void FillWithNoise(ImageRecord* image, uint32_t salt) {
  auto* pixels = static_cast<uint8_t*>(image->pixels.block);
  for (int64_t i = 0; i < int64_t(image->pixels.size); ++i) pixels[i] = Noise(i, salt);
  auto* mask = static_cast<uint8_t*>(image->mask.block);
  for (int64_t i = 0; i < int64_t(image->mask.size); ++i) mask[i] = Noise(i, salt + 1);
}

struct Pair {
  int32_t from, to;
  bool sourceMask, destinationMask;
};

}  // namespace

class AlphaRows : public ProcessingFixture, public ::testing::WithParamInterface<Pair> {};

TEST_P(AlphaRows, EqualWhatThePixelWritersStore) {
  const Pair& pair = GetParam();
  ImageRecord source, direct, expected;
  ImageRect sourceRect{0, 0, 70, 9}, destinationRect{-20, 30, 90, 42};
  ASSERT_TRUE(CreateImage(&source, sourceRect, sourceRect, pair.from, nullptr, pair.sourceMask, false));
  ASSERT_TRUE(CreateImage(&direct, destinationRect, destinationRect, pair.to, nullptr, pair.destinationMask, false));
  ASSERT_TRUE(CreateImage(&expected, destinationRect, destinationRect, pair.to, nullptr, pair.destinationMask, false));
  FillWithNoise(&source, 1);
  FillWithNoise(&direct, 7);
  FillWithNoise(&expected, 7);
  const int64_t left = 3, width = 61, dx = -11, dy = 31;
  for (int64_t y = 0; y < 9; ++y) {
    CopyAlphaAndMaskRow(source, &direct, left, width, y, dx, dy);
    for (int64_t x = left; x < left + width; ++x) {
      PixelValue p;
      source.readPixel(&source, x, y, &p);
      expected.writePixel(&expected, x + dx, y + dy, PixelValue{kKeepSample, kKeepSample, kKeepSample, p.alpha, p.mask});
    }
  }
  ASSERT_EQ(direct.pixels.size, expected.pixels.size);
  EXPECT_EQ(memcmp(direct.pixels.block, expected.pixels.block, size_t(direct.pixels.size)), 0)
      << "colour kept, alpha as the writer stores it, nothing outside the row touched";
  if (pair.destinationMask) {
    EXPECT_EQ(memcmp(direct.mask.block, expected.mask.block, size_t(direct.mask.size)), 0);
  }
  ReleaseImage(&source);
  ReleaseImage(&direct);
  ReleaseImage(&expected);
}

INSTANTIATE_TEST_SUITE_P(EveryIntegerPairing, AlphaRows,
                         ::testing::Values(Pair{plugInModeRGBColor, plugInModeRGBColor, true, true},
                                           Pair{plugInModeRGBColor, plugInModeRGB48, false, true},
                                           Pair{plugInModeRGB48, plugInModeRGBColor, true, false},
                                           Pair{plugInModeRGB48, plugInModeRGB48, true, true},
                                           Pair{plugInModeGrayScale, plugInModeGray16, true, true},
                                           Pair{plugInModeGray16, plugInModeGrayScale, false, true},
                                           Pair{plugInModeRGB96, plugInModeRGBColor, true, true},  // the per-pixel path
                                           Pair{plugInModeRGBColor, kImageModeHalf, true, true}));
