// The slider rows of the main dialog at run time: each row's track bar, value box, icons and
// label bound to the value it edits, and what keys, typing and the mouse do to them.
#pragma once
#include <windows.h>

#include <cstdint>

// Binds and initialises every row: font, class style, icons, tips, subclasses, ranges, values.
bool InitializeSliders(HWND dialog);
// Unbinds every row: subclasses removed, icons destroyed, the font deleted.
void ReleaseSliders(HWND dialog);

// Clamps, moves the track bar, writes the bound value and the value box; tells nobody.
void SetSliderValue(HWND dialog, int row, int32_t value);
int32_t GetSliderValue(int row);
void SetSliderResetValue(int row, int32_t value);
int32_t GetSliderResetValue(int row);

// Shows and enables the rows of the set, hides and disables the others.
void ShowSlidersForSet(HWND dialog, int set);
// Every row from its bound value (parameters loaded from elsewhere).
void RefreshSliders(HWND dialog);

// WM_HSCROLL from a track bar; false when the control is not one of the rows'.
bool OnSliderScroll(HWND dialog, HWND control);
// WM_COMMAND from a value box; false when the id is not one of the rows' value boxes.
bool OnValueBoxCommand(HWND dialog, int id, int code);
