// The user data folders, created once per load. Every folder is attempted even after another
// failed; the files that need them are read or written only when all of them exist.
#include "support/DataFolders.h"

#include <windows.h>
#include <shlobj.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "support/ErrorReport.h"
#include "support/TextConversion.h"

namespace {

constexpr size_t kMaxSubPath = 260;

struct DataFolders {
  wchar_t settings[kMaxDataPath] = {};
  wchar_t parameters[kMaxDataPath] = {};
  wchar_t logs[kMaxDataPath] = {};
  wchar_t common[kMaxDataPath] = {};
  bool initialized = false;
  std::wstring localRoot;   // empty: the shell's folders
  std::wstring commonRoot;
};
DataFolders gFolders;

bool GetShellFolder(int csidl, const std::wstring& overrideRoot, wchar_t* pathOut) {
  if (!overrideRoot.empty()) {
    if (overrideRoot.size() >= kMaxDataPath) return false;
    wcscpy_s(pathOut, kMaxDataPath, overrideRoot.c_str());
    return true;
  }
  wchar_t folder[MAX_PATH] = {};
  HRESULT result = SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder);
  if (FAILED(result)) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError,
                "SHGetFolderPath failed with GetFolderResult = '%X' and  Last Error = '%X'", unsigned(result),
                unsigned(GetLastError()));
    return false;
  }
  errno_t copied = wcscpy_s(pathOut, kMaxDataPath, folder);
  if (copied != 0) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "_tcscpy_s() failed with UserDirPath = '%s' and  CpyResult = '%d'",
                NarrowText(folder).c_str(), int(copied));
    return false;
  }
  return true;
}

// An existing file of the folder's name is no folder: files written "into" it would fail later.
bool CreateWholePath(const wchar_t* path) {
  int result = SHCreateDirectoryExW(nullptr, path, nullptr);
  DWORD lastError = GetLastError();
  if (result == ERROR_SUCCESS || result == ERROR_FILE_EXISTS || result == ERROR_ALREADY_EXISTS) {
    DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "SHCreateDirectoryEx failed.  Result = '%X' and Last Error = '%X'",
                unsigned(result), unsigned(ERROR_DIRECTORY));
    return false;
  }
  const char* format = (result == ERROR_PATH_NOT_FOUND || result == ERROR_BAD_PATHNAME ||
                        result == ERROR_FILENAME_EXCED_RANGE || result == ERROR_CANCELLED)
                           ? "SHCreateDirectoryEx failed.  Result = '%X' and Last Error = '%X'"
                           : "SHCreateDirectoryEx failed with unexpected Result = '%X' and Last Error = '%X'";
  ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, format, unsigned(result), unsigned(lastError));
  return false;
}

bool JoinPath(const wchar_t* root, const wchar_t* subPath, wchar_t* pathOut) {
  int written = _snwprintf_s(pathOut, kMaxDataPath, _TRUNCATE, L"%ls\\%ls", root, subPath);
  if (written < 0 || wcslen(subPath) >= kMaxSubPath) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "_stprintf_s() failed with RootDirPath = '%s' and  errno = '%d'",
                NarrowText(root).c_str(), ERANGE);
    pathOut[0] = 0;
    return false;
  }
  return true;
}

bool MakeOneFolder(const wchar_t* subPath, wchar_t* folderOut, const char* failureFormat) {
  wchar_t path[kMaxDataPath];
  if (GetUserDataFolder(subPath, path) && CreateWholePath(path)) {
    wcscpy_s(folderOut, kMaxDataPath, path);
    return true;
  }
  ErrorReport(__LINE__, DebugMessage)
      .Report(kStyleError, kTitleUnexpectedError, failureFormat, NarrowText(subPath).c_str());
  return false;
}

}  // namespace

void SetDataFolderRoots(const wchar_t* localRoot, const wchar_t* commonRoot) {
  gFolders.localRoot = localRoot != nullptr ? localRoot : L"";
  gFolders.commonRoot = commonRoot != nullptr ? commonRoot : L"";
  ResetDataFolders();
}

void ResetDataFolders() {
  gFolders.settings[0] = gFolders.parameters[0] = gFolders.logs[0] = gFolders.common[0] = 0;
  gFolders.initialized = false;
}

bool GetUserDataFolder(const wchar_t* subPath, wchar_t* pathOut) {
  wchar_t root[kMaxDataPath];
  if (!GetShellFolder(CSIDL_LOCAL_APPDATA, gFolders.localRoot, root) || !JoinPath(root, subPath, pathOut)) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "GetUserDataFolder() failed.");
    pathOut[0] = 0;
    return false;
  }
  return true;
}

bool GetCommonDataFolder() {
  wchar_t root[kMaxDataPath];
  wchar_t maker[kMaxDataPath];
  wchar_t product[kMaxDataPath];
  bool made = GetShellFolder(CSIDL_COMMON_APPDATA, gFolders.commonRoot, root) &&
              JoinPath(root, L"VellbrookSoftware", maker) && JoinPath(maker, L"Halvorn Pro 3", product) &&
              CreateWholePath(product);
  if (!made) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "GetCommonDataFolder() failed to initialize the common data directory.");
    return false;
  }
  wcscpy_s(gFolders.common, kMaxDataPath, product);
  return true;
}

bool MakeUserDataFolder() {
  bool settings = MakeOneFolder(L"Vellbrook\\HalvornPro3\\Settings", gFolders.settings,
                                "MakeUserDataFolder() failed with Settings Subdirectory = '%s'");
  bool parameters = MakeOneFolder(L"Vellbrook\\HalvornPro3\\Parameters\\", gFolders.parameters,
                                  "MakeUserDataFolder() failed with Parameters Subdirectory = '%s'");
  bool logs = MakeOneFolder(L"Vellbrook\\HalvornPro3\\Logs", gFolders.logs,
                            "MakeUserDataFolder() failed with DebugLog Subdirectory = '%s'");
  bool common = GetCommonDataFolder();
  gFolders.initialized = settings && parameters && logs && common;
  return gFolders.initialized;
}

bool IsFileSystemInitialized() { return gFolders.initialized; }
const wchar_t* GetSettingsFolder() { return gFolders.initialized ? gFolders.settings : nullptr; }
const wchar_t* GetParametersFolder() { return gFolders.initialized ? gFolders.parameters : nullptr; }
const wchar_t* GetLogsFolder() { return gFolders.initialized ? gFolders.logs : nullptr; }
const wchar_t* GetCommonFolder() { return gFolders.initialized ? gFolders.common : nullptr; }
