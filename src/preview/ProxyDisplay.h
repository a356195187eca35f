// The preview window "ProxyDisplay" and the frames that reach it: the scaled proxy layer drawn on
// the preview task, and the screen bitmaps through which the window paints a finished frame.
#pragma once
#include <windows.h>

#include "core/ImageRecord.h"

bool CreateProxyDisplayClass(HINSTANCE instance, int extraBytes);
void DeleteProxyDisplayClass(HINSTANCE instance);

// The scaled size of the image at a zoom: its own size at 100 %, else the scaled edges' difference
// (never below 1); the dialog's scroll ranges and the layer's frames agree on it.
void ScaledImageSize(const ImageRect& image, double zoom, int32_t* width, int32_t* height);

bool InitializeScaledProxyLayer(HWND dialog, HWND preview);
void DestroyScaledProxyLayer();
bool RenderScaledProxyDisplay();
void PresentProxyFrame();
void FinishOffscreenFrame();
void PaintProxyDisplay(HWND window);

// Window properties that tell an observer outside the plug-in (a test host, a screen reader of
// the preview's state) which request was queued last and which has reached the screen.
constexpr wchar_t kQueuedFrameProperty[] = L"Halvorn.QueuedFrame";
constexpr wchar_t kPresentedFrameProperty[] = L"Halvorn.PresentedFrame";

// Extra bytes of a "ProxyDisplay" window: the caller's start after the "Static" class's own.
int ProxyDisplayExtraDataOffset();
// The preview's colours from the dialog's theme; any thread, taken by the next frame.
void SetPreviewBackgroundColor(COLORREF color);
void SetPreviewFrameColor(COLORREF color);
void SetPreviewFocusColor(COLORREF color);
// The start-up display: a 24- or 32-bit DIB section drawn centred until the analysis is ready.
// The caller keeps it alive until the preview window is destroyed; null for none.
void SetPreviewSplashBitmap(HBITMAP bitmap);
// The colour of a pixel of the window's screen bitmap (what the window paints), for observers;
// false when there is no frame yet or the point is outside it.
bool SampleScreenBitmap(int x, int y, COLORREF* color);

// The start-up display, on the preview task: prepared once, then one frame per wake-up of the
// start-up loop until the analysis is ready.
bool PrepareStartupDisplay();
void DrawStartupDisplayFrame();
