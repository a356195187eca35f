// Single stars edited as a user edits them: one added by a double-click while the view is zoomed
// and panned, one tinted red and moved by Ctrl+Up on its move row, and two whose edits are cancelled
// (Cancel Edit and Esc); OK then paints each as the editor left it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "FilePixels.h"
#include "MachineSettingsFixture.h"
#include "PngFiles.h"
#include "TestSupport.h"

namespace {

constexpr int kWidth = 2400;
constexpr int kHeight = 1600;
constexpr int kBackground = 26;
constexpr POINT kRed{600, 400}, kCancelled{1200, 400}, kEscaped{600, 900}, kAdded{1000, 500};

class EditorDrive : public MachineSettingsFixture {
 protected:
  EditorDrive() : MachineSettingsFixture(L"editordrive") {}
  void SetUp() override {
    MachineSettingsFixture::SetUp();
    WriteHighlightsDocument(kWidth, kHeight, kBackground, {kRed, kCancelled, kEscaped});
  }
};

// A star's centre as the brightness-weighted centroid of a window around (x, y) (the spikes are
// symmetric about it), and the window's light per channel.
struct Star {
  double x, y;
  double light[3];
  double total;
};

Star StarNear(const FilePixels& picture, int x, int y, int reach) {
  Star star{0, 0, {0, 0, 0}, 0};
  for (int py = y - reach; py <= y + reach; ++py) {
    for (int px = x - reach; px <= x + reach; ++px) {
      const uint8_t* pixel = picture.Row(py) + size_t(px) * size_t(picture.channels);
      double value = double(pixel[0]) + pixel[1] + pixel[2];
      for (int c = 0; c < 3; ++c) star.light[c] += pixel[c];
      star.x += value * (px + 0.5);
      star.y += value * (py + 0.5);
      star.total += value;
    }
  }
  if (star.total > 0) star.x /= star.total, star.y /= star.total;
  return star;
}

}  // namespace

TEST_F(EditorDrive, AddedTintedMovedAndCancelledStarsArePaintedAsTheEditorLeftThem) {
  StoreSetting(2);
  std::string script =
      "wait-idle 60\nset opsO 1\nset Lngt 10\nset qntY 100\nwait-idle 30\ntool edit\n"
      // 200 %, the view's top left at image (900, 350): a double-click adds a star at (1000, 500).
      "zoom 200\nscroll 900 350\nexpect 1085 \" 200.00%\"\ndblclick 201 301\nexpect OK \"Accept Edit\"\n"
      "set edBr 100\npress OK\nexpect OK \"OK\"\n"
      // 100 % from the corner: the first light tinted red and moved right by Ctrl+Up on its move row.
      "zoom 100\nscroll 0 0\nclick 601 401\nexpect OK \"Accept Edit\"\nset edBr 100\nset edCR 50\nkey l\nkey ctrl+up\n"
      "press OK\n"
      // The second light made dark, then the edit cancelled; the third likewise, cancelled by Esc.
      "scroll 1000 200\nclick 201 201\nset edBr 0\npress Cancel\nexpect OK \"OK\"\n"
      "scroll 400 700\nclick 201 201\nset edBr 0\nkey esc\nexpect OK \"OK\"\n"
      "wait-idle 30\npress OK\n";
  ProcessResult run = Drive(script);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  FilePixels final;
  ASSERT_TRUE(ReadPngForTest(Path(L"out.png"), &final));
  ASSERT_EQ(final.width, kWidth);

  constexpr int kReach = 12;
  // The cancelled stars are where the analysis put them: their centroids are the reference.
  Star cancelled = StarNear(final, kCancelled.x, kCancelled.y, kReach);
  Star escaped = StarNear(final, kEscaped.x, kEscaped.y, kReach);
  for (const Star* kept : {&cancelled, &escaped}) {
    EXPECT_GT(kept->total, 3 * 255 * 8) << "a cancelled edit leaves its star";
    EXPECT_NEAR(kept->light[0], kept->light[2], 0.1 * kept->light[0]) << "and its colour";
  }
  double offsetX = cancelled.x - kCancelled.x, offsetY = cancelled.y - kCancelled.y;
  EXPECT_NEAR(escaped.x - kEscaped.x, offsetX, 0.25);
  EXPECT_NEAR(escaped.y - kEscaped.y, offsetY, 0.25);

  Star added = StarNear(final, kAdded.x, kAdded.y, kReach);
  EXPECT_GT(added.total, 3 * 255 * 8) << "the added star";
  EXPECT_NEAR(added.x, kAdded.x + 0.5, 1.0) << "the added star's centre is under the pointer";
  EXPECT_NEAR(added.y, kAdded.y + 0.5, 1.0);

  Star red = StarNear(final, kRed.x + 2, kRed.y, kReach);
  EXPECT_GT(red.light[0], 1.4 * red.light[1]) << "red over green";
  EXPECT_GT(red.light[0], 1.4 * red.light[2]) << "red over blue";
  EXPECT_NEAR(red.x - kRed.x, offsetX + 2.5, 0.5) << "moved right by 2.50 pixels";
  EXPECT_NEAR(red.y - kRed.y, offsetY, 0.5);
}

// On a grayscale document the editor offers brightness and the moves but no colour balance; a
// Cancel after edits of two stars puts both back.
TEST_F(EditorDrive, GrayDocumentsHaveNoColourRowsAndCancelRestoresEveryStarEdited) {
  StoreSetting(2);
  auto drive = [&](const std::string& script) { return Drive(script, L" --mode gray"); };
  std::string start = "wait-idle 60\nset opsO 1\nset Lngt 10\nset qntY 100\nwait-idle 30\ntool edit\nzoom 100\nscroll 400 200\n";
  // kRed at client (201, 201), kCancelled at (801, 201): both dimmed, then Cancel.
  ProcessResult run = drive(start + "click 201 201\nset edBr 0\nclick 801 201\nset edBr 0\npress Cancel\nexpect OK \"OK\"\n"
                                    "wait-idle 30\npress OK\n");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  FilePixels final;
  ASSERT_TRUE(ReadPngForTest(Path(L"out.png"), &final));
  for (POINT light : {kRed, kCancelled}) {
    Star star = StarNear(final, light.x, light.y, 12);
    EXPECT_GT(star.total, 255 * 8) << "Cancel restored the star at " << light.x << "," << light.y;
  }
  ProcessResult colour = drive(start + "click 201 201\nexpect OK \"Accept Edit\"\nset edBr 80\nset edCR 10\npress OK\npress OK\n");
  EXPECT_NE(colour.exitCode, 0);
  EXPECT_NE(colour.output.find("drive: set edBr 80: ok"), std::string::npos) << colour.output;
  EXPECT_NE(colour.output.find("control 1255 is hidden"), std::string::npos) << colour.output;
}
