// Parameter set files: 255-byte records in files with the extension "sss", their version check
// and conversion, the files of the Parameters folder and the last-used file of the Settings folder.
#pragma once
#include "params/ParameterBlock.h"

constexpr wchar_t kParameterFileExtension[] = L"sss";
constexpr wchar_t kLastUsedParametersFile[] = L"LastSavedParameters.sss";

enum RecordVersionState { RECORD_CURRENT, RECORD_CONVERTIBLE, RECORD_OBSOLETE };
// Compares the record's version with the current one (a difference is logged).
RecordVersionState CheckRecordVersion(const ParameterRecord& record);
// The record as the current version holds it: itself, a converted copy, or null when obsolete;
// a copy that is not the record itself is freed by the caller.
ParameterRecord* CurrentRecordOf(ParameterRecord* record, RecordVersionState* state);

// True when at least one byte was read; bytes the file does not supply are zero.
bool ReadParameterRecordFile(const wchar_t* path, ParameterRecord* record);
// True when all 255 bytes were written.
bool WriteParameterRecordFile(const wchar_t* path, const ParameterRecord& record);
void DeleteParameterRecordFile(const wchar_t* path);

// True when the file's drive and directory are those of the Parameters folder.
bool IsInParametersFolder(const wchar_t* path);

// A file of the Parameters folder: converted files are rewritten, invalid and obsolete ones are
// reported and deleted. A new record for the caller, or null.
ParameterRecord* LoadParameterSetFile(const wchar_t* path);
// A file from elsewhere: the same checks, but the file is never modified.
ParameterRecord* ImportParameterSetFile(const wchar_t* path);

// The last-used file: read at start when the host's registry offers nothing (true when a
// record was applied), written at every finish.
bool ReadLastUsedParameters();
void WriteLastUsedParameters();
