// The preview task's queue, start-up and shutdown, driven through a real "ProxyDisplay" window
// in the test process; frames are held by the frame hook where a test needs a slow one.
#include "preview/BackgroundTask.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "TestSupport.h"
#include "preview/OpenGLSettings.h"
#include "support/PreviewTestWindow.h"

namespace {

constexpr char kTimedOut[] = "DestroyBackgroundTask() - Timed out while waiting for Background Task exit.";

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class BackgroundTaskTest : public ::testing::Test {
 protected:
  void TearDown() override {
    window.reset();
    SetBackgroundTaskExitLimit(kBackgroundTaskExitLimitMs);
    EXPECT_TRUE(WaitUntil([] { return !BackgroundTaskRunning(); }, 20000));
  }

  // Starts the window and waits for the start-up rendering to reach it.
  void OpenStartedWindow(int setting = OPTIMIZE_FOR_QUALITY) {
    window = std::make_unique<PreviewTestWindow>(setting);
    ASSERT_TRUE(window->PumpUntil([&] { return window->FramesCaughtUp(); }));
    ClearDrawnRequests();
  }

  // Queues one request whose frame the hook holds, and waits until the task is in it.
  void HoldOneFrame() {
    gHoldFrames = true;
    int held = gFramesHeld.load();
    NewBackgroundTaskParameters(MakeRegion(0, 0, 10, 10));
    ASSERT_TRUE(WaitUntil([&] { return gFramesHeld.load() > held; }));
  }

  std::vector<DrawnRequest> RequestsDrawnAfterRelease() {
    gHoldFrames = false;
    EXPECT_TRUE(window->PumpUntil([&] { return window->FramesCaughtUp(); }));
    return DrawnRequests();
  }

  PreviewHooks hooks;
  ReportCapture reports;
  std::unique_ptr<PreviewTestWindow> window;
};

TEST_F(BackgroundTaskTest, BurstDuringASlowFrameLeavesOneWaitingSetWithTheUnionOfRegions) {
  OpenStartedWindow();
  HoldOneFrame();
  NewBackgroundTaskParameters(MakeRegion(20, 20, 30, 30));
  NewBackgroundTaskParameters(MakeRegion(50, 60, 70, 80));
  NewBackgroundTaskParameters(MakeRegion(100, 100, 110, 110));
  int last = window->QueuedFrame();

  std::vector<DrawnRequest> drawn = RequestsDrawnAfterRelease();
  ASSERT_EQ(drawn.size(), 2u) << "the held set and exactly one set that waited";
  EXPECT_EQ(drawn[1].id, last);
  ASSERT_TRUE(drawn[1].hasRegion);
  EXPECT_TRUE(SameRect(drawn[1].regionBox, RECT{20, 20, 110, 110}));
  EXPECT_EQ(drawn[1].regionRectangles, 3);
}

TEST_F(BackgroundTaskTest, RequestWithoutRegionKeepsTheRegionOfTheSetItReplaces) {
  OpenStartedWindow();
  HoldOneFrame();
  NewBackgroundTaskParameters(MakeRegion(5, 5, 25, 25));
  NewBackgroundTaskParameters(nullptr);
  int last = window->QueuedFrame();

  std::vector<DrawnRequest> drawn = RequestsDrawnAfterRelease();
  ASSERT_EQ(drawn.size(), 2u);
  EXPECT_EQ(drawn[1].id, last);
  // The region moved to the newer set: flushing the older one must not have deleted it.
  ASSERT_TRUE(drawn[1].hasRegion);
  EXPECT_TRUE(SameRect(drawn[1].regionBox, RECT{5, 5, 25, 25}));
}

TEST_F(BackgroundTaskTest, RequestsAfterTerminationAreDroppedWithoutAMessage) {
  OpenStartedWindow();
  int queued = window->QueuedFrame();
  RequestBackgroundTaskTermination();
  reports.Clear();
  HRGN region = MakeRegion(0, 0, 40, 40);
  NewBackgroundTaskParameters(region);
  EXPECT_EQ(GetObjectType(region), 0u) << "the dropped request's region is deleted";
  EXPECT_EQ(window->QueuedFrame(), queued);
  EXPECT_FALSE(reports.HasReportContaining("NewBackgroundTaskParameters()"));
}

TEST_F(BackgroundTaskTest, RequestFromAnotherThreadIsReportedAndItsRegionDeleted) {
  OpenStartedWindow();
  int queued = window->QueuedFrame();
  HRGN region = MakeRegion(0, 0, 40, 40);
  std::thread other([&] { NewBackgroundTaskParameters(region); });
  other.join();
  EXPECT_TRUE(reports.HasReport("NewBackgroundTaskParameters() - Could not get current parameter set."));
  EXPECT_EQ(GetObjectType(region), 0u);
  EXPECT_EQ(window->QueuedFrame(), queued);
}

TEST_F(BackgroundTaskTest, ClosingWhileAFrameIsDrawnStopsTheTaskWithinTheLimit) {
  OpenStartedWindow();
  HoldOneFrame();  // the frame ends only when the task is told to stop
  window->DestroyPreview();
  EXPECT_FALSE(reports.HasReportContaining(kTimedOut));
  EXPECT_FALSE(BackgroundTaskRunning());
}

TEST_F(BackgroundTaskTest, TaskOutlivingTheLimitIsLeftToEndAndFreesItsObjectsItself) {
  OpenStartedWindow();
  gHoldIgnoresAbort = true;
  HoldOneFrame();
  SetBackgroundTaskExitLimit(200);
  window->DestroyPreview();
  EXPECT_TRUE(reports.HasReportContaining(kTimedOut));
  EXPECT_FALSE(reports.HasReportContaining("forcibly aborted"));
  EXPECT_TRUE(BackgroundTaskRunning()) << "the task is left running, never killed";

  gHoldFrames = false;  // the frame ends; the task finds its objects still there
  ASSERT_TRUE(WaitUntil([] { return !BackgroundTaskRunning(); }, 20000));
  SetBackgroundTaskExitLimit(kBackgroundTaskExitLimitMs);
  reports.Clear();
  OpenStartedWindow();
  EXPECT_FALSE(reports.HasReportContaining("has not ended yet"));
}

TEST_F(BackgroundTaskTest, DialogThatNeverFinishesInitialisingDoesNotHoldUpTheShutdown) {
  window = std::make_unique<PreviewTestWindow>(OPTIMIZE_FOR_QUALITY, /*signalDialog=*/false);
  ASSERT_TRUE(BackgroundTaskRunning());
  window->DestroyPreview();
  EXPECT_FALSE(reports.HasReportContaining(kTimedOut));
  EXPECT_FALSE(reports.HasReportContaining("UI Thread exited while waiting for main dialog initialization."));
  EXPECT_FALSE(BackgroundTaskRunning());
}

TEST_F(BackgroundTaskTest, RequestsBeforeTheAnalysisIsReadyAreFlushedAndOneFullRenderingFollows) {
  gTestAnalysisReady = false;
  window = std::make_unique<PreviewTestWindow>(OPTIMIZE_FOR_QUALITY);
  // Regions reaching outside the window: were they not flushed, the start-up request would
  // inherit their union and its box would reach outside too.
  NewBackgroundTaskParameters(MakeRegion(-50, -50, 10, 10));
  NewBackgroundTaskParameters(MakeRegion(-80, 0, 20, 20));
  int early = window->QueuedFrame();
  ASSERT_TRUE(window->PumpUntil([] { return gTestParametersReceived.load() > 0; }));
  EXPECT_EQ(gTestStartupCompletions.load(), 0);
  EXPECT_TRUE(DrawnRequests().empty());

  gTestAnalysisReady = true;
  ASSERT_TRUE(window->PumpUntil([&] { return window->FramesCaughtUp() && window->QueuedFrame() > early; }));
  std::vector<DrawnRequest> drawn = DrawnRequests();
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_GT(drawn[0].id, early);
  ASSERT_TRUE(drawn[0].hasRegion);
  RECT client{};
  GetClientRect(window->Preview(), &client);
  EXPECT_TRUE(SameRect(drawn[0].regionBox, client));
  EXPECT_EQ(gTestStartupCompletions.load(), 1);
}

}  // namespace
