// The machine's OpenGL setting in the registry: a new key, the round trip, values of the wrong
// kind or size, and the loading at plug-in start. Each test uses a key of its own.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "TestSupport.h"
#include "preview/OpenGLSettings.h"

namespace {

class OpenGLRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Key = L"Software\\Vellbrook Software\\HalvornPro\\Tests\\OpenGLSettings-" + std::to_wstring(GetCurrentProcessId());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_Key.c_str());
    SetOpenGLSettingsKeyForTests(m_Key.c_str());
  }
  void TearDown() override {
    SetOpenGLSettingsKeyForTests(nullptr);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_Key.c_str());
    gOpenGLSettings = OpenGLSettingsRecord{};
  }
  void SetRaw(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_Key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
  }
  void SetSetting(DWORD value) { SetRaw("OpenGLOptimizationSetting", REG_DWORD, &value, sizeof value); }
  bool KeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, m_Key.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }
  std::wstring m_Key;
};

}  // namespace

TEST_F(OpenGLRegistryTest, MachineKeyIsTheProductsOwn) {
  EXPECT_STREQ(kOpenGLSettingsKey, L"Software\\Vellbrook Software\\HalvornPro\\3.0\\OpenGLSettings");
}

TEST_F(OpenGLRegistryTest, NewKeyGivesUnsetSettingAndEmptyVersion) {
  OpenGLSettingsRecord settings;
  settings.m_OpenGLDrawingMode = 3;
  snprintf(settings.installedProductVersion, sizeof settings.installedProductVersion, "stale");
  ReportCapture capture;
  ASSERT_TRUE(ReadOpenGLRegistryData(&settings));
  EXPECT_EQ(settings.m_OpenGLDrawingMode, OPTIMIZE_UNSET);
  EXPECT_EQ(settings.storedDrawingMode, OPTIMIZE_UNSET);
  EXPECT_STREQ(settings.installedProductVersion, "");
  EXPECT_TRUE(KeyExists());
  EXPECT_TRUE(capture.Reports().empty());
}

TEST_F(OpenGLRegistryTest, WrittenSettingAndVersionReadBack) {
  OpenGLSettingsRecord written;
  written.m_OpenGLDrawingMode = OPTIMIZE_FOR_COMPATIBILITY;
  snprintf(written.installedProductVersion, sizeof written.installedProductVersion, "3.0.1.0");
  ASSERT_TRUE(WriteOpenGLRegistryData(&written));
  EXPECT_EQ(written.storedDrawingMode, OPTIMIZE_FOR_COMPATIBILITY);
  OpenGLSettingsRecord read;
  ASSERT_TRUE(ReadOpenGLRegistryData(&read));
  EXPECT_EQ(read.m_OpenGLDrawingMode, OPTIMIZE_FOR_COMPATIBILITY);
  EXPECT_EQ(read.storedDrawingMode, OPTIMIZE_FOR_COMPATIBILITY);
  EXPECT_STREQ(read.installedProductVersion, "3.0.1.0");
  // The version is stored with its terminating zero.
  char raw[32] = {};
  DWORD size = sizeof raw, type = 0;
  EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, std::string(m_Key.begin(), m_Key.end()).c_str(), "InstalledProductVersion",
                         RRF_RT_ANY, &type, raw, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, DWORD(REG_SZ));
  EXPECT_EQ(size, DWORD(sizeof "3.0.1.0"));
}

TEST_F(OpenGLRegistryTest, MissingValuesInExistingKeyReadAsUnset) {
  SetRaw("Other", REG_DWORD, "\1\0\0\0", 4);
  OpenGLSettingsRecord settings;
  settings.m_OpenGLDrawingMode = 2;
  ASSERT_TRUE(ReadOpenGLRegistryData(&settings));
  EXPECT_EQ(settings.m_OpenGLDrawingMode, OPTIMIZE_UNSET);
  EXPECT_STREQ(settings.installedProductVersion, "");
}

