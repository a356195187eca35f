// The dialog at every OpenGL drawing setting the options allow, as a user meets it: the setting is
// stored in the machine's key, the reference host opens the dialog, a script waits for the
// preview's frame and presses OK, and the picture is the one a silent run paints. The installer's
// characterisation is followed by a run that logs the drawing settings it chose.
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <string>

#include "FilePixels.h"
#include "MachineSettingsFixture.h"
#include "PngFiles.h"
#include "TestSupport.h"
#include "preview/OpenGLSettings.h"
#include "support/DataFolders.h"
#include "support/LogTestSupport.h"

namespace {

class DrawingSettingsDrive : public MachineSettingsFixture {
 protected:
  DrawingSettingsDrive() : MachineSettingsFixture(L"drawingdrive") {}
  ProcessResult RunHost(const std::wstring& arguments) const { return RunFilterHostWithInitialSettings(arguments); }
  ProcessResult DriveOk(const wchar_t* output) {
    WriteWholeFile(Path(L"ok.drive"), "wait-idle\npress OK\n");
    return RunHost(L"--drive \"" + Path(L"ok.drive") + L"\" --out \"" + Path(output) + L"\"");
  }
  // The newest debug log written since `since` that holds `marker`.
  static std::string LogSince(const FILETIME& since, const char* marker) {
    SetDataFolderRoots(nullptr, nullptr);
    MakeUserDataFolder();
    std::wstring folder = GetLogsFolder();
    ResetDataFolders();
    std::string newest;
    FILETIME newestTime{};
    for (int number = 0; number < 10; ++number) {
      wchar_t name[32];
      swprintf(name, 32, L"\\HalvornPro3_%02d.log", number);
      WIN32_FILE_ATTRIBUTE_DATA attributes{};
      std::wstring path = folder + name;
      if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes)) continue;
      if (CompareFileTime(&attributes.ftLastWriteTime, &since) < 0) continue;
      if (CompareFileTime(&attributes.ftLastWriteTime, &newestTime) < 0) continue;
      std::string text = ReadLogText(path);
      if (text.find(marker) == std::string::npos) continue;
      newest = text;
      newestTime = attributes.ftLastWriteTime;
    }
    return newest;
  }

};


}  // namespace

TEST_F(DrawingSettingsDrive, OkAfterTheFirstFrameWorksAtEverySetting) {
  ProcessResult silent = RunHost(L"--play-info silent --out \"" + Path(L"silent.png") + L"\"");
  ASSERT_EQ(silent.exitCode, 0) << silent.output;
  FilePixels expected;
  ASSERT_TRUE(ReadPngForTest(Path(L"silent.png"), &expected));
  const char* kNames[] = {"", "OPTIMIZE_FOR_QUALITY", "OPTIMIZE_FOR_SPEED", "OPTIMIZE_FOR_COMPATIBILITY", "OPTIMIZE_NONE"};
  for (int setting = 1; setting <= 4; ++setting) {
    SCOPED_TRACE(setting);
    StoreSetting(setting);
    FILETIME start;
    GetSystemTimeAsFileTime(&start);
    ProcessResult driven = DriveOk(L"driven.png");
    ASSERT_EQ(driven.exitCode, 0) << driven.output;
    EXPECT_NE(driven.output.find("drive: wait-idle: ok frame "), std::string::npos) << driven.output;
    FilePixels pixels;
    ASSERT_TRUE(ReadPngForTest(Path(L"driven.png"), &pixels));
    EXPECT_EQ(pixels.samples, expected.samples);
    std::string log = LogSince(start, "OpenGL Options settings:");
    ASSERT_FALSE(log.empty()) << "no run logged its drawing settings";
    EXPECT_NE(log.find(std::string("OpenGL Optimization Setting = ") + kNames[setting]), std::string::npos) << log;
    // Software rendering draws into a bitmap; every other setting on this machine's hardware-style
    // formats draws through a rendering context of the preview.
    EXPECT_NE(log.find(setting == 4 ? "UseOffscreenBitmap = true" : "UseOffscreenBitmap = false"), std::string::npos);
    EXPECT_NE(log.find("Preview frame "), std::string::npos) << "no frame was traced";
    EXPECT_EQ(log.find("forcibly aborted"), std::string::npos);
  }
}

TEST_F(DrawingSettingsDrive, TheRunAfterTheInstallerLogsTheCharacterisationOfItsSetting) {
  StoreSetting(0);
  ProcessResult installer = RunProcess(L"rundll32.exe \"" + BuiltPluginPath() + L"\",InstallConfiguration 3.0.1.0");
  ASSERT_EQ(installer.exitCode, 0) << installer.output;
  OpenGLSettingsRecord installed;
  ASSERT_TRUE(ReadOpenGLRegistryData(&installed));
  ASSERT_GE(installed.m_OpenGLDrawingMode, 1);
  ASSERT_LE(installed.m_OpenGLDrawingMode, 4);
  EXPECT_STREQ(installed.installedProductVersion, "3.0.1.0");
  FILETIME start;
  GetSystemTimeAsFileTime(&start);
  ProcessResult driven = DriveOk(L"driven.png");
  ASSERT_EQ(driven.exitCode, 0) << driven.output;
  std::string log = LogSince(start, "OpenGL Options settings:");
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log.find("Selected Internal Texture Formats:"), std::string::npos) << log;
  const char* kNames[] = {"", "OPTIMIZE_FOR_QUALITY", "OPTIMIZE_FOR_SPEED", "OPTIMIZE_FOR_COMPATIBILITY", "OPTIMIZE_NONE"};
  EXPECT_NE(log.find(std::string("OpenGL Optimization Setting = ") + kNames[installed.m_OpenGLDrawingMode]),
            std::string::npos)
      << log;
  // The installer's setting is kept: the run characterised the machine, it did not choose again.
  OpenGLSettingsRecord after;
  ASSERT_TRUE(ReadOpenGLRegistryData(&after));
  EXPECT_EQ(after.m_OpenGLDrawingMode, installed.m_OpenGLDrawingMode);
}
