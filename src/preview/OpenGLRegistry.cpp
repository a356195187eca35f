// The machine's OpenGL drawing setting and installed product version in the registry: read at
// every plug-in start, written by the first preview, the options dialog and the installer.
#include <cstring>
#include <string>

#include "preview/OpenGLSettings.h"
#include "support/ErrorReport.h"

OpenGLSettingsRecord gOpenGLSettings;

const wchar_t kOpenGLSettingsKey[] = L"Software\\Vellbrook Software\\HalvornPro\\3.0\\OpenGLSettings";

namespace {

const wchar_t* gSettingsKey = kOpenGLSettingsKey;
constexpr char kSettingValue[] = "OpenGLOptimizationSetting";
constexpr char kVersionValue[] = "InstalledProductVersion";

void ReportRegistryFailure(int line, LONG error, const char* format) {
  ErrorReport(uint32_t(line), SystemError, uint32_t(error)).Report(kStyleError, kTitleUnexpectedError, format, int(error));
}

// A missing value reads as 0; a value of another type or size is treated as missing too, since
// it cannot be a setting this library wrote.
bool ReadSettingValue(HKEY key, int32_t* setting) {
  DWORD type = 0, value = 0, size = sizeof value;
  LONG error = RegQueryValueExA(key, kSettingValue, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  if (error == ERROR_FILE_NOT_FOUND || (error == ERROR_SUCCESS && (type != REG_DWORD || size != sizeof value))) {
    *setting = OPTIMIZE_UNSET;
    return true;
  }
  if (error != ERROR_SUCCESS) {
    ReportRegistryFailure(__LINE__, error, "Could not read the m_OpenGLDrawingMode registry key. Error = %d");
    return false;
  }
  *setting = int32_t(value);
  return true;
}

// The stored text need not end with a zero: the record's copy always does.
bool ReadVersionValue(HKEY key, char* version, DWORD capacity) {
  DWORD type = 0, size = capacity;
  std::memset(version, 0, capacity);
  LONG error = RegQueryValueExA(key, kVersionValue, nullptr, &type, reinterpret_cast<BYTE*>(version), &size);
  version[capacity - 1] = '\0';
  if (error == ERROR_FILE_NOT_FOUND || (error == ERROR_SUCCESS && type != REG_SZ)) {
    std::memset(version, 0, capacity);
    return true;
  }
  if (error != ERROR_SUCCESS) {
    std::memset(version, 0, capacity);
    ReportRegistryFailure(__LINE__, error, "Could not read the product version registry key. Error = %d");
    return false;
  }
  return true;
}

}  // namespace

void SetOpenGLSettingsKeyForTests(const wchar_t* subKey) { gSettingsKey = subKey != nullptr ? subKey : kOpenGLSettingsKey; }

bool ReadOpenGLRegistryData(OpenGLSettingsRecord* settings) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  LONG error = RegCreateKeyExW(HKEY_LOCAL_MACHINE, gSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                               nullptr, &key, &disposition);
  if (error != ERROR_SUCCESS) {
    ReportRegistryFailure(__LINE__, error, "Could not open or create the OpenGL settings registry key. Error = %d.");
    return false;
  }
  bool ok = true;
  if (disposition == REG_CREATED_NEW_KEY) {
    settings->m_OpenGLDrawingMode = OPTIMIZE_UNSET;
    std::memset(settings->installedProductVersion, 0, sizeof settings->installedProductVersion);
  } else {
    ok = ReadSettingValue(key, &settings->m_OpenGLDrawingMode);
    ok = ReadVersionValue(key, settings->installedProductVersion, sizeof settings->installedProductVersion) && ok;
  }
  settings->storedDrawingMode = settings->m_OpenGLDrawingMode;
  error = RegCloseKey(key);
  if (error != ERROR_SUCCESS) {
    ReportRegistryFailure(__LINE__, error, "Could not close the OpenGL settings registry key. Error = %d.");
    ok = false;
  }
  return ok;
}

bool WriteOpenGLRegistryData(OpenGLSettingsRecord* settings) {
  HKEY key = nullptr;
  LONG error = RegCreateKeyExW(HKEY_LOCAL_MACHINE, gSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                               nullptr, &key, nullptr);
  if (error != ERROR_SUCCESS) {
    ErrorReport(__LINE__, SystemError, uint32_t(error))
        .Report(kStyleError, kTitleUnexpectedError, "Could not open the OpenGL Settings registry key");
    return false;
  }
  bool ok = true;
  DWORD setting = DWORD(settings->m_OpenGLDrawingMode);
  error = RegSetValueExA(key, kSettingValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&setting), sizeof setting);
  if (error == ERROR_SUCCESS) {
    settings->storedDrawingMode = settings->m_OpenGLDrawingMode;
  } else {
    ErrorReport(__LINE__, SystemError, uint32_t(error))
        .Report(kStyleError, kTitleUnexpectedError, "Could not write m_OpenGLDrawingMode value.");
    ok = false;
  }
  const char* version = settings->installedProductVersion;
  DWORD length = DWORD(strnlen(version, sizeof settings->installedProductVersion - 1));
  std::string terminated(version, length);
  error = RegSetValueExA(key, kVersionValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(terminated.c_str()), length + 1);
  if (error != ERROR_SUCCESS) {
    ErrorReport(__LINE__, SystemError, uint32_t(error))
        .Report(kStyleError, kTitleUnexpectedError, "Could not write the Installed Product Version value.");
    ok = false;
  }
  error = RegCloseKey(key);
  if (error != ERROR_SUCCESS) {
    ErrorReport(__LINE__, SystemError, uint32_t(error))
        .Report(kStyleError, kTitleUnexpectedError, "Could not close the OpenGL Settings registry key");
    ok = false;
  }
  return ok;
}

// A stored value outside 0 to 4 was not written by this library: it is treated as not yet
// characterised, so that the first preview chooses and stores a valid one.
bool LoadOpenGLDrawingSettings() {
  if (!ReadOpenGLRegistryData(&gOpenGLSettings)) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError,
                "LoadOpenGLDrawingSettings() - Could not read user's preference for OpenGL quality vs. speed");
    gOpenGLSettings.m_OpenGLDrawingMode = OPTIMIZE_UNSET;
    return false;
  }
  if (gOpenGLSettings.m_OpenGLDrawingMode < OPTIMIZE_UNSET || gOpenGLSettings.m_OpenGLDrawingMode > OPTIMIZE_NONE) {
    gOpenGLSettings.m_OpenGLDrawingMode = OPTIMIZE_UNSET;
  }
  return true;
}
