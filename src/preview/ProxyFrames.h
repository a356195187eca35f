// How a finished preview frame reaches the window: the exchange of the background and screen
// bitmaps under ScreenBitmapMutex, the stamp that travels with a frame, and the choice between
// presenting by OpenGL and painting from the screen bitmap.
#pragma once
#include <windows.h>

#include <cstdint>

struct PreviewTask;

// Which request a frame shows and how long it took, carried from drawing to presentation.
struct ProxyFrameStamp {
  int32_t id = 0;  // the parameter set's id; 0 for start-up display frames
  LONGLONG queuedAt = 0;
  double drawMilliseconds = 0;
};

bool SetUpScreenBitmapAccess();
// Deletes both bitmaps and closes ScreenBitmapMutex.
void ReleaseScreenBitmapAccess();

// The frame the task is drawing now (set before it is presented).
void SetDrawingFrameStamp(const ProxyFrameStamp& stamp);
// Exchanges the bitmaps: the drawn frame becomes the one the window paints.
void SwapScreenBitmaps();
// The painter's hold on the screen bitmap; false (reported) when the mutex cannot be had.
bool LockScreenBitmap();
void UnlockScreenBitmap();
// Under the lock: whether a frame arrived since the last paint, with its stamp; clears the flag.
bool TakeNewFrame(ProxyFrameStamp* stamp);
// Records that the frame reached the window: the window property and the trace line.
void NotePresentedFrame(HWND window, const ProxyFrameStamp& stamp);

// Makes the current context current again: a context then draws into the bitmap now selected
// into its DC, and into its window's buffers at the window's new size.
void RebindCurrentContext();
// The next presentation copies the frame into the screen bitmap even when OpenGL presents it.
void MarkScreenBitmapStale();
// Has the task repaint the preview from the screen bitmap (tag 272 from another thread).
void RepaintPreviewFromBitmap(const PreviewTask& task);

// Whether frames drawn by a screen context on a child window are visible on this system.
bool ScreenContextReachesScreen();
// Tests choose the presentation: -1 as the system decides, 0 from the bitmap, 1 by OpenGL.
int SetPresentationOverride(int override);

COLORREF PreviewBackgroundColor();
COLORREF PreviewFrameColor();
COLORREF PreviewFocusColor();
// Where the next offscreen frame gets the display gamma in software (client coordinates); empty
// for frames whose pixels are display values already.
void SetSoftwareGammaRect(const RECT& rect);
