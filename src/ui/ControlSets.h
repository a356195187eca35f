// The control-set machine: which set of controls the right-hand panel shows (the parameters or
// the effect editor), the handler each set answers with, and the switch between sets.
#pragma once
#include <windows.h>

#include <cstdint>

enum ControlSet : int {
  CTLSET_NONE = 0,
  CTLSET_MAIN = 1,
  CTLSET_EDIT_COLOR = 2,
  CTLSET_EDIT_GRAY = 3,
  CTLSET_COUNT
};

enum ControlSetEvent : int {
  CTLSETEVNT_ENTER = 0,
  CTLSETEVNT_END_OK = 1,
  CTLSETEVNT_END_CANCEL = 2,
  CTLSETEVNT_SLIDERS_CHANGED = 3,   // a slider of the set changed (argument: its row)
  CTLSETEVNT_SETTINGS_LOADED = 5,   // the settings selector loaded a stored set
  CTLSETEVNT_EFFECT_CHANGED = 6,    // the effect selector chose another style
  CTLSETEVNT_LEAVE = 7,
  CTLSETEVNT_KEYSTATE = 8,
  CTLSETEVNT_COUNT = 9
};

// The argument of CTLSETEVNT_KEYSTATE: key code in the low word, key-state word (the high word of
// the key message's lParam; its top bit is set when the key goes up) in the high word.
constexpr intptr_t KeyStateArgument(WORD keyCode, WORD keyState) { return intptr_t(uint32_t(keyCode) | uint32_t(keyState) << 16); }
constexpr WORD KeyCodeOf(intptr_t argument) { return WORD(argument & 0xFFFF); }
constexpr bool KeyReleased(intptr_t argument) { return (argument & 0x80000000) != 0; }

typedef bool (*ControlSetHandler)(int event, intptr_t argument);

// The window repainted on a switch (the main dialog); null clears the machine.
void AttachControlSets(HWND dialog);
void InstallControlSetHandler(int set, ControlSetHandler handler);
bool SelectControlSet(int index);
int GetCurrentControlSet();
// Sends an event to the current set's handler; false when no set is current, no handler is
// installed or the handler did not handle it.
bool SendControlSetEvent(int event, intptr_t argument);
// Back to the main set after an editor set ended with OK or Cancel.
void ReturnToMainControlSet();
// Forgets the current set without events (the dialog is being destroyed).
void ClearControlSets();
