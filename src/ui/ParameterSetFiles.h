// The settings menu's file operations: Save and Load through the system's file dialogs, and
// Delete of a stored set after the user has confirmed it.
#pragma once
#include <windows.h>
#include <commdlg.h>

#include "params/SettingsSelector.h"

bool SaveParameterSet(HWND owner, SettingsSelector* selector);
bool LoadParameterSet(HWND owner, SettingsSelector* selector);
void DeleteParameterSet(HWND owner, SettingsSelector* selector, int index);

// Tests stand in for the system's save and open dialogs.
typedef BOOL(WINAPI* FileDialogProc)(OPENFILENAMEW* dialog);
void SetFileDialogProcs(FileDialogProc save, FileDialogProc open);
