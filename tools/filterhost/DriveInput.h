// Mouse and keyboard input through the system's queue, as a user's hands produce it, and the
// knowledge of when the dialog's thread has taken it from its queue.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "DriveScript.h"

// Watches the input that the dialog's thread takes from its queue, so that a command ends only
// when the dialog has seen its input, not when the input was sent.
class InputWatch {
 public:
  InputWatch() = default;
  ~InputWatch();
  InputWatch(const InputWatch&) = delete;
  InputWatch& operator=(const InputWatch&) = delete;

  // Hooks the thread's message retrieval; false with *error when the hooks cannot be set.
  bool Attach(DWORD thread, std::string* error);
  void Detach();
  // The tag that the next event carries in its extra information.
  ULONG_PTR NextTag();
  // Waits until the thread took the event tagged `tag` from its queue or `dialog` is gone.
  bool WaitForTag(ULONG_PTR tag, HWND dialog, DWORD timeoutMs) const;

 private:
  HHOOK m_Hook = nullptr;
  HHOOK m_FilterHook = nullptr;
};

struct InputHands {
  InputWatch* watch = nullptr;
  HWND dialog = nullptr;
  DWORD timeoutMs = 10000;
  std::vector<WORD> held;  // keys held across commands (`hold`), in the order pressed
};

// Each sends its events with SendInput and waits until the dialog's thread took the last of them;
// false with *error when the input cannot be sent or never arrives.
bool MoveMouse(InputHands* hands, POINT screen, std::string* error);
bool ClickMouse(InputHands* hands, POINT screen, int clicks, std::string* error);
bool DragMouse(InputHands* hands, POINT from, POINT to, int steps, std::string* error);
// A drag whose steps start at a steady pace, `stepsPerSecond`, as a hand moving a slider does;
// *seconds is how long it took from the press to the release.
bool SweepMouse(InputHands* hands, POINT from, POINT to, int steps, double stepsPerSecond, double* seconds,
                std::string* error);
bool TurnWheel(InputHands* hands, POINT screen, int notches, std::string* error);
bool PressChord(InputHands* hands, const KeyChord& chord, std::string* error);
bool HoldKey(InputHands* hands, WORD key, std::string* error);
bool ReleaseKey(InputHands* hands, WORD key, std::string* error);
// Releases every held key, last held first (the end of a script, or its failure).
void ReleaseHeldKeys(InputHands* hands);
// Types text character by character through the keyboard layout.
bool TypeText(InputHands* hands, const std::string& text, std::string* error);
