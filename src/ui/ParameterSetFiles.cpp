// Save, Load and Delete of parameter set files. A file saved or loaded in the Parameters folder
// becomes a selector entry; one from elsewhere is applied without an entry, and never modified.
#include "ui/ParameterSetFiles.h"

#include <cwchar>
#include <string>

#include "params/ParameterBlockService.h"
#include "params/ParameterFiles.h"
#include "support/DataFolders.h"
#include "support/ErrorReport.h"
#include "support/TextConversion.h"
#include "support/UserMessage.h"

namespace {

constexpr char kProductName[] = "Halvorn Pro 3";
constexpr size_t kFileBufferSize = 1000;
// Filter pairs end with an empty string; the pattern keeps its leading blank as stored.
constexpr wchar_t kFilter[] = L"Parameter Files\0 *.sss\0";

FileDialogProc gSaveDialog = GetSaveFileNameW;
FileDialogProc gOpenDialog = GetOpenFileNameW;

// Runs a file dialog; false when cancelled or failed (a failure is logged).
bool ChooseFile(bool save, HWND owner, wchar_t* path, wchar_t* title, const char* procName) {
  const wchar_t* folder = GetParametersFolder();
  if (folder == nullptr) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "GetUserParametersFolder() failed.");
    return false;
  }
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = kFilter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = path;
  dialog.nMaxFile = DWORD(kFileBufferSize);
  dialog.lpstrInitialDir = folder;
  dialog.lpstrTitle = title;
  dialog.lpstrDefExt = kParameterFileExtension;
  dialog.Flags = save ? OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOREADONLYRETURN | OFN_EXTENSIONDIFFERENT | OFN_DONTADDTORECENT
                      : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_DONTADDTORECENT;
  if ((save ? gSaveDialog : gOpenDialog)(&dialog)) return true;
  DWORD error = CommDlgExtendedError();
  if (error != 0) ErrorReport(__LINE__, SystemError, error).Report("%s failed with error = '%d'", procName, int(error));
  return false;
}

// The name of a file without its folder and extension: the name of its selector entry.
std::wstring EntryNameOf(const wchar_t* path) {
  wchar_t name[_MAX_FNAME] = L"";
  _wsplitpath_s(path, nullptr, 0, nullptr, 0, name, _MAX_FNAME, nullptr, 0);
  return name;
}

void FormatTitle(wchar_t* title, size_t size, const wchar_t* format) { _snwprintf_s(title, size, _TRUNCATE, format, L"Halvorn Pro 3"); }

}  // namespace

void SetFileDialogProcs(FileDialogProc save, FileDialogProc open) {
  gSaveDialog = save != nullptr ? save : GetSaveFileNameW;
  gOpenDialog = open != nullptr ? open : GetOpenFileNameW;
}

bool SaveParameterSet(HWND owner, SettingsSelector* selector) {
  wchar_t path[kFileBufferSize] = L"", title[128];
  FormatTitle(title, 128, L"Save %ls Parameter File");
  if (!ChooseFile(true, owner, path, title, "GetSaveFileName()")) return false;
  auto* snapshot = reinterpret_cast<ParameterRecord*>(ParameterBlockService(PARAMSVC_SNAPSHOT, nullptr));
  if (snapshot == nullptr || !WriteParameterRecordFile(path, *snapshot)) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "SaveParametersFile() failed with FilePath = '%s'", NarrowText(path).c_str());
    FreeParameterRecord(snapshot);
    return false;
  }
  if (IsInParametersFolder(path)) {
    AddOrReplaceSettingsEntry(selector, EntryNameOf(path), snapshot);
  } else {
    FreeParameterRecord(snapshot);
  }
  return true;
}

bool LoadParameterSet(HWND owner, SettingsSelector* selector) {
  wchar_t path[kFileBufferSize] = L"", title[128];
  FormatTitle(title, 128, L"Load %ls Parameter File");
  if (!ChooseFile(false, owner, path, title, "GetOpenFileName()")) return false;
  if (IsInParametersFolder(path)) {
    ParameterRecord* record = LoadParameterSetFile(path);
    if (record == nullptr) {
      ErrorReport(__LINE__, DebugMessage)
          .Report(kStyleError, kTitleUnexpectedError, "LoadParameterStructure() failed to load parameter set '%s'", NarrowText(path).c_str());
      return false;
    }
    AddOrReplaceSettingsEntry(selector, EntryNameOf(path), record);
    return true;
  }
  ParameterRecord* record = ImportParameterSetFile(path);
  if (record == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "LoadParameterStructure() failed to import parameter set '%s'", NarrowText(path).c_str());
    return false;
  }
  ParameterBlockService(PARAMSVC_APPLY, record);
  FreeParameterRecord(record);
  selector->selected = -1;
  return true;
}

void DeleteParameterSet(HWND owner, SettingsSelector* selector, int index) {
  if (index < kFirstFileEntry || size_t(index) >= selector->entries.size()) return;
  char title[128], text[kFileBufferSize + 128];
  snprintf(title, sizeof title, "Delete %s Parameter File", kProductName);
  snprintf(text, sizeof text, "The %s saved parameter file '%s.%s' will be deleted.", kProductName,
           NarrowText(selector->entries[size_t(index)].name.c_str()).c_str(), "sss");
  if (AskUser(owner, text, title, MB_OKCANCEL | MB_ICONWARNING) != IDOK) return;
  RemoveSettingsEntry(selector, index);
}
