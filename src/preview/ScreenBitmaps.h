// The background bitmap (render target of the offscreen mode, copy target of the screen mode)
// and the screen bitmap that the preview window paints, as 32-bit bottom-up DIB sections.
#pragma once
#include <windows.h>

#include "preview/OpenGLContext.h"

extern ContextBitmap gBackgroundBitmap;
extern ContextBitmap gScreenBitmap;

// Makes (or remakes) the bitmap at the size; the new section exists before the old is deleted.
bool MakeContextBitmap(ContextBitmap* bitmap, int width, int height);
void DeleteContextBitmap(ContextBitmap* bitmap);
bool AttachBackgroundBitmap(HDC context);
bool DetachBackgroundBitmap(HDC context);
