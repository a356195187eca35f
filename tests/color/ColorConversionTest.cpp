// Bulk conversions of image records on worker threads, and effect colours for display.
#include "color/ColorConversion.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "ProcessingFixture.h"
#include "TestSupport.h"
#include "color/ColorProfiles.h"
#include "color/ImageProfile.h"
#include "core/RunResult.h"

class ColorConversion : public ProcessingFixture {
 protected:
  void SetUp() override {
    ProcessingFixture::SetUp();
    ASSERT_TRUE(OpenProfilesFor(plugInModeRGBColor));
  }
};

// sRGB 8-bit samples to linear light, the reference for conversions to the linear working space.
double SrgbToLinear(int sample) {
  double v = sample / 255.0;
  return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

TEST_F(ColorConversion, ConvertsInPlaceInBandsAndAdoptsTheTargetProfile) {
  ScopedWorkerCount four(4);
  for (int rows : {1, 3, 97}) {  // fewer rows than workers: one band per row
    ImageRecord image;
    ImageRect rect{0, 0, 40, rows};
    ASSERT_TRUE(CreateImage(&image, rect, rect, plugInModeRGBColor, StandardProfile(), false, false));
    for (int y = 0; y < rows; ++y) {
      for (int x = 0; x < 40; ++x) {
        uint8_t* p = image.Pixel(x, y);
        p[0] = 64, p[1] = 128, p[2] = uint8_t(x * 6), p[3] = uint8_t(y);
      }
    }
    ASSERT_TRUE(ConvertColorOf(&image, LinearWorkingProfile(), true));
    EXPECT_EQ(image.profile, LinearWorkingProfile());
    EXPECT_NEAR(image.gamma, 1.0, 1e-9);
    for (int y = 0; y < rows; ++y) {
      const uint8_t* p = image.Pixel(39, y);
      ASSERT_NEAR(p[1], SrgbToLinear(128) * 255, 1.5) << rows;
      ASSERT_NEAR(p[0], SrgbToLinear(64) * 255, 1.5);
      ASSERT_NEAR(p[2], SrgbToLinear(39 * 6) * 255, 1.5);
      ASSERT_EQ(p[3], y) << "alpha rides along";
    }
    ReleaseImage(&image);
  }
  EXPECT_EQ(m_Result, 0);
}

TEST_F(ColorConversion, NegativeFloatColoursAreClampedButAlphaIsKept) {
  ImageRecord image;
  ImageRect rect{0, 0, 16, 2};
  ASSERT_TRUE(CreateImage(&image, rect, rect, plugInModeRGB96, WorkingProfile(), false, false));
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 16; ++x) {
      float samples[4] = {-0.5f, 0.5f, 0.25f, -0.25f};
      memcpy(image.Pixel(x, y), samples, sizeof samples);
    }
  }
  ASSERT_TRUE(ConvertColorOf(&image, StandardProfile(), true));
  float samples[4];
  memcpy(samples, image.Pixel(7, 1), sizeof samples);
  EXPECT_EQ(samples[0], 0.0f);
  EXPECT_NEAR(samples[1], 0.5f, 0.01f);
  EXPECT_EQ(samples[3], -0.25f);
  ReleaseImage(&image);
}

TEST_F(ColorConversion, CopiesTheOverlapBetweenDepthsWithAlphaAndMask) {
  ImageRecord source, destination;
  ImageRect sourceArea{0, 0, 32, 20};
  ImageRect destinationArea{100, 100, 116, 110};
  ASSERT_TRUE(CreateImage(&source, sourceArea, sourceArea, plugInModeRGB48, StandardProfile(), true, false));
  ASSERT_TRUE(CreateImage(&destination, destinationArea, destinationArea, plugInModeRGBColor, StandardProfile(), true, false));
  FillImageRect(&source, PixelValue{0x800000, 0x400000, 0x200000, 0x80000000u, 0x40000000u}, sourceArea);
  FillImageRect(&destination, PixelValue{0, 0, 0, kFullFraction, kFullFraction}, destinationArea);
  // Source rows 5.. land at destination rows 105..; only the part inside both images is copied.
  ASSERT_TRUE(CopyTileWithColorConversion(source, ImageRect{-4, 5, 28, 40}, &destination, ImageRect{96, 105, 128, 140}));
  PixelValue inside, outside;
  destination.readPixel(&destination, 100, 105, &inside);
  destination.readPixel(&destination, 100, 104, &outside);
  EXPECT_NEAR(inside.red, 0x800000, 0.02 * kLinearMaximum);
  EXPECT_NEAR(inside.green, 0x400000, 0.02 * kLinearMaximum);
  EXPECT_NEAR(double(inside.alpha), double(0x80000000u), double(1u << 25));
  EXPECT_NEAR(double(inside.mask), double(0x40000000u), double(1u << 25));
  EXPECT_EQ(outside.red, 0u);
  EXPECT_EQ(outside.alpha, kFullFraction);
  EXPECT_TRUE(CopyTileWithColorConversion(source, ImageRect{40, 40, 50, 50}, &destination, destinationArea));
  ReleaseImage(&source);
  ReleaseImage(&destination);
}

