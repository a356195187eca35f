// A fixture for tests of the processing modules: a result cell, the buffer manager, the gamma
// tables and, where a test opens them, the colour profiles of a run; all released afterwards.
#pragma once
#include <gtest/gtest.h>

#include "PITypes.h"
#include "color/ColorProfiles.h"
#include "core/BufferManager.h"
#include "core/GammaTables.h"
#include "core/RunResult.h"

class ProcessingFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    gResult = &m_Result;
    InitializeBufferManager();
    ASSERT_TRUE(CreateGammaTableMutex());
  }
  void TearDown() override {
    TerminateColorConversion();
    ReleaseGammaTables();
    TerminateBufferManager();
    gResult = nullptr;
  }
  bool OpenProfilesFor(int32_t imageMode) {
    HostProfileSource source;
    source.imageMode = imageMode;
    return InitializeColorConversion(source);
  }
  int16_t m_Result = 0;
};
