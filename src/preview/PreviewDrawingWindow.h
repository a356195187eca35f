// A hidden window of the preview's size for the task's rendering context, used where a context
// on the preview window would keep the preview from being seen.
#pragma once
#include <windows.h>

HWND CreatePreviewDrawingWindow(int width, int height);
// Grows it when the preview's client area no longer fits; true when it did. Only the part the
// viewport covers (bottom left, in OpenGL's rows) is drawn and read.
bool FitPreviewDrawingWindow(HWND window, int width, int height);
void DestroyPreviewDrawingWindow(HWND window);
