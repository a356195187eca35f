// Parameter set files on disk. A stored record has no header beyond its version quad, so the
// version decides what a file is: current, convertible (0.0.0.5) or obsolete.
#include "params/ParameterFiles.h"

#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "params/ParameterBlockService.h"
#include "support/DataFolders.h"
#include "support/ErrorReport.h"
#include "support/TextConversion.h"

namespace {

constexpr char kTitleInvalid[] = "Invalid Parameter Set";
constexpr char kTitleConversion[] = "Parameter Set Conversion";

ParameterVersion VersionOf(const ParameterRecord& record) { return BlockOfRecord(record).version; }

void Tell(uint32_t style, const char* title, const char* format, const wchar_t* path, const ParameterVersion* version = nullptr) {
  std::string name = NarrowText(path);
  if (version == nullptr) {
    ErrorReport(__LINE__, UserMessage).Report(style, title, format, name.c_str());
  } else {
    ErrorReport(__LINE__, UserMessage)
        .Report(style, title, format, name.c_str(), version->major, version->minor, version->revision, version->build);
  }
}

// The directory part of a full path, with its drive and a closing separator, for comparison.
bool DirectoryOf(const wchar_t* path, wchar_t* directory, size_t size) {
  wchar_t full[kMaxDataPath], drive[_MAX_DRIVE], folder[kMaxDataPath];
  if (GetFullPathNameW(path, kMaxDataPath, full, nullptr) == 0) return false;
  if (_wsplitpath_s(full, drive, _MAX_DRIVE, folder, kMaxDataPath, nullptr, 0, nullptr, 0) != 0) return false;
  return _snwprintf_s(directory, size, _TRUNCATE, L"%ls%ls", drive, folder) >= 0;
}

// Opens a record file, reporting a failure with the run-time library's text.
FILE* OpenRecordFile(const wchar_t* path, const wchar_t* mode) {
  FILE* file = nullptr;
  errno_t opened = _wfopen_s(&file, path, mode);
  if (opened == 0 && file != nullptr) return file;
  ErrorReport(__LINE__, RuntimeLibraryError, uint32_t(opened))
      .Report(kStyleError, kTitleUnexpectedError, "_tfopen() failed with FilePath = '%s'  and  error = '%s'", NarrowText(path).c_str(),
              strerror(opened));
  return nullptr;
}

}  // namespace

RecordVersionState CheckRecordVersion(const ParameterRecord& record) {
  ParameterVersion version = VersionOf(record);
  if (SameVersion(version, kCurrentParameterVersion)) return RECORD_CURRENT;
  ReportParameterVersionMismatch(version);
  return SameVersion(version, kConvertibleParameterVersion) ? RECORD_CONVERTIBLE : RECORD_OBSOLETE;
}

ParameterRecord* CurrentRecordOf(ParameterRecord* record, RecordVersionState* state) {
  *state = CheckRecordVersion(*record);
  if (*state == RECORD_CURRENT) return record;
  if (*state == RECORD_OBSOLETE) return nullptr;
  return reinterpret_cast<ParameterRecord*>(ParameterBlockService(PARAMSVC_CONVERT, record));
}

bool ReadParameterRecordFile(const wchar_t* path, ParameterRecord* record) {
  memset(record->bytes, 0, sizeof record->bytes);
  FILE* file = OpenRecordFile(path, L"rb");
  if (file == nullptr) return false;
  size_t read = fread(record->bytes, 1, sizeof record->bytes, file);
  int readErrno = errno;
  fclose(file);
  if (read == 0) {
    ErrorReport(__LINE__, RuntimeLibraryError, uint32_t(readErrno))
        .Report(kStyleError, kTitleUnexpectedError, "fread() failed with errno = '%s'", strerror(readErrno));
    return false;
  }
  return true;
}

bool WriteParameterRecordFile(const wchar_t* path, const ParameterRecord& record) {
  FILE* file = OpenRecordFile(path, L"wb");
  if (file == nullptr) return false;
  size_t written = fwrite(record.bytes, sizeof record.bytes, 1, file);
  int writeErrno = errno;
  bool closed = fclose(file) == 0;
  if (written != 1 || !closed) {
    ErrorReport(__LINE__, RuntimeLibraryError, uint32_t(writeErrno))
        .Report(kStyleError, kTitleUnexpectedError, "fwrite() failed with FilePath = '%s'  and  error = '%s'", NarrowText(path).c_str(),
                strerror(writeErrno));
    return false;
  }
  return true;
}

void DeleteParameterRecordFile(const wchar_t* path) {
  if (_wremove(path) != 0) {
    int error = errno;
    ErrorReport(__LINE__, RuntimeLibraryError, uint32_t(error))
        .Report(kStyleError, kTitleUnexpectedError, "_tremove() failed with error = '%d'. File to be deleted was '%s'", error,
                NarrowText(path).c_str());
  }
}

bool IsInParametersFolder(const wchar_t* path) {
  const wchar_t* parameters = GetParametersFolder();
  if (parameters == nullptr) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "GetUserParametersFolder() failed.");
    return false;
  }
  wchar_t fileDirectory[kMaxDataPath], folder[kMaxDataPath + 2], folderDirectory[kMaxDataPath];
  if (!DirectoryOf(path, fileDirectory, kMaxDataPath)) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "Parameter file path '%s' is invalid. It's location could not be determined.'",
                NarrowText(path).c_str());
    return false;
  }
  // A name in the folder itself has the folder as its directory.
  _snwprintf_s(folder, kMaxDataPath + 2, _TRUNCATE, L"%ls\\x", parameters);
  if (!DirectoryOf(folder, folderDirectory, kMaxDataPath)) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "Could not split User Parameters folder path '%s'. ", NarrowText(parameters).c_str());
    return false;
  }
  return _wcsicmp(fileDirectory, folderDirectory) == 0;
}

