// The preview's tools as a user works them: clicks and drags with the Hide tool at several zooms
// and scroll positions (the pick radius, Alt's reveal, a short drag taken for a click), the Pan
// tool turned into a zoom by Ctrl and by Space with Alt, and what OK then paints.
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

struct Light {
  const char* name;
  int x, y;
};
// Far enough apart that no star's spikes (Length 10) reach another light.
constexpr Light kLights[] = {{"A", 300, 300}, {"B", 700, 300}, {"C", 1100, 300},
                             {"D", 300, 700}, {"E", 700, 700}, {"F", 1100, 700}};

class ToolsDrive : public MachineSettingsFixture {
 protected:
  ToolsDrive() : MachineSettingsFixture(L"toolsdrive") {}
  void SetUp() override {
    MachineSettingsFixture::SetUp();
    std::vector<POINT> lights;
    for (const Light& l : kLights) lights.push_back(POINT{l.x, l.y});
    WriteHighlightsDocument(kWidth, kHeight, kBackground, lights);
  }
};

// Preview client coordinates of image point (x, y) with image point (left, top) at the view's top
// left (the border is one pixel wide).
std::string At(double x, double y, double zoom, int left, int top) {
  return std::to_string(int(std::lround(1 + (x - left) * zoom / 100.0))) + " " +
         std::to_string(int(std::lround(1 + (y - top) * zoom / 100.0)));
}

int Brightest(const FilePixels& picture, int x, int y) {
  int best = 0;
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      const uint8_t* pixel = picture.Row(y + dy) + size_t(x + dx) * size_t(picture.channels);
      for (int c = 0; c < 3; ++c) best = std::max(best, int(pixel[c]));
    }
  }
  return best;
}

}  // namespace

TEST_F(ToolsDrive, HideClicksAndDragsActOnWhatIsUnderThePointerAtAnyZoomAndScroll) {
  StoreSetting(2);
  std::string script =
      "wait-idle 60\nset opsO 1\nset Lngt 10\nset qntY 100\nwait-idle 30\n"
      "tool hide\n"
      // 100 %: 30 image pixels from A is beyond the pick radius of 20.
      "zoom 100\nscroll 0 0\nexpect 1085 \" 100.00%\"\n"
      "click " + At(330, 300, 100, 0, 0) + "\n"
      // 50 %: the radius is 40, so the same distance from B picks it.
      "zoom 50\nscroll 0 0\nexpect 1085 \" 50.00%\"\n"
      "click " + At(730, 300, 50, 0, 0) + "\n"
      // C hidden by a drag round it, then revealed by the same drag with Alt.
      "drag " + At(1050, 250, 50, 0, 0) + " " + At(1150, 350, 50, 0, 0) + "\n"
      "drag " + At(1050, 250, 50, 0, 0) + " " + At(1150, 350, 50, 0, 0) + " alt\n"
      // A drag of one pixel is a click: it hides D, 10 image pixels away.
      "drag " + At(310, 700, 50, 0, 0) + " " + At(312, 700, 50, 0, 0) + "\n"
      // 200 % scrolled: the click lands on E through the zoom and the scroll position.
      "zoom 200\nscroll 600 600\nexpect 1085 \" 200.00%\"\n"
      "click " + At(700, 700, 200, 600, 600) + "\n"
      // The Pan tool zooms in with Ctrl and out with Space and Alt.
      "tool pan\nclick 200 200 ctrl\nexpect 1085 \" 300.00%\"\n"
      "click 200 200 space alt\nexpect 1085 \" 200.00%\"\n"
      "wait-idle 30\npress OK\n";
  ProcessResult run = Drive(script);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  FilePixels final;
  ASSERT_TRUE(ReadPngForTest(Path(L"out.png"), &final));
  ASSERT_EQ(final.width, kWidth);
  // Effects Only: a light with its star is bright, a hidden one is black.
  for (const Light& light : kLights) {
    bool shown = std::string("ACF").find(light.name) != std::string::npos;
    int brightest = Brightest(final, light.x, light.y);
    if (shown) {
      EXPECT_GT(brightest, 100) << light.name << " should keep its star";
    } else {
      EXPECT_LT(brightest, 20) << light.name << " should be hidden";
    }
  }
}

namespace {

std::string ZoomText(double percent) {
  char text[32];
  snprintf(text, sizeof text, " %-3.2Lf%%", static_cast<long double>(percent));
  return text;
}

}  // namespace

