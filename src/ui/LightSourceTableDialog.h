// The light source listing dialog: the table's count and one line per entry.
#pragma once
#include <windows.h>

// Dialog procedure of the listing; lParam of the dialog creation may name a table (null: the
// run's table).
extern "C" __declspec(dllexport) INT_PTR CALLBACK DisplayLightSourceTableProc(HWND dialog, UINT message, WPARAM wParam,
                                                                              LPARAM lParam);
// Shows the listing modally over the owner.
INT_PTR ShowLightSourceTable(HWND owner);
