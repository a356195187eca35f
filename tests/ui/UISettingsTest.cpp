// "UISettings.bin": the 52 bytes written and read back; a file of another version or size, or
// with values no dialog writes, refused with the defaults in force and written back in its place.
#include <gtest/gtest.h>

#include <cstring>

#include "TestSupport.h"
#include "support/DataFolders.h"
#include "support/LogTestSupport.h"
#include "ui/UISettings.h"

class UISettingsFile : public ::testing::Test {
 protected:
  void SetUp() override { m_Root = UseScratchDataFolders(L"uisettings"); }
  void TearDown() override {
    gUISettings = DefaultUISettings();
    SetDataFolderRoots(nullptr, nullptr);
    RemoveFolderTree(m_Root);
  }
  std::wstring FilePath() const { return std::wstring(GetSettingsFolder()) + L"\\UISettings.bin"; }
  void WriteBytes(const void* bytes, size_t size) {
    WriteWholeFile(FilePath(), std::string(static_cast<const char*>(bytes), size));
  }

  void ExpectDefaultsOnDisk() {
    std::vector<uint8_t> bytes = ReadWholeFile(FilePath());
    ASSERT_EQ(bytes.size(), 52u) << "the refused file is replaced whole";
    UISettings defaults = DefaultUISettings();
    EXPECT_EQ(memcmp(bytes.data(), &defaults, 52), 0);
  }

  std::wstring m_Root;
};

TEST_F(UISettingsFile, DefaultsAreVersionTwelveZoomToolAndPreviewOn) {
  UISettings defaults = DefaultUISettings();
  EXPECT_EQ(defaults.version[0], 0);
  EXPECT_EQ(defaults.version[3], 12);
  EXPECT_EQ(defaults.previewTool, 2);
  EXPECT_EQ(defaults.previewChecked, 1);
  EXPECT_FALSE(DialogRectSaved(defaults));
  EXPECT_EQ(defaults.debugImageZoom, 0);
}

TEST_F(UISettingsFile, RoundTripKeepsEveryFieldInItsPlace) {
  gUISettings = DefaultUISettings();
  gUISettings.dialogRect = RECT{-20, 30, 1100, 900};
  gUISettings.previewTool = 5;
  gUISettings.previewChecked = 0;
  gUISettings.debugImageRect = RECT{1, 2, 3, 4};
  gUISettings.debugImageZoom = 3;
  ASSERT_TRUE(SaveUISettings());
  std::vector<uint8_t> bytes = ReadWholeFile(FilePath());
  ASSERT_EQ(bytes.size(), 52u);
  const uint8_t expectedVersion[8] = {0, 0, 0, 0, 0, 0, 12, 0};
  EXPECT_EQ(memcmp(bytes.data(), expectedVersion, 8), 0);
  int32_t left = 0, tool = 0, zoom = 0;
  memcpy(&left, bytes.data() + 8, 4);
  memcpy(&tool, bytes.data() + 24, 4);
  memcpy(&zoom, bytes.data() + 48, 4);
  EXPECT_EQ(left, -20);
  EXPECT_EQ(tool, 5);
  EXPECT_EQ(zoom, 3);

  gUISettings = DefaultUISettings();
  ASSERT_TRUE(LoadUISettings());
  EXPECT_EQ(gUISettings.dialogRect.bottom, 900);
  EXPECT_EQ(gUISettings.previewTool, 5);
  EXPECT_EQ(gUISettings.previewChecked, 0);
  EXPECT_EQ(gUISettings.debugImageRect.right, 3);
  EXPECT_EQ(gUISettings.debugImageZoom, 3);
}

