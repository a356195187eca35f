// The preview's picture is built once per depth: the dialog's early build is kept when the layer
// asks for the same depth, replaced (the old picture freed first) when it asks for another, and
// forgotten when the picture is freed.
#include "preview/PreviewPictureBuild.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>

#include "TestSupport.h"
#include "preview/BackgroundTask.h"
#include "preview/OpenGLSettings.h"
#include "preview/PreviewImageSource.h"

namespace {

struct SourceLog {
  std::atomic<int> renders{0}, releases{0};
  std::atomic<int32_t> mode{0}, renderedMode{0};
  std::atomic<bool> hold{false};  // a render waits while this is set, or until cancelled
  std::atomic<bool> sawCancel{false};
};
SourceLog* gLog = nullptr;

bool Render(const volatile bool* cancel) {
  ++gLog->renders;
  // Held until the test lets go or the build is cancelled, as the real build polls per row.
  WaitUntil([&] { return !gLog->hold.load() || *cancel; }, 10000);
  if (gLog->hold.load() && *cancel) {
    gLog->sawCancel = true;
    return false;
  }
  gLog->renderedMode = gLog->mode.load();
  return true;
}
void Release() { ++gLog->releases; }
void SetMode(int32_t mode) { gLog->mode = mode; }

class PreviewPictureBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    gLog = &m_Log;
    PreviewImageSource source;
    source.render = Render;
    source.release = Release;
    source.setLevelZeroMode = SetMode;
    source.imageRect = ImageRect{0, 0, 10, 10};
    SetPreviewImageSource(source);
    ClearPreviewAbortFlags();
  }
  void TearDown() override {
    m_Log.hold = false;
    ForgetPreviewPictureBuild();
    SetPreviewImageSource(PreviewImageSource{});
    gLog = nullptr;
  }
  SourceLog m_Log;
};

}  // namespace

TEST_F(PreviewPictureBuild, TheLayerKeepsTheDialogsBuildAtTheSameDepth) {
  ASSERT_TRUE(StartPreviewPictureBuild(plugInModeRGB48));
  ASSERT_TRUE(StartPreviewPictureBuild(plugInModeRGB48));
  ASSERT_TRUE(WaitForPreviewPicture());
  EXPECT_EQ(m_Log.renders.load(), 1);
  EXPECT_EQ(m_Log.renderedMode.load(), plugInModeRGB48);
  ASSERT_TRUE(StartPreviewPictureBuild(plugInModeRGB48)) << "a finished build at that depth is kept too";
  EXPECT_EQ(m_Log.renders.load(), 1);
}

TEST_F(PreviewPictureBuild, AnotherDepthCancelsTheBuildFreesItAndBuildsAgain) {
  m_Log.hold = true;
  ASSERT_TRUE(StartPreviewPictureBuild(plugInModeRGB48));
  ASSERT_TRUE(WaitUntil([&] { return m_Log.renders.load() > 0; }));
  int releasesBefore = m_Log.releases.load();
  m_Log.hold = false;
  ASSERT_TRUE(StartPreviewPictureBuild(plugInModeRGBColor));
  ASSERT_TRUE(WaitForPreviewPicture());
  EXPECT_EQ(m_Log.releases.load(), releasesBefore + 1) << "the picture at the other depth is freed before the new build";
  EXPECT_EQ(m_Log.renderedMode.load(), plugInModeRGBColor);
  EXPECT_EQ(m_Log.renders.load(), 2);
}

TEST_F(PreviewPictureBuild, ARunningBuildIsCancelledWhenForgottenAndAFreedPictureIsBuiltAgain) {
  m_Log.hold = true;
  ASSERT_TRUE(StartPreviewPictureBuild(plugInModeRGBColor));
  ASSERT_TRUE(WaitUntil([&] { return m_Log.renders.load() > 0; }));
  ForgetPreviewPictureBuild();
  EXPECT_TRUE(m_Log.sawCancel.load()) << "the build's thread saw the cancel and ended";
  m_Log.hold = false;
  ASSERT_TRUE(StartPreviewPictureBuild(plugInModeRGBColor));
  ASSERT_TRUE(WaitForPreviewPicture());
  EXPECT_EQ(m_Log.renders.load(), 2);
}

TEST_F(PreviewPictureBuild, TheExpectedDepthFollowsTheStoredSetting) {
  int32_t stored = gOpenGLSettings.m_OpenGLDrawingMode;
  gOpenGLSettings.m_OpenGLDrawingMode = OPTIMIZE_FOR_QUALITY;
  EXPECT_EQ(ExpectedLevelZeroMode(), plugInModeRGB48);
  for (int32_t setting : {OPTIMIZE_UNSET, OPTIMIZE_FOR_SPEED, OPTIMIZE_FOR_COMPATIBILITY, OPTIMIZE_NONE}) {
    gOpenGLSettings.m_OpenGLDrawingMode = setting;
    EXPECT_EQ(ExpectedLevelZeroMode(), plugInModeRGBColor) << setting;
  }
  gOpenGLSettings.m_OpenGLDrawingMode = stored;
}
