// Each test process of the unit tests keeps its data folders (debug logs, settings) in a scratch
// folder of its own. Runs of the plug-in in this process would otherwise rotate the user's real
// logs many times a second, and a test running at the same time in another process, which reads
// the log its reference-host run just wrote there, would find it rotated away.
#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "support/DataFolders.h"
#include "support/LogTestSupport.h"

namespace {

class ProcessDataFolders : public ::testing::Environment {
 public:
  void SetUp() override { m_Root = UseScratchDataFolders(L"process-data"); }
  void TearDown() override {
    SetDataFolderRoots(nullptr, nullptr);
    RemoveFolderTree(m_Root);
  }

 private:
  std::wstring m_Root;
};

const ::testing::Environment* const gProcessDataFolders = ::testing::AddGlobalTestEnvironment(new ProcessDataFolders);

}  // namespace
