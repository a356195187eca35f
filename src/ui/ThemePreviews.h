// The pictures on the theme buttons of the options dialog: a small main dialog drawn in the
// colours of one scheme, framed in the highlight colour while that scheme is chosen.
#pragma once
#include <windows.h>

#include <cstdint>

void DrawThemePreview(const DRAWITEMSTRUCT& item, uint32_t scheme, bool chosen);
