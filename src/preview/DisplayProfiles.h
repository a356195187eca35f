// The ICC profile Windows associates with each monitor, cached for the preview (16 monitors).
#pragma once
#include <windows.h>

#include "color/ProfileGamma.h"

constexpr int kDisplayProfileCacheSize = 16;

// The preview window whose monitor selects the display profile (recorded by the preview task).
void SetColorPreviewWindow(HWND window);
ColorProfile InitializeDisplayColorConversion(double* gamma);
// The display's primaries with a straight tone curve, for effect light that the composite brings
// to the display's gamma itself; the linear working profile when the display's has no primaries.
ColorProfile LinearDisplayProfile();
void CloseDisplayProfiles();
// A profile every monitor is taken to have, or null for the monitors' own (tests only).
void SetDisplayProfileForTests(ColorProfile profile);
