// The user data folders and the whole-file reader and writer of the Settings folder.
#include "support/DataFolders.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "support/ErrorReport.h"

class DataFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Root = MakeScratchFolder(L"folders");
    m_Common = m_Root + L"\\common";
    CreateDirectoryW(m_Common.c_str(), nullptr);
    SetDataFolderRoots(m_Root.c_str(), m_Common.c_str());
  }
  void TearDown() override {
    SetDataFolderRoots(nullptr, nullptr);
    RemoveFolderTree(m_Root);
  }
  std::wstring Product() const { return m_Root + L"\\Vellbrook\\HalvornPro3"; }
  std::wstring m_Root;
  std::wstring m_Common;
};

TEST_F(DataFolders, AllFoldersAreCreatedAndOffered) {
  ASSERT_TRUE(MakeUserDataFolder());
  EXPECT_TRUE(IsFileSystemInitialized());
  EXPECT_EQ(std::wstring(GetSettingsFolder()), Product() + L"\\Settings");
  EXPECT_EQ(std::wstring(GetParametersFolder()), Product() + L"\\Parameters\\");
  EXPECT_EQ(std::wstring(GetLogsFolder()), Product() + L"\\Logs");
  EXPECT_EQ(std::wstring(GetCommonFolder()), m_Common + L"\\VellbrookSoftware\\Halvorn Pro 3");
  EXPECT_TRUE(FileExists(Product() + L"\\Parameters"));
  EXPECT_TRUE(FileExists(m_Common + L"\\VellbrookSoftware\\Halvorn Pro 3"));
  // A second load finds them all existing.
  ResetDataFolders();
  EXPECT_TRUE(MakeUserDataFolder());
}

TEST_F(DataFolders, AFolderThatCannotBeMadeLeavesTheOthersAndNoFileAccess) {
  ReportCapture capture;
  CreateDirectoryW((m_Root + L"\\Vellbrook").c_str(), nullptr);
  CreateDirectoryW(Product().c_str(), nullptr);
  WriteWholeFile(Product() + L"\\Logs", "a file where the folder should be");
  EXPECT_FALSE(MakeUserDataFolder());
  EXPECT_FALSE(IsFileSystemInitialized());
  EXPECT_TRUE(FileExists(Product() + L"\\Settings"));
  EXPECT_TRUE(FileExists(Product() + L"\\Parameters"));
  EXPECT_TRUE(capture.HasReport("MakeUserDataFolder() failed with DebugLog Subdirectory = 'Vellbrook\\HalvornPro3\\Logs'"));
  char byte = 1;
  EXPECT_FALSE(WriteSettingsFile(L"UISettings.bin", &byte, 1));
  EXPECT_FALSE(ReadSettingsFile(L"UISettings.bin", &byte, 1));
  EXPECT_EQ(GetSettingsFolder(), nullptr);
}

TEST_F(DataFolders, SettingsFilesRoundTripAndRefuseShortReads) {
  ReportCapture capture;
  ASSERT_TRUE(MakeUserDataFolder());
  const char written[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_TRUE(WriteSettingsFile(L"UISettings.bin", written, sizeof written));
  char read[8] = {};
  ASSERT_TRUE(ReadSettingsFile(L"UISettings.bin", read, sizeof read));
  EXPECT_EQ(memcmp(read, written, sizeof read), 0);
  char tooMuch[9] = {};
  EXPECT_FALSE(ReadSettingsFile(L"UISettings.bin", tooMuch, sizeof tooMuch));
  EXPECT_FALSE(FileExists(Product() + L"\\Settings\\UISettings.bin.tmp"));
}

TEST_F(DataFolders, AMissingFileIsTracedWithItsPath) {
  ReportCapture capture;
  ASSERT_TRUE(MakeUserDataFolder());
  char record[255];
  EXPECT_FALSE(ReadSettingsFile(L"LastSavedParameters.sss", record, sizeof record));
  std::string path;
  for (wchar_t c : Product() + L"\\Settings\\LastSavedParameters.sss") path += char(c);
  EXPECT_TRUE(capture.HasReport("UI settings file '" + path + "' does not yet exist. \n\n"));
}