TEST_F(OpenGLRegistryTest, SettingOfAnotherTypeReadsAsUnset) {
  SetRaw("OpenGLOptimizationSetting", REG_SZ, "2", 2);
  OpenGLSettingsRecord settings;
  ASSERT_TRUE(ReadOpenGLRegistryData(&settings));
  EXPECT_EQ(settings.m_OpenGLDrawingMode, OPTIMIZE_UNSET);
}

TEST_F(OpenGLRegistryTest, UnterminatedVersionIsTerminated) {
  SetSetting(2);
  SetRaw("InstalledProductVersion", REG_SZ, "3.0.1.0XXXX", 7);
  OpenGLSettingsRecord settings;
  std::memset(settings.installedProductVersion, 'Z', sizeof settings.installedProductVersion);
  ASSERT_TRUE(ReadOpenGLRegistryData(&settings));
  EXPECT_STREQ(settings.installedProductVersion, "3.0.1.0");
  EXPECT_EQ(settings.m_OpenGLDrawingMode, 2);
}

TEST_F(OpenGLRegistryTest, OverlongVersionIsReportedAndLeftEmpty) {
  std::string version(3000, '7');
  SetSetting(1);
  SetRaw("InstalledProductVersion", REG_SZ, version.c_str(), DWORD(version.size() + 1));
  OpenGLSettingsRecord settings;
  ReportCapture capture;
  EXPECT_FALSE(ReadOpenGLRegistryData(&settings));
  EXPECT_TRUE(capture.HasReport("Could not read the product version registry key. Error = 234"));
  EXPECT_STREQ(settings.installedProductVersion, "");
  EXPECT_EQ(settings.m_OpenGLDrawingMode, 1);
}

TEST_F(OpenGLRegistryTest, LongestVersionSurvivesTheRoundTrip) {
  OpenGLSettingsRecord written;
  written.m_OpenGLDrawingMode = 4;
  std::memset(written.installedProductVersion, 'v', sizeof written.installedProductVersion);  // no terminator
  ASSERT_TRUE(WriteOpenGLRegistryData(&written));
  OpenGLSettingsRecord read;
  ASSERT_TRUE(ReadOpenGLRegistryData(&read));
  EXPECT_EQ(std::string(read.installedProductVersion), std::string(sizeof read.installedProductVersion - 1, 'v'));
}

TEST_F(OpenGLRegistryTest, LoadingKeepsValidSettingsAndUnsetsOthers) {
  SetSetting(OPTIMIZE_FOR_SPEED);
  EXPECT_TRUE(LoadOpenGLDrawingSettings());
  EXPECT_EQ(gOpenGLSettings.m_OpenGLDrawingMode, OPTIMIZE_FOR_SPEED);
  SetSetting(9);
  EXPECT_TRUE(LoadOpenGLDrawingSettings());
  EXPECT_EQ(gOpenGLSettings.m_OpenGLDrawingMode, OPTIMIZE_UNSET);
  SetSetting(DWORD(-2));
  EXPECT_TRUE(LoadOpenGLDrawingSettings());
  EXPECT_EQ(gOpenGLSettings.m_OpenGLDrawingMode, OPTIMIZE_UNSET);
}

TEST_F(OpenGLRegistryTest, LoadingFailureUnsetsTheSetting) {
  // A key path that cannot be created: a value of the parent is not a key.
  SetSetting(2);
  std::wstring underValue = m_Key + L"\\OpenGLOptimizationSetting\\" + std::wstring(300, L'k');
  SetOpenGLSettingsKeyForTests(underValue.c_str());
  gOpenGLSettings.m_OpenGLDrawingMode = OPTIMIZE_FOR_SPEED;
  ReportCapture capture;
  EXPECT_FALSE(LoadOpenGLDrawingSettings());
  EXPECT_EQ(gOpenGLSettings.m_OpenGLDrawingMode, OPTIMIZE_UNSET);
  EXPECT_TRUE(capture.HasReportContaining("Could not open or create the OpenGL settings registry key. Error = "));
  EXPECT_TRUE(capture.HasReport("LoadOpenGLDrawingSettings() - Could not read user's preference for OpenGL quality vs. speed"));
  SetOpenGLSettingsKeyForTests(m_Key.c_str());
}
