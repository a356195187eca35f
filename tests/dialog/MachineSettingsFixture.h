// Dialog runs at a chosen OpenGL drawing setting: the machine's setting saved before the test and
// put back after it, a scratch folder for the run's files, and the reference host driven over the
// folder's document.
#pragma once
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FilePixels.h"
#include "PngFiles.h"
#include "TestSupport.h"
#include "preview/OpenGLSettings.h"

class MachineSettingsFixture : public ::testing::Test {
 protected:
  explicit MachineSettingsFixture(const wchar_t* folderName) : m_FolderName(folderName) {}
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    SetOpenGLSettingsKeyForTests(nullptr);
    m_HadSettings = ReadOpenGLRegistryData(&m_Saved);
    m_Folder = MakeScratchFolder(m_FolderName);
  }
  void TearDown() override {
    if (m_HadSettings) WriteOpenGLRegistryData(&m_Saved);
    gOpenGLSettings = OpenGLSettingsRecord{};
    RemoveFolderTree(m_Folder);
    CoUninitialize();
  }
  std::wstring Path(const wchar_t* name) const { return m_Folder + L"\\" + name; }
  std::string NarrowPath(const wchar_t* name) const {
    std::wstring wide = Path(name);
    return std::string(wide.begin(), wide.end());
  }
  // The reference host over "document.png" with the initial settings, driven by `script`; the
  // image after OK goes to "out.png". `extra` is more of the host's command line.
  ProcessResult Drive(const std::string& script, const std::wstring& extra = L"") {
    WriteWholeFile(Path(L"script.drive"), script);
    return RunProcess(L"\"" + BuiltFilterHostPath() + L"\" \"" + BuiltPluginPath() + L"\" --play \"" + ExamplesPath() +
                      L"\\default-settings.txt\" --in \"" + Path(L"document.png") + L"\" --out \"" + Path(L"out.png") +
                      L"\" --drive \"" + Path(L"script.drive") + L"\"" + extra);
  }
  // "document.png": an even gray of `background` with 3 x 3 white highlights centred on the lights.
  void WriteHighlightsDocument(int width, int height, int background, const std::vector<POINT>& lights) {
    FilePixels document;
    std::string error;
    ASSERT_TRUE(AllocateFilePixels(width, height, 3, 8, &document, &error)) << error;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        bool light = false;
        for (const POINT& l : lights) light = light || (std::abs(x - l.x) <= 1 && std::abs(y - l.y) <= 1);
        for (int c = 0; c < 3; ++c) document.Row(y)[x * 3 + c] = uint8_t(light ? 255 : background);
      }
    }
    ASSERT_TRUE(WritePngFile(Path(L"document.png"), document, {}, 1, &error)) << error;
  }
  void StoreSetting(int setting) {
    OpenGLSettingsRecord settings;
    settings.m_OpenGLDrawingMode = setting;
    snprintf(settings.installedProductVersion, sizeof settings.installedProductVersion, "3.0.1.0");
    ASSERT_TRUE(WriteOpenGLRegistryData(&settings));
  }

  const wchar_t* m_FolderName;
  bool m_HadSettings = false;
  OpenGLSettingsRecord m_Saved;
  std::wstring m_Folder;
};
