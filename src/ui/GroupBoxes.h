// The five group boxes of the main dialog: their Tahoma font, the background they are painted on
// and their frame and caption drawn in the colour scheme.
#pragma once
#include <windows.h>

void SetUpGroupBoxes(HWND dialog);
void ReleaseGroupBoxes(HWND dialog);
HBRUSH GetGroupBoxBrush();
