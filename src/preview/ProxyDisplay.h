// The preview window "ProxyDisplay" and the frames that reach it: the scaled proxy layer drawn on
// the preview task, and the screen bitmaps through which the window paints a finished frame.
#pragma once
#include <windows.h>

bool CreateProxyDisplayClass(HINSTANCE instance, int extraBytes);
void DeleteProxyDisplayClass(HINSTANCE instance);

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

// What the dialog hands the preview window before it opens: the scheme's background colour and
// the splash bitmap shown until the first frame.
void SetPreviewBackgroundColor(COLORREF color);
void SetPreviewSplashBitmap(HBITMAP bitmap);
