// Worker counts, spawning, waiting and destroying threads, and progress from workers shown on
// the interface thread through APCs, with cancel turning into -128 for the workers.
#include "core/WorkerThreads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "core/Progress.h"
#include "core/RunResult.h"

TEST(WorkerCount, HyperThreadsCountHalfAndOneProcessorStaysFree) {
  EXPECT_EQ(WorkerCountFor(8, 4), 6u);
  EXPECT_EQ(WorkerCountFor(4, 4), 3u);
  EXPECT_EQ(WorkerCountFor(2, 2), 2u);
  EXPECT_EQ(WorkerCountFor(1, 1), 1u);
  EXPECT_EQ(WorkerCountFor(16, 8), 12u);
  EXPECT_EQ(WorkerCountFor(2, 1), 2u);
  uint32_t workers = GetWorkerCount();
  EXPECT_GE(workers, 1u);
  EXPECT_EQ(GetWorkerCount(), workers);
}

namespace {

struct CountingArguments {
  std::atomic<int>* counter;
  HANDLE release;  // null: return at once
};

unsigned __stdcall CountAndWait(void* argument) {
  auto* arguments = static_cast<CountingArguments*>(argument);
  ++*arguments->counter;
  if (arguments->release != nullptr) WaitForSingleObject(arguments->release, INFINITE);
  return 0;
}

std::vector<ThreadBlock> Blocks(int count, std::atomic<int>* counter, HANDLE release) {
  std::vector<ThreadBlock> blocks(size_t(count), ThreadBlock{});
  for (int i = 0; i < count; ++i) {
    auto* arguments = static_cast<CountingArguments*>(malloc(sizeof(CountingArguments)));
    *arguments = {counter, release};
    blocks[size_t(i)].startRoutine = CountAndWait;
    blocks[size_t(i)].argument = arguments;
    blocks[size_t(i)].index = i;
  }
  return blocks;
}

}  // namespace

TEST(WorkerThreads, SpawnWaitAndDestroyEveryBlock) {
  std::atomic<int> counter{0};
  std::vector<ThreadBlock> blocks = Blocks(70, &counter, nullptr);  // more than one wait can take
  ASSERT_TRUE(SpawnMultipleThreads(blocks.data(), int(blocks.size())));
  ASSERT_TRUE(WaitForMultipleThreads(blocks.data(), int(blocks.size()), false));
  EXPECT_EQ(counter.load(), 70);
  for (ThreadBlock& block : blocks) {
    EXPECT_EQ(block.threadHandle, nullptr);
    EXPECT_NE(block.threadId, 0u);
    EXPECT_TRUE(DestroyThread(&block));
    EXPECT_EQ(block.argument, nullptr);
  }
  EXPECT_TRUE(WaitForMultipleThreads(blocks.data(), int(blocks.size()), true)) << "no handles: nothing to wait for";
}

TEST(WorkerThreads, AThreadThatCannotStartLeavesTheLaterBlocksUnstarted) {
  ReportCapture capture;
  std::atomic<int> counter{0};
  std::vector<ThreadBlock> blocks = Blocks(3, &counter, nullptr);
  blocks[1].startRoutine = nullptr;
  EXPECT_FALSE(SpawnMultipleThreads(blocks.data(), 3));
  EXPECT_NE(blocks[0].threadHandle, nullptr);
  EXPECT_EQ(blocks[2].threadHandle, nullptr);
  EXPECT_TRUE(capture.HasReport("SpawnMultipleThreads() - Could not start thread 1 : Invalid argument."));
  EXPECT_TRUE(WaitForMultipleThreads(blocks.data(), 3, false));
  EXPECT_EQ(counter.load(), 1);
  for (ThreadBlock& block : blocks) DestroyThread(&block);
}

TEST(WorkerThreads, DestroyingARunningThreadTerminatesIt) {
  std::atomic<int> counter{0};
  HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::vector<ThreadBlock> blocks = Blocks(1, &counter, never);
  ASSERT_TRUE(SpawnMultipleThreads(blocks.data(), 1));
  ASSERT_TRUE(WaitUntil([&counter] { return counter.load() != 0; })) << "the thread is running";
  HANDLE observer = nullptr;
  DuplicateHandle(GetCurrentProcess(), blocks[0].threadHandle, GetCurrentProcess(), &observer, 0, FALSE, DUPLICATE_SAME_ACCESS);
  EXPECT_TRUE(DestroyThread(&blocks[0]));
  EXPECT_EQ(blocks[0].threadHandle, nullptr);
  ASSERT_EQ(WaitForSingleObject(observer, 5000), WAIT_OBJECT_0);
  DWORD exitCode = 0;
  GetExitCodeThread(observer, &exitCode);
  EXPECT_EQ(exitCode, kTerminatedThreadExitCode);
  CloseHandle(observer);
  CloseHandle(never);
}

namespace {
std::atomic<int32_t> gShownStep{0};  // the latest step the interface thread has shown
}  // namespace

