// Progress of the work that precedes the preview's first frame, shown in the dialog's progress
// bar. Work on any thread adds units; each full step moves the bar by one through a posted
// WM_APP_INIT_PROGRESS, so that no worker ever waits for the dialog.
#pragma once
#include <windows.h>

#include <cstdint>

// A new measure: `range` steps of `unitsPerStep` units, reported to `dialog` (null: none).
void BeginStartupProgress(HWND dialog, int range, uint64_t unitsPerStep);
// Any thread. Posts once for every step completed by these units; never past the range.
void AddStartupProgress(uint64_t units);
// Resets the bar (0/0) and stops reporting.
void EndStartupProgress();
