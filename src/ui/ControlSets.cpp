// The current control set and the handlers of the sets. User-interface thread only.
#include "ui/ControlSets.h"

#include "ui/ControlFamilies.h"

namespace {

ControlSetHandler gControlSetHandlers[CTLSET_COUNT] = {};
int gCurrentControlSet = CTLSET_NONE;
HWND gControlSetWindow = nullptr;

bool HandlerAnswers(int set) { return set > CTLSET_NONE && set < CTLSET_COUNT && gControlSetHandlers[set] != nullptr; }

void SwitchTo(int index) {
  if (HandlerAnswers(gCurrentControlSet)) gControlSetHandlers[gCurrentControlSet](CTLSETEVNT_LEAVE, 0);
  // The set is current before its controls and handler see it, so that they read the new set.
  gCurrentControlSet = index;
  if (gControlSetWindow != nullptr) ShowControlFamilies(gControlSetWindow, index);
  if (HandlerAnswers(index)) gControlSetHandlers[index](CTLSETEVNT_ENTER, index);
  if (gControlSetWindow != nullptr) {
    InvalidateRect(gControlSetWindow, nullptr, TRUE);
    UpdateWindow(gControlSetWindow);
  }
}

}  // namespace

void AttachControlSets(HWND dialog) { gControlSetWindow = dialog; }

void InstallControlSetHandler(int set, ControlSetHandler handler) {
  if (set > CTLSET_NONE && set < CTLSET_COUNT) gControlSetHandlers[set] = handler;
}

bool SelectControlSet(int index) {
  if (index < CTLSET_NONE || index >= CTLSET_COUNT) return false;
  if (index != gCurrentControlSet) SwitchTo(index);
  return true;
}

int GetCurrentControlSet() { return gCurrentControlSet; }

bool SendControlSetEvent(int event, intptr_t argument) {
  if (!HandlerAnswers(gCurrentControlSet)) return false;
  return gControlSetHandlers[gCurrentControlSet](event, argument);
}

void ReturnToMainControlSet() {
  if (gCurrentControlSet != CTLSET_MAIN) SwitchTo(CTLSET_MAIN);
}

void ClearControlSets() {
  gCurrentControlSet = CTLSET_NONE;
  gControlSetWindow = nullptr;
  for (ControlSetHandler& handler : gControlSetHandlers) handler = nullptr;
}
