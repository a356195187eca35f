// The per-user folders (Settings, Parameters, Logs) and the common folder in which the system
// keeps its files, and the reader and writer of whole files in the Settings folder.
#pragma once
#include <cstddef>

constexpr size_t kMaxDataPath = 1000;

bool MakeUserDataFolder();
bool IsFileSystemInitialized();
bool GetUserDataFolder(const wchar_t* subPath, wchar_t* pathOut);
bool GetCommonDataFolder();
const wchar_t* GetSettingsFolder();
const wchar_t* GetParametersFolder();
const wchar_t* GetLogsFolder();
const wchar_t* GetCommonFolder();

bool ReadSettingsFile(const wchar_t* name, void* buffer, size_t size);
bool WriteSettingsFile(const wchar_t* name, const void* buffer, size_t size);

// Tests root the folders in a scratch directory instead of the shell's application data folders.
void SetDataFolderRoots(const wchar_t* localRoot, const wchar_t* commonRoot);
void ResetDataFolders();
