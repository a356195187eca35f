// Which of the main dialog's controls each control set shows: the parameter panel in the main
// set, the "Edit Individual Effect" group in the editor sets.
#pragma once
#include <windows.h>

void ShowControlFamilies(HWND dialog, int controlSet);
