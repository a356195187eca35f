// A small modal dialog shaped like the plug-in's for the tests of the host's driver: caption, OK,
// Cancel, a rich-edit value box, the effect list, the Effects Only box and a preview window with
// frame properties that records the mouse and keys it receives.
#pragma once
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "DriveScript.h"

struct PreviewEvent {
  UINT message;
  POINT at;       // client coordinates (mouse), or {0,0}
  WPARAM wParam;  // key, wheel delta in the high word, button state
  bool control;   // modifier state as the preview's thread saw it
  bool alt;
  bool shift;
};

// In front: active, for tests that send input. Behind: shown at the bottom of the windows and off
// in a corner without activation, so that tests without input run beside those that send it.
enum StandInPlace { STANDIN_IN_FRONT, STANDIN_BEHIND };

class StandInDialog {
 public:
  // `presentAfterMs` > 0: the dialog presents a queued frame that long after it was queued.
  explicit StandInDialog(StandInPlace place, UINT presentAfterMs = 0);
  ~StandInDialog();
  StandInDialog(const StandInDialog&) = delete;
  StandInDialog& operator=(const StandInDialog&) = delete;

  HWND Window() const { return m_Window; }
  // The result the dialog ended with; -1 while it is open.
  INT_PTR Result() const { return m_Result; }
  bool Ended() const { return m_Result != -1; }
  // Queues a frame (and presents it after the delay, when one was given).
  void QueueFrame(LONG_PTR frame);
  void SetFrames(LONG_PTR queued, LONG_PTR presented);
  std::vector<PreviewEvent> PreviewEvents() const;
  HWND Control(int id) const { return GetDlgItem(m_Window, id); }

 private:
  static unsigned __stdcall Entry(void* self);
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK PreviewProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls(HWND window);

  UINT m_PresentAfterMs;
  bool m_Front;
  HANDLE m_Thread = nullptr;
  std::atomic<HWND> m_Window{nullptr};
  std::atomic<INT_PTR> m_Result{-1};
  mutable std::mutex m_EventsLock;
  std::vector<PreviewEvent> m_Events;
};

// The command of one script line, failing the test when the line does not parse.
DriveCommand ParsedDriveCommand(const std::string& line);
