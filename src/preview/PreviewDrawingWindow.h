// A hidden window of the preview's size for the task's rendering context, used where a context
// on the preview window would keep the preview from being seen.
#pragma once
#include <windows.h>

HWND CreatePreviewDrawingWindow(int width, int height);
// Resizes it to the preview's client size when that changed.
void FitPreviewDrawingWindow(HWND window, int width, int height);
void DestroyPreviewDrawingWindow(HWND window);