TEST_F(UISettingsFile, VersionElevenIsIgnoredWithTheMismatchLogged) {
  UISettings older = DefaultUISettings();
  older.version[3] = 11;
  older.dialogRect = RECT{10, 10, 800, 600};
  older.previewTool = 4;
  WriteBytes(&older, sizeof older);
  gUISettings.previewTool = 1;  // whatever was in force is replaced by the defaults
  ReportCapture capture;
  EXPECT_FALSE(LoadUISettings());
  EXPECT_FALSE(DialogRectSaved(gUISettings)) << "the dialog opens centred";
  EXPECT_EQ(gUISettings.previewTool, 2);
  ASSERT_TRUE(capture.HasReport(
      "User Setting File version mismatch.\n\nFile Version = 0.0.0.11, Expected Version = 0.0.0.12.\n\n"
      "Conversion will be performed if possible."));
  EXPECT_EQ(capture.Reports().back().title, "Debug:  Warning");
  EXPECT_TRUE(capture.Boxes().empty());
}


TEST_F(UISettingsFile, AShortFileLeavesTheDefaultsAndIsRewritten) {
  UISettings stored = DefaultUISettings();
  stored.previewTool = 5;
  WriteBytes(&stored, 40);
  ReportCapture capture;
  EXPECT_FALSE(LoadUISettings());
  EXPECT_EQ(gUISettings.previewTool, 2);
  EXPECT_TRUE(capture.HasReportContaining("has 40 bytes instead of 52"));
  ExpectDefaultsOnDisk();
}

TEST_F(UISettingsFile, ALongFileIsRefusedEvenWithAGoodHead) {
  std::string bytes(100, '\0');
  UISettings stored = DefaultUISettings();
  stored.previewTool = 4;
  memcpy(&bytes[0], &stored, sizeof stored);
  WriteWholeFile(FilePath(), bytes);
  EXPECT_FALSE(LoadUISettings());
  EXPECT_EQ(gUISettings.previewTool, 2);
  ExpectDefaultsOnDisk();
}

TEST_F(UISettingsFile, GarbageOfTheRightSizeNeverReachesTheDialog) {
  // The right version but fields no dialog writes: each on its own is enough to refuse the file.
  struct Spoil { void (*apply)(UISettings*); const char* what; };
  const Spoil spoils[] = {
      {[](UISettings* s) { s->previewTool = 77; }, "tool"},
      {[](UISettings* s) { s->previewTool = 0; }, "no tool"},
      {[](UISettings* s) { s->previewChecked = -3; }, "preview"},
      {[](UISettings* s) { s->debugImageZoom = 9; }, "zoom"},
      {[](UISettings* s) { s->dialogRect = RECT{500, 10, 100, 600}; }, "inverted rectangle"},
      {[](UISettings* s) { s->debugImageRect = RECT{0, 0, 0x7FFFFFFF, 10}; }, "huge rectangle"},
  };
  for (const Spoil& spoil : spoils) {
    UISettings stored = DefaultUISettings();
    stored.dialogRect = RECT{10, 10, 800, 600};
    spoil.apply(&stored);
    WriteBytes(&stored, sizeof stored);
    EXPECT_FALSE(LoadUISettings()) << spoil.what;
    EXPECT_FALSE(DialogRectSaved(gUISettings)) << spoil.what;
    ExpectDefaultsOnDisk();
  }
  std::string noise(52, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = char(i * 37 + 11);
  WriteWholeFile(FilePath(), noise);
  EXPECT_FALSE(LoadUISettings());
  ExpectDefaultsOnDisk();
}

TEST_F(UISettingsFile, AnOlderFileIsRewrittenWithTheDefaults) {
  UISettings older = DefaultUISettings();
  older.version[3] = 11;
  older.previewTool = 4;
  WriteBytes(&older, sizeof older);
  EXPECT_FALSE(LoadUISettings());
  ExpectDefaultsOnDisk();
  EXPECT_TRUE(LoadUISettings()) << "the rewritten file is read without complaint next time";
}

TEST_F(UISettingsFile, NoFileLeavesTheDefaults) {
  gUISettings.previewChecked = 0;
  EXPECT_FALSE(LoadUISettings());
  EXPECT_EQ(gUISettings.previewChecked, 1);
}
