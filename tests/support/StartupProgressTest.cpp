// Start-up progress from several threads reaches the dialog as posted steps: every position
// increases, the last one is the whole of the work, and the range is never overrun.
#include <gtest/gtest.h>
#include <windows.h>

#include <thread>
#include <vector>

#include "support/AppMessages.h"
#include "support/StartupProgress.h"

namespace {

// A message-only window that collects the posted progress of the test's own thread.
struct ProgressSink {
  HWND window = nullptr;
  std::vector<std::pair<int, int>> posts;  // position, range

  ProgressSink() {
    window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  }
  ~ProgressSink() { DestroyWindow(window); }
  void Drain() {
    MSG message;
    while (PeekMessageW(&message, window, WM_APP_INIT_PROGRESS, WM_APP_INIT_PROGRESS, PM_REMOVE))
      posts.emplace_back(int(message.wParam), int(message.lParam));
  }
};

TEST(StartupProgress, StepsFromManyThreadsArriveInOrderAndEndAtTheWhole) {
  ProgressSink sink;
  ASSERT_NE(sink.window, nullptr);
  constexpr int kRange = 27;
  constexpr uint64_t kUnitsPerStep = 1000;
  BeginStartupProgress(sink.window, kRange, kUnitsPerStep);
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t)
    workers.emplace_back([] {
      for (int i = 0; i < kRange * 1000 / 4 / 7; ++i) AddStartupProgress(7);
    });
  for (std::thread& worker : workers) worker.join();
  AddStartupProgress(kRange * kUnitsPerStep);  // more than the rest of the work: clamped
  EndStartupProgress();
  AddStartupProgress(kUnitsPerStep);  // after the end: nothing more is reported
  sink.Drain();
  ASSERT_GE(sink.posts.size(), 3u);
  EXPECT_EQ(sink.posts.front(), std::make_pair(0, kRange));
  EXPECT_EQ(sink.posts.back(), std::make_pair(0, 0));
  int last = 0;
  for (size_t i = 1; i + 1 < sink.posts.size(); ++i) {
    EXPECT_GT(sink.posts[i].first, last) << "position went back at post " << i;
    EXPECT_LE(sink.posts[i].first, kRange);
    EXPECT_EQ(sink.posts[i].second, kRange);
    last = sink.posts[i].first;
  }
  EXPECT_EQ(last, kRange);
}

TEST(StartupProgress, UnitsBelowAStepPostNothingAndNoDialogIsNoReport) {
  ProgressSink sink;
  BeginStartupProgress(sink.window, 10, 100);
  AddStartupProgress(99);
  sink.Drain();
  EXPECT_EQ(sink.posts.size(), 1u) << "only the range was posted";
  AddStartupProgress(1);
  sink.Drain();
  ASSERT_EQ(sink.posts.size(), 2u);
  EXPECT_EQ(sink.posts.back(), std::make_pair(1, 10));
  EndStartupProgress();
  BeginStartupProgress(nullptr, 10, 1);
  AddStartupProgress(5);
  EndStartupProgress();
  sink.Drain();
  EXPECT_EQ(sink.posts.back(), std::make_pair(0, 0));
  EXPECT_EQ(sink.posts.size(), 3u);
}

}  // namespace
