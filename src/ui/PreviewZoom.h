// The preview's zoom and scroll position as the dialog keeps them: the zoom levels, fit in view,
// the view centre, the scroll bars and the zoom display. Every change queues a preview.
#pragma once
#include <windows.h>

constexpr int kZoomLevelCount = 21;
extern const double kZoomLevels[kZoomLevelCount];
constexpr double kMinimumZoom = 0.3;
constexpr double kMaximumZoom = 6400.0;

// The zoom that shows the whole image in a view of the size (the preview inset by its border).
double FitInViewZoom(SIZE view, LONG imageWidth, LONG imageHeight);
double NextZoomLevelUp(double zoom, int steps);
double NextZoomLevelDown(double zoom, int steps);
// The level of a zoom menu command, or 0 for the commands that are not a level.
double ZoomLevelOfMenuCommand(int command);

// Back to fit in view, for a new opening of the dialog.
void ResetPreviewZoom();
// The dialog took its size: the preview's rectangle is recorded and, while the fit flag is set,
// the image fitted again.
void OnPreviewPlaced(HWND dialog);
void FitPreviewInView(HWND dialog);
// Anchor in preview client coordinates, or (-1, -1) for the current centre.
void SetPreviewZoom(HWND dialog, POINT anchor, double percent);
// A zoom menu command, an accelerator's zoom or a zoom button; false for other commands.
bool OnZoomCommand(HWND dialog, int command);
// The zoom menu, opened above a zoom control; the chosen level is set about the view's centre.
void OpenZoomMenu(HWND dialog, int control);
// WM_HSCROLL / WM_VSCROLL of the preview's scroll bars.
void OnPreviewScroll(HWND dialog, int bar, int code, int thumbPosition);
void PanPreviewBy(HWND dialog, LONG dx, LONG dy);
// Home and End: the view to the start, or the end, of both scroll ranges.
void ScrollPreviewToEnds(HWND dialog, bool end);
// The view's size inside the preview's border, and whether every resize fits the image again.
SIZE PreviewViewSize();
bool PreviewIsFitted();
// Sizes the dialog to the work area of its monitor; the resize fits the image when the fit flag is
// set.
void FitDialogOnScreen(HWND dialog);
// A point of the preview's client area as an image pixel position, through the zoom, the scroll
// position and the centring of an image smaller than the view.
void PreviewPointToImage(POINT client, double* x, double* y);
// The zoom menu at a screen point; a level chosen is set about `anchor` (preview client
// coordinates, or (-1, -1) for the view's centre).
void OpenZoomMenuAt(HWND dialog, POINT screen, POINT anchor);
// The wheel over the dialog: with Alt and Shift by zoom levels, with Alt by factors of 1.1, else
// panning 10 pixels a notch (a page with Shift), across with Ctrl or the horizontal wheel.
void OnPreviewWheel(HWND dialog, int delta, WORD keys, bool horizontal);
