// A top-level test window with a "ProxyDisplay" child, the product hook that stands in for the
// light source analysis, and a frame hook that can hold a frame and records what was drawn.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include "preview/BackgroundTask.h"

// What the task drew: each request's id and the box of its region (empty when it had none).
struct DrawnRequest {
  int id;
  bool hasRegion;
  RECT regionBox;
  int regionRectangles;
};

class PreviewTestWindow {
 public:
  // Creates the windows at once; the task starts with the child. `signalDialog` ends the dialog's
  // initialisation at once, as a dialog that opened normally would.
  explicit PreviewTestWindow(int drawingSetting, bool signalDialog = true, int width = 240, int height = 180);
  ~PreviewTestWindow();
  PreviewTestWindow(const PreviewTestWindow&) = delete;
  PreviewTestWindow& operator=(const PreviewTestWindow&) = delete;

  HWND Preview() const { return m_Preview; }
  HWND Frame() const { return m_Frame; }
  void DestroyPreview();
  // Dispatches this thread's messages until the condition holds or the limit passes.
  bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 20000);
  int QueuedFrame() const;
  int PresentedFrame() const;
  bool FramesCaughtUp() const;

 private:
  HWND m_Frame = nullptr;
  HWND m_Preview = nullptr;
  int m_PreviousSetting = 0;
};

// The analysis stand-in: the start-up hook reports ready only while this is true.
extern std::atomic<bool> gTestAnalysisReady;
extern std::atomic<int> gTestStartupCompletions;  // INITSTATE_COMPLETE calls seen
extern std::atomic<int> gTestParametersReceived;  // INITSTATE_PARAMETERS_RECEIVED calls seen
void* TestProductHook(int operation, void* record);

// Records every drawn request; while gHoldFrames is set, a frame waits (until released or, when
// gHoldIgnoresAbort is false, until the task is told to stop) before it is drawn.
extern std::atomic<bool> gHoldFrames;
extern std::atomic<bool> gHoldIgnoresAbort;
extern std::atomic<int> gFramesHeld;  // frames that reached the hold
void RecordingFrameHook(const PendingParameterSet& entry);
std::vector<DrawnRequest> DrawnRequests();
void ClearDrawnRequests();

// Installs the product and frame hooks for its lifetime and restores the defaults.
class PreviewHooks {
 public:
  PreviewHooks();
  ~PreviewHooks();
  PreviewHooks(const PreviewHooks&) = delete;
  PreviewHooks& operator=(const PreviewHooks&) = delete;
};

HRGN MakeRegion(int left, int top, int right, int bottom);
// A splash as the resources give one: a DIB section in one colour, 24 or 32 bits a pixel, its
// rows bottom-up or top-down.
HBITMAP MakeSplashBitmap(int width, int height, COLORREF colour, int bitCount, bool bottomUp);
