// Windows of other programs on the screen a driven dialog shares. Tests that start programs of
// their own run beside it, and a window one of them shows may lie over the part of the dialog a
// command clicks or captures; the X server may even show it above a topmost dialog, since a
// newly mapped window goes on top there before Wine restacks it.
#pragma once
#include <windows.h>

#include <string>

// How long a command waits for such a window to go: other tests' windows live for one test.
constexpr DWORD kForeignWindowLimitMs = 30000;

// A visible top-level window of another process that overlaps `area` (screen coordinates), or null.
HWND ForeignWindowOver(const RECT& area);
// Waits up to `limitMs` until no window of another process overlaps `area`; false when one still does.
bool WaitUntilUncovered(const RECT& area, DWORD limitMs);
// The window's class, process and place, for reports: "'Class' of process 12 at (1,2)-(3,4)".
std::string DescribeWindow(HWND window);
// Every visible top-level window but `except` that overlaps `area`, of any process, described for
// a report; empty when there is none.
std::string DescribeWindowsOver(const RECT& area, HWND except);
