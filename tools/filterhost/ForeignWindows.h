// Windows of other programs on the screen a driven dialog shares. Tests that start programs of
// their own run beside it, and a window one of them shows may lie over the part of the dialog a
// command clicks or captures: with no window manager the X server shows a window mapped later
// above the dialog, even a topmost one.
#pragma once
#include <windows.h>

#include <cstddef>
#include <string>

// How long a command waits for such a window to go: other tests' windows live for one test.
constexpr DWORD kForeignWindowLimitMs = 30000;

// A visible top-level window of another process that overlaps any of the areas (screen
// coordinates), or null.
HWND ForeignWindowOver(const RECT* areas, size_t count);
inline HWND ForeignWindowOver(const RECT& area) { return ForeignWindowOver(&area, 1); }
// Waits up to `limitMs` until no window of another process overlaps the areas; false when one
// still does.
bool WaitUntilUncovered(const RECT* areas, size_t count, DWORD limitMs);
inline bool WaitUntilUncovered(const RECT& area, DWORD limitMs) { return WaitUntilUncovered(&area, 1, limitMs); }
// The window's class, process and place, for reports: "'Class' of process 12 at (1,2)-(3,4)".
std::string DescribeWindow(HWND window);
// Every visible top-level window but `except` that overlaps `area`, of any process, described for
// a report; empty when there is none.
std::string DescribeWindowsOver(const RECT& area, HWND except);
