// The ICC profile Windows associates with each monitor, cached for the preview (16 monitors).
#pragma once
#include <windows.h>

#include "color/ProfileGamma.h"

constexpr int kDisplayProfileCacheSize = 16;

// The preview window whose monitor selects the display profile (recorded by the preview task).
void SetColorPreviewWindow(HWND window);
ColorProfile InitializeDisplayColorConversion(double* gamma);
void CloseDisplayProfiles();
