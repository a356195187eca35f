// The preview's 32-bit DIB sections: the background bitmap that a bitmap context draws into and
// the screen bitmap that the window paints, and the selection of the background bitmap into a DC.
#pragma once
#include <windows.h>

#include "preview/OpenGLContext.h"

// LCS_WINDOWS_COLOR_SPACE, the four characters "Win " (the system header spells it as a
// multi-character constant).
constexpr DWORD kWindowsColorSpace = 0x57696E20;

extern ContextBitmap gBackgroundBitmap;
extern ContextBitmap gScreenBitmap;
// SaveDC's state number while the background bitmap is selected into a DC; 0 when detached.
extern int gSavedDCState;

// A new DIB section of the size, compatible with the reference DC; the old one is deleted only
// after the new one exists and GDI has finished with it. False (and the old bitmap kept) on failure.
bool MakeContextBitmap(ContextBitmap* bitmap, HDC reference, int width, int height);
void FreeContextBitmap(ContextBitmap* bitmap);
bool AttachBackgroundBitmap(HDC deviceContext);
bool DetachBackgroundBitmap(HDC deviceContext);
// The DC the background bitmap is attached to, or null.
HDC BackgroundBitmapDC();
