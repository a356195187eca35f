// Dialog runs at a chosen OpenGL drawing setting: the machine's setting saved before the test and
// put back after it, a scratch folder for the run's files.
#pragma once
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <cstdio>
#include <string>

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
