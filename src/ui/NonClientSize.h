// The valid-rectangle answer to WM_NCCALCSIZE that keeps the right-hand panel's pixels while the
// dialog is sized, so that its many controls do not flash on every step of a drag.
#pragma once
#include <windows.h>

// True with *result set when the answer was given; false leaves the message to default handling.
bool KeepRightPanelWhileSizing(HWND dialog, WPARAM wParam, LPARAM lParam, LRESULT* result);
