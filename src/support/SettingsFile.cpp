// Whole-file reads and writes in the Settings folder ("UISettings.bin", "LastSavedParameters.sss").
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <windows.h>

#include "support/DataFolders.h"
#include "support/ErrorReport.h"
#include "support/TextConversion.h"

namespace {

bool SettingsFilePath(const wchar_t* name, wchar_t* pathOut) {
  if (!IsFileSystemInitialized()) return false;
  int written = _snwprintf_s(pathOut, kMaxDataPath, _TRUNCATE, L"%ls\\%ls", GetSettingsFolder(), name);
  if (written < 0) {
    ErrorReport(__LINE__, RuntimeLibraryError, ERANGE)
        .Report(kStyleError, kTitleUnexpectedError, "_stprintf_s() failed with Filename = '%s' and  errno = '%d'",
                NarrowText(name).c_str(), ERANGE);
    return false;
  }
  return true;
}

}  // namespace

bool ReadSettingsFile(const wchar_t* name, void* buffer, size_t size) {
  wchar_t path[kMaxDataPath];
  if (!SettingsFilePath(name, path)) return false;
  FILE* file = nullptr;
  errno_t opened = _wfopen_s(&file, path, L"rb");
  if (opened != 0 || file == nullptr) {
    if (opened == ENOENT) {
      ErrorReport(__LINE__, TraceMessage).Report("UI settings file '%s' does not yet exist. \n\n", NarrowText(path).c_str());
    } else {
      ErrorReport(__LINE__, RuntimeLibraryError, uint32_t(opened))
          .Report(kStyleError, kTitleUnexpectedError, "fopen() failed to open file '%s' : %s", NarrowText(path).c_str(),
                  strerror(opened));
    }
    return false;
  }
  size_t read = fread(buffer, 1, size, file);
  int readErrno = errno;
  fclose(file);
  if (read != size) {
    ErrorReport(__LINE__, RuntimeLibraryError, uint32_t(readErrno))
        .Report(kStyleError, kTitleUnexpectedError, "fread() failed to read file '%s' : '%s'", NarrowText(path).c_str(),
                read < size ? "file too short" : strerror(readErrno));
    return false;
  }
  return true;
}

// The bytes go to a scratch file first, so that a failed write never leaves a torn settings file.
bool WriteSettingsFile(const wchar_t* name, const void* buffer, size_t size) {
  wchar_t path[kMaxDataPath];
  if (!SettingsFilePath(name, path)) return false;
  std::wstring scratch = std::wstring(path) + L".tmp";
  FILE* file = nullptr;
  errno_t opened = _wfopen_s(&file, scratch.c_str(), L"wb");
  if (opened != 0 || file == nullptr) {
    ErrorReport(__LINE__, RuntimeLibraryError, uint32_t(opened))
        .Report(kStyleError, kTitleUnexpectedError, "_tfopen() failed with FilePath = '%s'  and  errno = '%d'",
                NarrowText(path).c_str(), int(opened));
    return false;
  }
  size_t written = fwrite(buffer, 1, size, file);
  bool closed = fclose(file) == 0;
  if (written != size || !closed || !MoveFileExW(scratch.c_str(), path, MOVEFILE_REPLACE_EXISTING)) {
    int error = errno;
    _wremove(scratch.c_str());
    ErrorReport(__LINE__, RuntimeLibraryError, uint32_t(error))
        .Report(kStyleError, kTitleUnexpectedError, "fwrite() failed to write file '%s' : '%s'",
                NarrowText(path).c_str(), strerror(error));
    return false;
  }
  return true;
}
