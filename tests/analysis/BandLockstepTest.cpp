// The bands' lockstep: no band passes a step before all have reached it, and a band that ends
// early no longer holds the others back.
#include <windows.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "ProcessingFixture.h"
#include "TestSupport.h"
#include "analysis/BandLockstep.h"
#include "core/EightBitPixels.h"

TEST(BandLockstep, NoBandStartsAStepBeforeEveryBandHasFinishedThePrevious) {
  BandLockstep lockstep;
  InitializeBandLockstep(&lockstep, 3);
  constexpr int kSteps = 200;
  std::atomic<int> finished[kSteps] = {};
  std::atomic<bool> overtaken{false};
  auto band = [&] {
    for (int step = 0; step < kSteps; ++step) {
      if (step > 0 && finished[step - 1].load() != 3) overtaken = true;
      finished[step].fetch_add(1);
      ArriveAndWait(&lockstep);
    }
    LeaveBandLockstep(&lockstep);
  };
  std::thread a(band), b(band), c(band);
  a.join(), b.join(), c.join();
  EXPECT_FALSE(overtaken.load());
  EXPECT_EQ(finished[kSteps - 1].load(), 3);
}

TEST(BandLockstep, ABandThatLeavesReleasesTheOthersWaitingForIt) {
  BandLockstep lockstep;
  InitializeBandLockstep(&lockstep, 2);
  std::atomic<int> steps{0};
  std::thread waiting([&] {
    for (int step = 0; step < 5; ++step) {
      ArriveAndWait(&lockstep);
      steps.fetch_add(1);
    }
  });
  EXPECT_FALSE(WaitUntil([&] { return steps.load() > 0; }, 100)) << "a step passed without the second band";
  LeaveBandLockstep(&lockstep);  // as a band whose thread could not be started
  EXPECT_TRUE(WaitUntil([&] { return steps.load() == 5; }, 10000));
  waiting.join();
}

class BandFillLog : public ProcessingFixture {};

TEST_F(BandFillLog, LoggedFillsReachAnotherViewAsWhiteUnselectedPixels) {
  ImageRecord view;
  ImageRect rect{0, 0, 40, 30};
  ASSERT_TRUE(AllocateImage(&view, rect, rect, plugInModeRGBColor, nullptr, 1.0, true, false));
  memset(view.pixels.block, 0x20, size_t(view.pixels.size));
  memset(view.mask.block, 255, size_t(view.mask.size));
  FillLog log{};
  for (int64_t x = 3; x < 40000 + 3; ++x) ASSERT_TRUE(LogFilledPixel(&log, 3 + x % 30, 29));  // grows past one step
  ASSERT_TRUE(LogFilledPixel(&log, 0, 0));
  FillLoggedPixels(view, log);
  EXPECT_EQ(*view.MaskAt(0, 0), 0);
  EXPECT_EQ(view.Pixel(0, 0)[0], 0xFF);
  EXPECT_EQ(view.Pixel(10, 29)[2], 0xFF);
  EXPECT_EQ(*view.MaskAt(2, 29), 255) << "a pixel outside the log stays as it was";
  EXPECT_EQ(view.Pixel(1, 0)[1], 0x20);
  ReleaseFillLog(&log);
  EXPECT_EQ(log.count, 0u);
  ReleaseImage(&view);
}

TEST_F(BandFillLog, ABrightnessPlaneFilledWithItsViewStaysThePlaneOfTheView) {
  ImageRecord view;
  ImageRect rect{0, 0, 40, 30};
  ASSERT_TRUE(AllocateImage(&view, rect, rect, plugInModeRGBColor, nullptr, 1.0, true, false));
  uint32_t h = 99;
  for (uint64_t i = 0; i < view.pixels.size; ++i) {
    h = h * 1664525u + 1013904223u;
    static_cast<uint8_t*>(view.pixels.block)[i] = uint8_t(h >> 24);
  }
  BrightnessPlane plane{}, made{};
  ASSERT_TRUE(MakeBrightnessPlane(view, &plane));
  auto expectPlaneOfView = [&](const BrightnessPlane& p) {
    for (int64_t y = 0; y < 30; ++y) {
      for (int64_t x = 0; x < 40; ++x) {
        PixelValue colour;
        ReadEightBitColour(view, x, y, &colour);
        ASSERT_EQ(uint32_t(*p.At(view, x, y)), (colour.red + colour.green + colour.blue) / 3) << x << ", " << y;
      }
    }
  };
  ASSERT_NO_FATAL_FAILURE(expectPlaneOfView(plane));
  FillLog log{};
  for (int64_t x = 5; x < 25; ++x) ASSERT_TRUE(LogFilledPixel(&log, x, 7 + x % 3));
  FillLoggedPixels(view, log, &plane);
  MarkPixelFilled(view, 39, 29, &plane);
  EXPECT_EQ(view.Pixel(39, 29)[0], 0xFF);
  ASSERT_NO_FATAL_FAILURE(expectPlaneOfView(plane));
  ASSERT_TRUE(CopyBrightnessPlane(plane, &made));
  ASSERT_NO_FATAL_FAILURE(expectPlaneOfView(made));
  EXPECT_EQ(made.filled, plane.filled);
  ReleaseBrightnessPlane(&made);
  ReleaseBrightnessPlane(&plane);
  ReleaseFillLog(&log);
  ReleaseImage(&view);
}