namespace {

// What the user is told about a file of the Parameters folder, which is repaired or deleted, and
// about a file from elsewhere, which is never modified.
struct SetFileMessages {
  const char* invalid;
  const char* obsolete;
};
constexpr SetFileMessages kFolderMessages = {
    "Your Parameter Set file '%s' is invalid and cannot be used. The file is being deleted.\r\n",
    "Your Parameter Set file '%s' (Major Version = '%d', Minor Version = '%d', Revision = '%d', Build = '%d')was saved in an "
    "obsolete format and cannot be converted. The file will be deleted."};
constexpr SetFileMessages kImportMessages = {
    "Your Parameter Set file '%s' is invalid and cannot be used.",
    "Your Parameter Set file '%s' (Major Version = '%d', Minor Version = '%d', Revision = '%d', Build = '%d')was saved in an "
    "obsolete format and cannot be converted.  Your current settings have not been changed."};

ParameterRecord* CopyOf(const ParameterRecord& record) {
  auto* copy = static_cast<ParameterRecord*>(malloc(sizeof(ParameterRecord)));
  if (copy != nullptr) memcpy(copy->bytes, record.bytes, sizeof record.bytes);
  return copy;
}

// A kept entry holds what applying it gives, so that the selector recognises it as current.
ParameterRecord* Clamped(ParameterRecord* record) {
  if (record == nullptr) return nullptr;
  ParameterBlock block = BlockOfRecord(*record);
  if (!ClampParameterBlock(&block)) memcpy(record->bytes, &block, sizeof block);
  return record;
}

// Reads and checks a set file; converted records are rewritten only in the folder.
ParameterRecord* ReadSetFile(const wchar_t* path, bool inFolder) {
  const SetFileMessages& messages = inFolder ? kFolderMessages : kImportMessages;
  ParameterRecord stored;
  if (!ReadParameterRecordFile(path, &stored)) {
    Tell(kStyleError, kTitleInvalid, messages.invalid, path);
    if (inFolder) DeleteParameterRecordFile(path);
    return nullptr;
  }
  RecordVersionState state;
  ParameterRecord* current = CurrentRecordOf(&stored, &state);
  if (state == RECORD_CURRENT) return Clamped(CopyOf(stored));
  if (current == nullptr && state == RECORD_CONVERTIBLE) {
    // The file is sound; only the memory to convert it was missing. It stays as it is, so that
    // a later run with memory to spare converts it.
    Tell(kStyleError, kTitleConversion,
         "Your Parameter Set file '%s' was saved in an older format and could not be converted for lack of memory. "
         "The file has not been changed.",
         path);
    return nullptr;
  }
  if (current == nullptr) {
    ParameterVersion version = VersionOf(stored);
    Tell(kStyleError, kTitleConversion, messages.obsolete, path, &version);
    if (inFolder) DeleteParameterRecordFile(path);
    return nullptr;
  }
  if (!inFolder) {
    Tell(kStyleInformation, kTitleConversion,
         "Your Parameter Set file '%s' was saved in an older format and has been converted.\n\nYou may want to look over the "
         "loaded settings as a double-check.",
         path);
  } else if (WriteParameterRecordFile(path, *current)) {
    Tell(kStyleInformation, kTitleConversion,
         "Your Parameter Set file '%s' was saved in an older format and has been converted.\r\n\r\nThe converted Parameter Set has "
         "been saved, replacing the original file.",
         path);
  } else {
    Tell(kStyleWarning, kTitleConversion,
         "Your Parameter Set file '%s' was saved in an older format and has been converted but theconverted Parameter Set could not "
         "be saved.\r\n\r\nYou should save the converted parameter set (which is now current) to a new file.",
         path);
  }
  return Clamped(current);
}

}  // namespace

ParameterRecord* LoadParameterSetFile(const wchar_t* path) { return ReadSetFile(path, true); }

ParameterRecord* ImportParameterSetFile(const wchar_t* path) { return ReadSetFile(path, false); }

bool ReadLastUsedParameters() {
  ParameterRecord stored;
  if (!ReadSettingsFile(kLastUsedParametersFile, stored.bytes, sizeof stored.bytes)) return false;
  RecordVersionState state;
  ParameterRecord* current = CurrentRecordOf(&stored, &state);
  if (current == nullptr) {
    ParameterVersion version = VersionOf(stored);
    const ParameterVersion& now = kCurrentParameterVersion;
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleWarning, kTitleDebugWarning,
                "No parameter file conversion could be done, using defaults.  Stored version = %d.%d.%d.%d, current version = "
                "%d.%d.%d.%d\n",
                version.major, version.minor, version.revision, version.build, now.major, now.minor, now.revision, now.build);
    return false;
  }
  ParameterBlockService(PARAMSVC_APPLY, current);
  if (current != &stored) FreeParameterRecord(current);
  return true;
}

void WriteLastUsedParameters() {
  auto* snapshot = reinterpret_cast<ParameterRecord*>(ParameterBlockService(PARAMSVC_SNAPSHOT, nullptr));
  if (snapshot == nullptr) return;
  WriteSettingsFile(kLastUsedParametersFile, snapshot->bytes, sizeof snapshot->bytes);
  FreeParameterRecord(snapshot);
}