TEST_F(ColorConversion, EffectColoursAreWeightedTieredAndReturnedLinear) {
  EffectColor colors[2] = {{0x800000, 0x400000, 0x200000, 0x7FFFFFFF}, {0x20000000, 0x10000000, 0x08000000, kFullFraction}};
  ASSERT_TRUE(ConvertColorList(colors, 2, LinearWorkingProfile(), LinearWorkingProfile()));
  EXPECT_EQ(colors[0].weight, kFullFraction);
  EXPECT_NEAR(double(colors[0].red), 0x400000, 0x400000 * 0.01);
  EXPECT_NEAR(double(colors[0].blue), 0x100000, 0x100000 * 0.02);
  EXPECT_NEAR(double(colors[1].red), 0x20000000, 0x20000000 * 0.01) << "the top tier scales back by 256";
  EXPECT_NEAR(double(colors[1].green), 0x10000000, 0x10000000 * 0.01);
}

TEST_F(ColorConversion, SrgbRoundTripsWithinOneCodeValue) {
  for (int32_t mode : {plugInModeRGBColor, plugInModeRGB48}) {
    ImageRecord image;
    ImageRect rect{0, 0, 256, 3};
    ASSERT_TRUE(CreateImage(&image, rect, rect, mode, StandardProfile(), false, false));
    for (int x = 0; x < 256; ++x) {
      for (int y = 0; y < 3; ++y) {
        uint8_t* p = image.Pixel(x, y);
        if (mode == plugInModeRGBColor) {
          p[0] = uint8_t(x), p[1] = uint8_t(255 - x), p[2] = uint8_t(x * 3), p[3] = 255;
        } else {
          uint16_t s[4] = {uint16_t(x * 257), uint16_t(65535 - x * 255), uint16_t(x * 97), 65535};
          memcpy(p, s, sizeof s);
        }
      }
    }
    std::vector<uint8_t> before(static_cast<uint8_t*>(image.pixels.block),
                                static_cast<uint8_t*>(image.pixels.block) + image.pixels.size);
    // Two distinct sRGB profiles: a real transform each way, through Little CMS's pipeline.
    ASSERT_TRUE(ConvertColorOf(&image, WorkingProfile(), true));
    ASSERT_TRUE(ConvertColorOf(&image, StandardProfile(), true));
    for (int x = 0; x < 256; ++x) {
      for (int s = 0; s < 3; ++s) {
        if (mode == plugInModeRGBColor) {
          ASSERT_NEAR(image.Pixel(x, 1)[s], before[size_t((1 * image.allocatedWidth + x) * 4 + s)], 1) << x;
        } else {
          uint16_t now, was;
          memcpy(&now, image.Pixel(x, 1) + 2 * s, 2);
          memcpy(&was, before.data() + (1 * image.allocatedWidth + x) * 8 + 2 * s, 2);
          ASSERT_NEAR(now, was, 1) << x;
        }
      }
    }
    ReleaseImage(&image);
  }
}

TEST_F(ColorConversion, TransformLookupsFromEightThreadsShareOneEntryPerKey) {
  std::vector<std::thread> threads;
  std::vector<ColorTransform> seen(8);
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t, &seen] {
      seen[size_t(t)] = GetColorTransform(StandardProfile(), TYPE_RGBA_16, LinearWorkingProfile(), TYPE_RGBA_16);
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (ColorTransform transform : seen) EXPECT_EQ(transform, seen[0]);
  EXPECT_EQ(CachedTransformCount(), 1);
}
