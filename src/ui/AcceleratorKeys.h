// Keyboard accelerators of modal dialogs: a registry of {window, table, enabled} consulted by a
// message-filter hook on the user-interface thread, since a modal dialog's own loop translates
// no accelerators.
#pragma once
#include <windows.h>

bool InitializeAcceleratorKeys();
bool RegisterAcceleratorKeys(HWND window, HACCEL table);
void UnregisterAcceleratorKeys(HWND window);
void EnableAcceleratorKeys(HWND window, bool enabled);
// Removes the hook and empties the registry (the end of a load).
void TerminateAcceleratorKeys();
// The table registered for a window, or null (also while it is switched off).
HACCEL RegisteredAcceleratorTable(HWND window);

// The main and editor tables of the main dialog, loaded from the module once per load.
bool LoadDialogAccelerators();
HACCEL MainAcceleratorTable();
HACCEL EditorAcceleratorTable();
void FreeDialogAccelerators();
