// An analysis that cannot start must end at once with its result, never wait for an event that no
// thread will signal; a thread entry that throws must still signal its waiters.
#include "analysis/LightSourceAnalysis.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "ProcessingFixture.h"
#include "TestSupport.h"
#include "analysis/LightSourceTable.h"
#include "support/FaultInjection.h"
#include "support/SyntheticScene.h"

namespace {

class AnalysisStart : public ProcessingFixture {
 protected:
  void SetUp() override {
    ProcessingFixture::SetUp();
    ASSERT_TRUE(OpenProfilesFor(plugInModeRGBColor));
    Scene scene;
    scene.width = 200;
    scene.height = 120;
    scene.lights.push_back(SceneLight{100, 60, 6});
    ASSERT_TRUE(RenderScene(scene, &m_Image));
  }
  void TearDown() override {
    DisarmFaults();
    ReleaseImage(&m_Image);
    ProcessingFixture::TearDown();
  }
  // Start and stop on a thread of their own, so that a hang fails the test instead of the run.
  bool StartsAndStopsWithin(std::chrono::seconds limit, bool* started) {
    auto finished = std::make_shared<std::promise<bool>>();
    std::future<bool> outcome = finished->get_future();
    std::thread([this, finished] {
      bool ok = StartLightSourceAnalysis(m_Image);
      if (ok) WaitForLightSourceAnalysis(INFINITE);
      StopLightSourceAnalysis();
      finished->set_value(ok);
    }).detach();
    if (outcome.wait_for(limit) != std::future_status::ready) return false;
    *started = outcome.get();
    return true;
  }
  ImageRecord m_Image;
};

}  // namespace

TEST_F(AnalysisStart, AThreadThatCannotStartEndsTheRunWithTheTaskErrorAndClosesTheEvent) {
  ReportCapture capture;
  ArmFault(FAULT_ANALYSIS_THREAD_START);
  bool started = true;
  ASSERT_TRUE(StartsAndStopsWithin(std::chrono::seconds(20), &started)) << "stopping a run that never started hangs";
  EXPECT_FALSE(started);
  EXPECT_EQ(m_Result, -1715);
  EXPECT_TRUE(capture.HasReport("Could not initiate light source table initialization"));
  EXPECT_TRUE(WaitForLightSourceAnalysis(0)) << "no event is left for a reader to wait on";
  EXPECT_EQ(gLightSourceTable.count, 0u);
}

TEST_F(AnalysisStart, AFloodFillMutexThatCannotBeMadeEndsTheRunWithTheTaskError) {
  ReportCapture capture;
  ArmFault(FAULT_FLOOD_FILL_MUTEX);
  bool started = true;
  ASSERT_TRUE(StartsAndStopsWithin(std::chrono::seconds(20), &started));
  EXPECT_FALSE(started);
  EXPECT_EQ(m_Result, -1715);
  EXPECT_TRUE(capture.HasReport("Could not create the data initialization complete event."));
  EXPECT_TRUE(WaitForLightSourceAnalysis(0));
}

TEST_F(AnalysisStart, TheNextRunAfterAFailedStartFindsTheLight) {
  ArmFault(FAULT_ANALYSIS_THREAD_START);
  bool started = true;
  ASSERT_TRUE(StartsAndStopsWithin(std::chrono::seconds(20), &started));
  ASSERT_FALSE(started);
  m_Result = 0;
  ASSERT_TRUE(StartLightSourceAnalysis(m_Image));
  ASSERT_TRUE(WaitForLightSourceAnalysis(20000));
  EXPECT_EQ(m_Result, 0);
  EXPECT_EQ(gLightSourceTable.count, 1u);
  StopLightSourceAnalysis();
}
