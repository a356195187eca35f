// Selector entries own their records from the moment they are added until they are replaced,
// removed or the selector is released.
#include "params/SettingsSelector.h"

#include <windows.h>

#include <cwchar>

#include "params/ParameterBlockService.h"
#include "params/ParameterFiles.h"
#include "support/DataFolders.h"
#include "support/ErrorReport.h"
#include "support/TextConversion.h"

bool InitializeSettingsSelector(SettingsSelector* selector) {
  ReleaseSettingsSelector(selector);
  auto* defaults = reinterpret_cast<ParameterRecord*>(ParameterBlockService(PARAMSVC_NEW_FACTORY_RECORD, nullptr));
  auto* initial = reinterpret_cast<ParameterRecord*>(ParameterBlockService(PARAMSVC_SNAPSHOT, nullptr));
  if (defaults == nullptr || initial == nullptr) {
    FreeParameterRecord(defaults);
    FreeParameterRecord(initial);
    return false;
  }
  selector->entries.push_back(SettingsEntry{L"Default Settings", defaults});
  selector->entries.push_back(SettingsEntry{L"Initial Settings", initial});
  selector->selected = kInitialSettingsEntry;
  return true;
}

void PopulateSettingsSelector(SettingsSelector* selector) {
  const wchar_t* folder = GetParametersFolder();
  if (folder == nullptr) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "GetUserParametersFolder() failed.");
    return;
  }
  wchar_t pattern[kMaxDataPath];
  if (_snwprintf_s(pattern, kMaxDataPath, _TRUNCATE, L"%ls\\*.%ls", folder, kParameterFileExtension) < 0) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "_tcscpy_s() failed with Parameters Directory = '%s'", NarrowText(folder).c_str());
    return;
  }
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    std::wstring name = found.cFileName;
    size_t dot = name.rfind(L'.');
    // The pattern also matches longer extensions ("x.ssss"); only ".sss" files are sets.
    if (dot == std::wstring::npos || _wcsicmp(name.c_str() + dot + 1, kParameterFileExtension) != 0) continue;
    std::wstring path = std::wstring(folder) + L"\\" + name;
    if (ParameterRecord* record = LoadParameterSetFile(path.c_str())) selector->entries.push_back(SettingsEntry{name.substr(0, dot), record});
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

void ReleaseSettingsSelector(SettingsSelector* selector) {
  for (SettingsEntry& entry : selector->entries) FreeParameterRecord(entry.record);
  selector->entries.clear();
  selector->selected = -1;
}

int FindSettingsEntry(const SettingsSelector& selector, const std::wstring& name) {
  for (size_t i = 0; i < selector.entries.size(); ++i) {
    if (_wcsicmp(selector.entries[i].name.c_str(), name.c_str()) == 0) return int(i);
  }
  return -1;
}

bool ApplySettingsEntry(SettingsSelector* selector, int index) {
  if (index < 0 || size_t(index) >= selector->entries.size()) return false;
  const ParameterRecord* record = selector->entries[size_t(index)].record;
  ParameterVersion version = BlockOfRecord(*record).version;
  if (!SameVersion(version, kCurrentParameterVersion)) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError,
                "Parameter Set version mismatch: Major Version = '%d', Minor Version = '%d', Revision = '%d', Build = '%d'",
                version.major, version.minor, version.revision, version.build);
    return false;
  }
  ParameterBlockService(PARAMSVC_APPLY, const_cast<ParameterRecord*>(record));
  selector->selected = index;
  return true;
}

void AddOrReplaceSettingsEntry(SettingsSelector* selector, const std::wstring& name, ParameterRecord* record) {
  int index = FindSettingsEntry(*selector, name);
  if (index >= 0) {
    FreeParameterRecord(selector->entries[size_t(index)].record);
    selector->entries[size_t(index)].record = record;
  } else {
    size_t at = selector->entries.size();
    for (size_t i = kFirstFileEntry; i < selector->entries.size(); ++i) {
      if (_wcsicmp(selector->entries[i].name.c_str(), name.c_str()) > 0) {
        at = i;
        break;
      }
    }
    selector->entries.insert(selector->entries.begin() + std::ptrdiff_t(at), SettingsEntry{name, record});
    index = int(at);
  }
  ApplySettingsEntry(selector, index);
}

void RemoveSettingsEntry(SettingsSelector* selector, int index) {
  if (index < kFirstFileEntry || size_t(index) >= selector->entries.size()) return;
  std::wstring name = selector->entries[size_t(index)].name;
  FreeParameterRecord(selector->entries[size_t(index)].record);
  selector->entries.erase(selector->entries.begin() + index);
  if (selector->selected == index) selector->selected = -1;
  else if (selector->selected > index) --selector->selected;
  const wchar_t* folder = GetParametersFolder();
  if (folder == nullptr) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "GetUserParametersFolder() failed.");
    return;
  }
  wchar_t path[kMaxDataPath];
  _snwprintf_s(path, kMaxDataPath, _TRUNCATE, L"%ls\\%ls.%ls", folder, name.c_str(), kParameterFileExtension);
  DeleteParameterRecordFile(path);
}