// The view moved by the keys in the preview and by the Pan tool, then a click picks what is
// under the pointer there; a Zoom drag makes its rectangle fill the view.
TEST_F(ToolsDrive, KeysAndThePanToolMoveTheViewAndAZoomDragFillsIt) {
  StoreSetting(2);
  // The preview's size decides where the keys take the view.
  ProcessResult sizing = Drive("wait-idle 60\nscreenshot-preview " + NarrowPath(L"size.png") + "\npress Cancel\n");
  ASSERT_EQ(sizing.exitCode, 2) << sizing.output;
  FilePixels shot;
  ASSERT_TRUE(ReadPngForTest(Path(L"size.png"), &shot));
  int viewWidth = shot.width - 2, viewHeight = shot.height - 2;
  ASSERT_LT(2 * viewHeight + 300, kHeight) << "Page Down needs room below the view";
  // P and Q below the first page, R on it; after Page Down, Ctrl+Right and a pan of (100, 50) the
  // view's top left is (110, viewHeight + 50).
  POINT p{310, viewHeight + 150}, q{310, viewHeight + 250}, r{200, 100};
  WriteHighlightsDocument(kWidth, kHeight, kBackground, {p, q, r});
  std::string script =
      "wait-idle 60\nset opsO 1\nset Lngt 10\nset qntY 100\nzoom 100\nscroll 0 0\nwait-idle 30\n"
      "tool pan\nclick 5 5\nkey pgdn\nkey ctrl+right\ndrag 400 300 300 250\n"
      "tool hide\nclick 201 101\n"
      "key home\nclick 201 101\n"
      "tool zoom\ndrag 11 11 111 31\nexpect 1085 \"" + ZoomText(std::min(6400.0, std::min(100.0 * viewWidth / 100.0, 100.0 * viewHeight / 20.0))) + "\"\n"
      "wait-idle 30\npress OK\n";
  ProcessResult run = Drive(script);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  FilePixels final;
  ASSERT_TRUE(ReadPngForTest(Path(L"out.png"), &final));
  // A hidden light's centre is dark but for the glow of a neighbour's spikes; a star's is white.
  EXPECT_LT(Brightest(final, p.x, p.y), 80) << "P was under the pointer after the keys and the pan";
  EXPECT_LT(Brightest(final, r.x, r.y), 80) << "R was under the pointer after Home";
  EXPECT_GT(Brightest(final, q.x, q.y), 150) << "Q, 100 pixels off, keeps its star";
}

// A Pan drag moves the picture by exactly the dragged distance; the chosen tool is the one the
// next opening of the dialog starts with.
TEST_F(ToolsDrive, APanDragMovesThePictureByTheDragAndTheToolIsKeptForTheNextRun) {
  StoreSetting(2);
  FilePixels document;
  std::string error;
  ASSERT_TRUE(AllocateFilePixels(kWidth, kHeight, 3, 8, &document, &error)) << error;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      uint8_t* pixel = document.Row(y) + size_t(x) * 3;
      pixel[0] = uint8_t(40 + (x * 7 + y * 3) % 160);
      pixel[1] = uint8_t(40 + (x * 3 + y * 11) % 160);
      pixel[2] = uint8_t(40 + ((x / 8 + y / 8) % 2) * 100);
    }
  }
  ASSERT_TRUE(WritePngFile(Path(L"document.png"), document, {}, 1, &error)) << error;
  std::wstring before = Path(L"before.png"), after = Path(L"after.png");
  // A texture of tens of thousands of highlights: Quantity 0 gives none of them a star, so that
  // the screenshots show the picture alone.
  ProcessResult run = Drive("wait-idle 60\nzoom 100\nscroll 300 300\nwait-idle 30\nscreenshot-preview " +
                                std::string(before.begin(), before.end()) + "\ntool pan\ndrag 400 300 300 250\nwait-idle 30\n"
                                "screenshot-preview " + std::string(after.begin(), after.end()) + "\npress OK\n",
                            L" --set qntY=0");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  FilePixels a, b;
  ASSERT_TRUE(ReadPngForTest(before, &a));
  ASSERT_TRUE(ReadPngForTest(after, &b));
  ASSERT_EQ(a.width, b.width);
  // What stood at (x + 100, y + 50) now stands at (x, y).
  int compared = 0, worst = 0;
  for (int y = 10; y + 50 < a.height - 10; y += 7) {
    for (int x = 10; x + 100 < a.width - 10; x += 5) {
      const uint8_t* was = a.Row(y + 50) + size_t(x + 100) * size_t(a.channels);
      const uint8_t* now = b.Row(y) + size_t(x) * size_t(b.channels);
      for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(int(was[c]) - int(now[c])));
      ++compared;
    }
  }
  EXPECT_GT(compared, 1000);
  EXPECT_LE(worst, 2) << "the picture did not move by the dragged distance";

  // The next run starts with Pan: a click there pans (by nothing), where Zoom would zoom in.
  ProcessResult next = Drive("wait-idle 60\nzoom 100\nclick 100 100\nwait-idle 30\nexpect 1085 \" 100.00%\"\n"
                             "tool zoom\nclick 100 100\nexpect 1085 \" 200.00%\"\npress Cancel\n",
                             L" --set qntY=0");
  EXPECT_EQ(next.exitCode, 2) << next.output;
}
