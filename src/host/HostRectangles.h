// The filter record's rectangles in the form the host uses: the 32-bit rectangles of the
// big-document structure once the plug-in switched to them, else the 16-bit ones.
#pragma once
#include "PIFilter.h"

bool UsingBigDocument();
VRect FilterRectangle();
void SetInputRectangle(const VRect& rect);
void SetOutputRectangle(const VRect& rect);
void SetMaskRectangle(const VRect& rect);
constexpr VRect kEmptyRect = {0, 0, 0, 0};
