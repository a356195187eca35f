// The stars as a user moves them: a slider dragged in the dialog turns the stars in the very next
// preview frame, and OK paints what the preview showed last.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "FilePixels.h"
#include "MachineSettingsFixture.h"
#include "PngFiles.h"
#include "TestSupport.h"

namespace {

constexpr int kWidth = 600;
constexpr int kHeight = 400;
constexpr int kLightX = 300;
constexpr int kLightY = 200;
constexpr int kBackground = 26;

class StarDrive : public MachineSettingsFixture {
 protected:
  StarDrive() : MachineSettingsFixture(L"stardrive") {}
  void SetUp() override {
    MachineSettingsFixture::SetUp();
    WriteHighlightsDocument(kWidth, kHeight, kBackground, {POINT{kLightX, kLightY}});
  }
};

// The brightest channel at `distance` pixels from (cx, cy) in the direction of `degrees` (0 up,
// clockwise), the best of the pixel and its four neighbours so that a one-pixel spike is found.
int Along(const FilePixels& picture, double cx, double cy, double degrees, double distance) {
  double radians = degrees * 3.14159265358979 / 180.0;
  int x = int(std::lround(cx + distance * std::sin(radians))), y = int(std::lround(cy - distance * std::cos(radians)));
  int best = 0;
  static const int kAround[5][2] = {{0, 0}, {1, 0}, {-1, 0}, {0, 1}, {0, -1}};
  for (const auto& d : kAround) {
    int px = x + d[0], py = y + d[1];
    if (px < 0 || py < 0 || px >= picture.width || py >= picture.height) continue;
    const uint8_t* pixel = picture.Row(py) + size_t(px) * size_t(picture.channels);
    for (int c = 0; c < 3; ++c) best = std::max(best, int(pixel[c]));
  }
  return best;
}

// Four spikes from `first` degrees on, nothing half-way between them.
void ExpectFourSpikes(const FilePixels& picture, double cx, double cy, double first, int bright, int dark,
                      const std::string& what) {
  for (int spike = 0; spike < 4; ++spike) {
    EXPECT_GT(Along(picture, cx, cy, first + 90 * spike, 20), bright) << what << ": spike " << spike;
    EXPECT_LT(Along(picture, cx, cy, first + 90 * spike + 45, 20), dark) << what << ": between spikes " << spike;
  }
}

}  // namespace

TEST_F(StarDrive, DraggingAngleTurnsThePreviewsStarsAndOkPaintsThemSo) {
  StoreSetting(1);
  std::string script = "wait-idle 60\nset opsO 1\nset numP 4\nset sspI 0\nset sflB 0\nset Lngt 60\nzoom 100\nwait-idle 30\n"
                       "screenshot-preview " + NarrowPath(L"before.png") + "\nset-track Angl 45\nwait-idle 30\n"
                       "screenshot-preview " + NarrowPath(L"after.png") + "\npress OK\n";
  ProcessResult run = Drive(script);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  FilePixels before, after, final;
  ASSERT_TRUE(ReadPngForTest(Path(L"before.png"), &before));
  ASSERT_TRUE(ReadPngForTest(Path(L"after.png"), &after));
  ASSERT_TRUE(ReadPngForTest(Path(L"out.png"), &final));
  ASSERT_EQ(before.width, after.width);
  // At 100 % the image is centred in the frame inside its one-pixel border.
  double left = kWidth < before.width - 2 ? std::floor((before.width - 2 - kWidth) / 2.0) + 1 : 1;
  double top = kHeight < before.height - 2 ? std::floor((before.height - 2 - kHeight) / 2.0) + 1 : 1;
  double cx = left + kLightX + 0.5, cy = top + kLightY + 0.5;
  ExpectFourSpikes(before, cx, cy, 0, 40, 12, "the preview at Angle 0");
  ExpectFourSpikes(after, cx, cy, 45, 40, 12, "the preview at Angle 45");
  // OK paints the turned star over the photo; between its spikes the background shows.
  ExpectFourSpikes(final, kLightX + 0.5, kLightY + 0.5, 45, kBackground + 30, kBackground + 10, "the final image");
}
