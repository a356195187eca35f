// The installer's entry run as the installer runs it, in a process of its own through rundll32:
// it stores a valid setting and the version in the machine's key and writes the installation log.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "TestSupport.h"
#include "host/InstallConfiguration.h"
#include "preview/OpenGLSettings.h"
#include "support/DataFolders.h"
#include "support/LogTestSupport.h"

namespace {

struct InstallCase {
  int stored;
  bool accelerated;
  int machineDefault;
  int expected;
};

class InstallationSettingTest : public ::testing::TestWithParam<InstallCase> {};

TEST_P(InstallationSettingTest, KeepsValidSettingsAndReplacesOthers) {
  const InstallCase& c = GetParam();
  EXPECT_EQ(InstallationSetting(c.stored, c.accelerated, c.machineDefault), c.expected) << c.stored;
}

INSTANTIATE_TEST_SUITE_P(Stored, InstallationSettingTest,
                         ::testing::Values(InstallCase{0, true, 1, 1}, InstallCase{-1, true, 3, 3},
                                           InstallCase{5, true, 2, 2}, InstallCase{0, false, 4, 4},
                                           InstallCase{1, true, 3, 1}, InstallCase{2, true, 1, 2},
                                           InstallCase{3, true, 1, 3}, InstallCase{2, false, 4, 4},
                                           InstallCase{3, false, 4, 4}, InstallCase{4, true, 1, 4}));

// The machine's key, kept as it was before the test and put back after it.
class InstallConfigurationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetOpenGLSettingsKeyForTests(nullptr);
    m_HadSettings = ReadOpenGLRegistryData(&m_Saved);
    GetSystemTimeAsFileTime(&m_Start);
  }
  void TearDown() override {
    if (m_HadSettings) WriteOpenGLRegistryData(&m_Saved);
    gOpenGLSettings = OpenGLSettingsRecord{};
  }
  void StoreSetting(int setting) {
    OpenGLSettingsRecord settings;
    settings.m_OpenGLDrawingMode = setting;
    snprintf(settings.installedProductVersion, sizeof settings.installedProductVersion, "old");
    ASSERT_TRUE(WriteOpenGLRegistryData(&settings));
  }
  ProcessResult RunInstaller(const std::wstring& version) {
    return RunProcess(L"rundll32.exe \"" + BuiltPluginPath() + L"\",InstallConfiguration " + version);
  }
  // The text of the newest installation log written since the test began, in the user's own
  // data folder where the installer writes it.
  std::string InstallationLog() {
    SetDataFolderRoots(nullptr, nullptr);
    MakeUserDataFolder();
    std::wstring folder = GetLogsFolder();
    ResetDataFolders();
    for (int number = 0; number < 10; ++number) {
      wchar_t name[32];
      swprintf(name, 32, L"\\HalvornPro3_%02d.log", number);
      WIN32_FILE_ATTRIBUTE_DATA attributes{};
      std::wstring path = folder + name;
      if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes)) continue;
      if (CompareFileTime(&attributes.ftLastWriteTime, &m_Start) < 0) continue;
      std::string text = ReadLogText(path);
      if (text.find("Installation Log opened") != std::string::npos) return text;
    }
    return std::string();
  }

  bool m_HadSettings = false;
  OpenGLSettingsRecord m_Saved;
  FILETIME m_Start{};
};

}  // namespace

TEST_F(InstallConfigurationTest, OutOfRangeSettingIsCharacterisedAndVersionStored) {
  StoreSetting(9);
  ProcessResult run = RunInstaller(L"3.0.1.0");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  OpenGLSettingsRecord stored;
  ASSERT_TRUE(ReadOpenGLRegistryData(&stored));
  EXPECT_GE(stored.m_OpenGLDrawingMode, OPTIMIZE_FOR_QUALITY);
  EXPECT_LE(stored.m_OpenGLDrawingMode, OPTIMIZE_NONE);
  EXPECT_EQ(stored.m_OpenGLDrawingMode, OPTIMIZE_FOR_QUALITY) << "an accelerated OpenGL 4.5 driver";
  EXPECT_STREQ(stored.installedProductVersion, "3.0.1.0");

  std::string log = InstallationLog();
  ASSERT_FALSE(log.empty()) << "no installation log";
  size_t begin = log.find("Beginning Installation Configuration");
  size_t read = log.find("Settings.ReadOpenGLRegistryData()");
  size_t create = log.find("CreateHiddenOpenGLContext()");
  size_t destroy = log.find("DestroyHiddenOpenGLContext()");
  ASSERT_NE(begin, std::string::npos) << log;
  EXPECT_LT(begin, read);
  EXPECT_LT(read, create);
  ASSERT_NE(destroy, std::string::npos) << log;
  EXPECT_LT(create, destroy);
  EXPECT_NE(log.find("OpenGL Implementation for Rendering Context"), std::string::npos);
  EXPECT_EQ(log.find("Unexpected Error"), std::string::npos) << log;
}

TEST_F(InstallConfigurationTest, ChosenSettingIsKeptOnAcceleratedMachine) {
  for (int setting : {int(OPTIMIZE_FOR_SPEED), int(OPTIMIZE_NONE)}) {
    StoreSetting(setting);
    ProcessResult run = RunInstaller(L" \"3.0.2.0\" ");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    OpenGLSettingsRecord stored;
    ASSERT_TRUE(ReadOpenGLRegistryData(&stored));
    EXPECT_EQ(stored.m_OpenGLDrawingMode, setting);
    EXPECT_STREQ(stored.installedProductVersion, "3.0.2.0");
  }
}
