// Rotation of the debug logs: HalvornPro3_00.log is the newest; the logs of the last ten runs
// remain, and anything else matching the pattern is deleted. Two hosts (or two runs of one host)
// may start the filter at the same moment: the listing, the renames and the creation of the new
// log happen under one named mutex, so that neither renames a file the other has just moved.
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "support/DataFolders.h"
#include "support/DebugLog.h"
#include "support/ErrorReport.h"
#include "support/Locks.h"
#include "support/TextConversion.h"

namespace {

constexpr wchar_t kLogBaseName[] = L"HalvornPro3";
constexpr wchar_t kLogExtension[] = L"log";

constexpr wchar_t kRotationMutexName[] = L"Local\\HalvornPro3.DebugLogRotation";
// A run that cannot have the lock in this time (another process stopped while holding it) rotates
// without it rather than starting without a log.
constexpr DWORD kRotationWaitMilliseconds = 10000;

struct KeptLog {
  std::wstring name;
  unsigned number;
};

// Failures are reported after the mutex is released: a report may show a message box, and another
// process must not wait for the user to close it.
struct RotationFailure {
  uint32_t line;
  int error;
  std::string text;
};
using RotationFailures = std::vector<RotationFailure>;

// Single-digit names ("_1.log") match the pattern too; they are kept with their number unless a
// two-digit name already holds it.
bool ClassifyLogName(const wchar_t* name, unsigned* number) {
  const wchar_t* underscore = wcsrchr(name, L'_');
  if (underscore == nullptr) return false;
  wchar_t* end = nullptr;
  unsigned long value = wcstoul(underscore + 1, &end, 10);
  if (end == underscore + 1 || *end != L'.' || value >= 9) return false;
  *number = unsigned(value);
  return true;
}

std::wstring LogPath(const wchar_t* folder, const std::wstring& name) { return std::wstring(folder) + L"\\" + name; }

std::wstring NumberedLogPath(const wchar_t* folder, unsigned number) {
  wchar_t path[kMaxDataPath];
  _snwprintf_s(path, kMaxDataPath, _TRUNCATE, L"%ls\\%ls_%02u.%ls", folder, kLogBaseName, number, kLogExtension);
  return path;
}

bool DeleteLog(const std::wstring& path, RotationFailures* failures) {
  if (_wremove(path.c_str()) == 0) return true;
  int error = errno;
  char text[2 * kMaxDataPath];
  snprintf(text, sizeof text, "_tremove() failed with error = '%d'. File to be deleted was '%s'", error,
           NarrowText(path.c_str()).c_str());
  failures->push_back({__LINE__, error, text});
  return false;
}

// Windows lets "_??.log" match one or two characters; file systems differ in how they honour
// that, so the listing takes every "_*.log" and keeps the one- and two-character names itself.
bool MatchesRotationPattern(const wchar_t* name) {
  size_t base = wcslen(kLogBaseName);
  size_t length = wcslen(name);
  if (length < base + 6 || _wcsnicmp(name, kLogBaseName, base) != 0 || name[base] != L'_') return false;
  if (_wcsicmp(name + length - 4, L".log") != 0) return false;
  size_t suffix = length - 4 - (base + 1);
  return suffix == 1 || suffix == 2;
}

bool ListLogs(const wchar_t* folder, std::vector<KeptLog>* kept, RotationFailures* failures) {
  wchar_t pattern[kMaxDataPath];
  _snwprintf_s(pattern, kMaxDataPath, _TRUNCATE, L"%ls\\%ls_*.%ls", folder, kLogBaseName, kLogExtension);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern, &found);
  bool deletedAll = true;
  if (search == INVALID_HANDLE_VALUE) return true;
  do {
    unsigned number = 0;
    if (!MatchesRotationPattern(found.cFileName)) continue;
    if (ClassifyLogName(found.cFileName, &number)) kept->push_back({found.cFileName, number});
    else deletedAll = DeleteLog(LogPath(folder, found.cFileName), failures) && deletedAll;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return deletedAll;
}

// Moves every kept log one number up, the oldest out, and answers the path of the new log.
bool RotateLogs(const wchar_t* logs, wchar_t* pathOut, RotationFailures* failures) {
  std::vector<KeptLog> kept;
  bool rotated = ListLogs(logs, &kept, failures);
  // Highest number first, so that every rename goes to a free name; the listing order of the file
  // system is not to be trusted for that.
  std::sort(kept.begin(), kept.end(), [](const KeptLog& a, const KeptLog& b) {
    return a.number != b.number ? a.number > b.number : a.name.size() > b.name.size();
  });
  for (size_t i = 0; i < kept.size(); ++i) {
    std::wstring from = LogPath(logs, kept[i].name);
    if (i + 1 < kept.size() && kept[i + 1].number == kept[i].number) {
      rotated = DeleteLog(LogPath(logs, kept[i + 1].name), failures) && rotated;
      kept.erase(kept.begin() + long(i) + 1);
    }
    std::wstring to = NumberedLogPath(logs, kept[i].number + 1);
    if (_wrename(from.c_str(), to.c_str()) != 0) {
      int error = errno;
      char text[3 * kMaxDataPath];
      snprintf(text, sizeof text, "_trename() failed with error = '%d'. Original Name was '%s', New Name is '%s'",
               error, NarrowText(from.c_str()).c_str(), NarrowText(to.c_str()).c_str());
      failures->push_back({__LINE__, error, text});
      return false;
    }
  }
  if (!rotated) return false;
  wcscpy_s(pathOut, kMaxDataPath, NumberedLogPath(logs, 0).c_str());
  return true;
}

void ReportRotationFailures(const RotationFailures& failures) {
  for (const RotationFailure& failure : failures) {
    ErrorReport(failure.line, RuntimeLibraryError, uint32_t(failure.error))
        .Report(kStyleError, kTitleUnexpectedError, "%s", failure.text.c_str());
  }
}

bool CopyLogsFolder(wchar_t* logs) {
  const wchar_t* folder = GetLogsFolder();
  if (folder != nullptr && wcscpy_s(logs, kMaxDataPath, folder) == 0) return true;
  ErrorReport(__LINE__, RuntimeLibraryError, EINVAL)
      .Report(kStyleError, kTitleUnexpectedError, "_tcscpy_s() failed with Debug Log directory = '%s'",
              NarrowText(folder).c_str());
  ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "GetDebugLogFolder() failed.");
  return false;
}

}  // namespace

bool GetDebugLogFolder(wchar_t* pathOut) {
  return CreateRotatedDebugLog(pathOut, [](const wchar_t*) { return true; });
}

bool CreateRotatedDebugLog(wchar_t* pathOut, const std::function<bool(const wchar_t* path)>& create) {
  pathOut[0] = 0;
  wchar_t logs[kMaxDataPath];
  if (!CopyLogsFolder(logs)) return false;
  HANDLE mutex = CreateMutexW(nullptr, FALSE, kRotationMutexName);
  RotationFailures failures;
  bool created = false;
  {
    ScopedMutex lock(mutex, kRotationWaitMilliseconds);
    created = RotateLogs(logs, pathOut, &failures) && create(pathOut);
  }
  if (mutex != nullptr) CloseHandle(mutex);
  ReportRotationFailures(failures);
  if (!created) pathOut[0] = 0;
  return created;
}
