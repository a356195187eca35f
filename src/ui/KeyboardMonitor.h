// Watches the modifier keys and Space while the main dialog is active, so that the dialog and the
// preview learn of a change even when the focus is on a control that swallows the keystroke.
#pragma once
#include <windows.h>

// Installed for the calling (user-interface) thread while the preview window exists.
bool InstallKeyboardMonitor(HWND dialog, HWND preview);
void RemoveKeyboardMonitor();