class ImageEditorProgress : public ::testing::Test {
 protected:
  void SetUp() override {
    gResult = &m_Result;
    s_Shown.clear();
    s_ShownThread = GetCurrentThreadId();
    s_OffThreadCalls = 0;
    s_CancelAtStep = -1;
    gShownStep = 0;
    ASSERT_TRUE(InitializeImageEditorProgressBar());
    SetImageEditorProgressProcs(RecordProgress, AnswerAbort);
  }
  void TearDown() override {
    SetImageEditorProgressProcs(nullptr, nullptr);
    TerminateImageEditorProgressBar();
    gResult = nullptr;
  }
  static void RecordProgress(int32_t done, int32_t total) {
    if (GetCurrentThreadId() != s_ShownThread) ++s_OffThreadCalls;
    s_Shown.push_back({done, total});
    if (done > gShownStep.load()) gShownStep = done;
  }
  static unsigned char AnswerAbort() {
    return s_CancelAtStep >= 0 && !s_Shown.empty() && s_Shown.back().first >= s_CancelAtStep ? 1 : 0;
  }
  int16_t m_Result = 0;
  static inline std::vector<std::pair<int32_t, int32_t>> s_Shown;
  static inline DWORD s_ShownThread = 0;
  static inline int s_OffThreadCalls = 0;
  static inline int s_CancelAtStep = -1;
};

TEST_F(ImageEditorProgress, StepsFollowTheTotal) {
  StartImageEditorProgress(50);
  EXPECT_EQ(GetImageEditorProgressState().totalSteps, 50);
  EXPECT_EQ(GetImageEditorProgressState().unitsPerStep, 1u);
  StartImageEditorProgress(1000);
  EXPECT_EQ(GetImageEditorProgressState().totalSteps, 100);
  EXPECT_EQ(GetImageEditorProgressState().unitsPerStep, 10u);
  StartImageEditorProgress(1005);
  EXPECT_EQ(GetImageEditorProgressState().unitsPerStep, 10u);
  ASSERT_FALSE(s_Shown.empty());
  EXPECT_EQ(s_Shown.back(), std::make_pair(0, 100)) << "progress start shows step 0";
  EXPECT_TRUE(AdvanceImageEditorProgress(25));
  EXPECT_EQ(GetImageEditorProgressState().stepsDone, 2);
  EXPECT_EQ(GetImageEditorProgressState().accumulatedUnits, 5u);
  SleepEx(0, TRUE);  // run the queued displays
  EXPECT_EQ(s_Shown.back(), std::make_pair(2, 100));
}

TEST_F(ImageEditorProgress, TheBarNeverShowsMoreThanItsTotal) {
  StartImageEditorProgress(250);  // two units a step: 250 units would make 125 steps
  EXPECT_TRUE(AdvanceImageEditorProgress(250));
  EXPECT_EQ(GetImageEditorProgressState().stepsDone, 100);
  SleepEx(0, TRUE);
  EXPECT_EQ(s_Shown.back(), std::make_pair(100, 100));
}

TEST_F(ImageEditorProgress, TheBarIsShownOnlyOnTheInterfaceThread) {
  ReportCapture capture;
  bool shown = true;
  std::thread worker([&] { shown = DisplayImageEditorProgressBar(1, 10); });
  worker.join();
  EXPECT_FALSE(shown);
  EXPECT_TRUE(capture.HasReport("DisplayImageEditorProgressBar() - Function was not called from UI thread."));
}

namespace {

struct ProgressWorker {
  int units;
};

// Each worker keeps pace with the interface thread: after a step it goes on only once that step
// has been shown (or the run has ended), so the host's answer to a step reaches the workers
// before they are far beyond it.
unsigned __stdcall AdvanceInSmallSteps(void* argument) {
  auto* work = static_cast<ProgressWorker*>(argument);
  for (int i = 0; i < work->units && RunResult() == 0; ++i) {
    AdvanceImageEditorProgress(1);
    int32_t step = GetImageEditorProgressState().stepsDone;
    WaitUntil([step] { return gShownStep.load() >= step || RunResult() != 0; });
  }
  return 0;
}

std::vector<ThreadBlock> ProgressBlocks(int count, int units) {
  std::vector<ThreadBlock> blocks(size_t(count), ThreadBlock{});
  for (int i = 0; i < count; ++i) {
    auto* work = static_cast<ProgressWorker*>(malloc(sizeof(ProgressWorker)));
    work->units = units;
    blocks[size_t(i)].startRoutine = AdvanceInSmallSteps;
    blocks[size_t(i)].argument = work;
  }
  return blocks;
}

}  // namespace

TEST_F(ImageEditorProgress, WorkersAdvanceAndTheInterfaceThreadShowsEveryStep) {
  StartImageEditorProgress(4 * 500);
  std::vector<ThreadBlock> blocks = ProgressBlocks(4, 500);
  ASSERT_TRUE(SpawnMultipleThreads(blocks.data(), 4));
  EXPECT_TRUE(WaitForMultipleThreads(blocks.data(), 4, true));
  SleepEx(0, TRUE);
  for (ThreadBlock& block : blocks) DestroyThread(&block);
  EXPECT_EQ(s_OffThreadCalls, 0);
  ASSERT_FALSE(s_Shown.empty());
  EXPECT_EQ(s_Shown.back(), std::make_pair(100, 100));
  EXPECT_EQ(m_Result, 0);
}

TEST_F(ImageEditorProgress, CancelAtTheHostBecomesMinus128AndStopsTheWorkers) {
  s_CancelAtStep = 30;
  StartImageEditorProgress(4 * 2000);
  std::vector<ThreadBlock> blocks = ProgressBlocks(4, 2000);
  ASSERT_TRUE(SpawnMultipleThreads(blocks.data(), 4));
  bool completed = WaitForMultipleThreads(blocks.data(), 4, true);
  if (!completed) {
    EXPECT_TRUE(WaitForMultipleThreads(blocks.data(), 4, false));
  }
  for (ThreadBlock& block : blocks) DestroyThread(&block);
  EXPECT_EQ(m_Result, -128);
  EXPECT_LT(GetImageEditorProgressState().stepsDone, 100) << "workers must stop once cancelled";
}
