#include "ui/EffectEditor.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/TableOperations.h"
#include "core/Fractions.h"
#include "preview/PreviewImageSource.h"
#include "preview/PreviewViewState.h"
#include "resource.h"
#include "support/ErrorReport.h"
#include "ui/AcceleratorKeys.h"
#include "ui/ControlSets.h"
#include "ui/MainDialogHandlers.h"
#include "params/ParameterBlockService.h"
#include "ui/MainDialogState.h"
#include "ui/PreviewZoom.h"
#include "ui/Sliders.h"
#include "ui/ToolTips.h"

namespace {

constexpr double kPerFractionUnit = 2.3283064376228985e-10;  // 1 / 2^32
constexpr double kDisplayGamma = 2.2;
constexpr double kBalanceExponent = 0.63092;            // log 2 / log 3: one third of the gains → 0.5
constexpr double kInverseBalanceExponent = 1.5849870031065745;
constexpr wchar_t kAcceptCaption[] = L"Accept Edit";
constexpr wchar_t kCancelEditCaption[] = L"Cancel Edit";
constexpr wchar_t kAcceptTip[] = L"OK - Commit edits and return to the main controls.";
constexpr wchar_t kCancelEditTip[] = L"Cancel (Esc) - Discard edits and return to the main controls.";

struct SavedEntry {
  int64_t index;
  LightSource entry;
};

struct EditorState {
  int64_t index = -1;
  double openingX = 0, openingY = 0;
  std::vector<SavedEntry> undo;
  std::vector<int64_t> companions;  // emptied with the undo list; no further use
};
EditorState gEditor;  // user-interface thread only

HWND Dialog() {
  MainDialogState* state = CurrentMainDialog();
  return state != nullptr ? state->dialog : nullptr;
}

bool ValidIndex(int64_t index) { return index >= 0 && uint64_t(index) < gLightSourceTable.count; }

void TableChanged() {
  NoteLightSourceChange(&gLightSourceTable);
  QueuePreviewFromDialog();
}

void RestoreUndoList() {
  // An entry hidden with its remembered state hidden too was never a star of the picture: it was
  // added by a double-click and never accepted. Cancelled, it is superseded, so that no later Show,
  // Reveal or pick finds it as an invisible effect.
  for (const SavedEntry& saved : gEditor.undo) {
    if (!ValidIndex(saved.index)) continue;
    LightSource entry = saved.entry;
    if (entry.state == LIGHT_HIDDEN && entry.savedState == LIGHT_HIDDEN) {
      entry.state = entry.savedState = LIGHT_HIDDEN;
      entry.brightness = entry.intensity = 0;
      entry.red = entry.green = entry.blue = 0;
      entry.flags |= kLightSourceSuperseded;
    }
    WriteLightSourceEntry(&gLightSourceTable, uint64_t(saved.index), entry);
  }
  gEditor.undo.clear();
  gEditor.companions.clear();
  TableChanged();
}

int EditorSetForImage() { return CurrentPreviewImageSource().grayImage ? CTLSET_EDIT_GRAY : CTLSET_EDIT_COLOR; }

}  // namespace

EditorSliderValues EditorSlidersOfEntry(const LightSource& entry) {
  EditorSliderValues sliders{};
  double b = entry.brightness * kPerFractionUnit;
  sliders.values[0] = int16_t(std::lround(100.0 * std::pow(b, 1.0 / kDisplayGamma)));
  double gains[3] = {entry.red * kPerFractionUnit, entry.green * kPerFractionUnit, entry.blue * kPerFractionUnit};
  double m = (gains[0] + gains[1] + gains[2]) / 3.0;
  for (int c = 0; c < 3; ++c) {
    // Gains that are all zero have no balance to show: neutral rather than 0 / 0.
    double share = m > 0 ? gains[c] / (3.0 * m) : 1.0 / 3.0;
    sliders.values[1 + c] = int16_t(std::trunc(100.0 * std::pow(share, kBalanceExponent) - 50.0 + 1e-9));
  }
  sliders.values[4] = sliders.values[5] = 0;
  return sliders;
}

void ApplyEditorSliders(const EditorSliderValues& sliders, double openingX, double openingY, LightSource* entry) {
  double a = std::pow(sliders.values[0] / 100.0, kDisplayGamma);
  double c[3];
  for (int k = 0; k < 3; ++k) c[k] = std::pow((sliders.values[1 + k] + 50) / 100.0, kInverseBalanceExponent);
  double largest = std::max({c[0], c[1], c[2]});
  if (largest <= 0) {
    largest = 1;
    c[0] = c[1] = c[2] = 1;
  }
  entry->brightness = uint32_t(a * kFraction + 0.5);
  entry->red = uint32_t(c[0] / largest * a * kFraction);
  entry->green = uint32_t(c[1] / largest * a * kFraction);
  entry->blue = uint32_t(c[2] / largest * a * kFraction);
  entry->x = openingX + sliders.values[4] * 0.01;
  entry->y = openingY + sliders.values[5] * 0.01;
}

void StartEditor(int set) {
  gEditor.undo.clear();
  gEditor.companions.clear();
  gEditor.index = -1;
  HWND dialog = Dialog();
  if (dialog == nullptr) return;
  SetDlgItemTextW(dialog, IDOK, kAcceptCaption);
  UpdateToolTip(dialog, IDOK, kAcceptTip);
  SetDlgItemTextW(dialog, IDCANCEL, kCancelEditCaption);
  UpdateToolTip(dialog, IDCANCEL, kCancelEditTip);
  ShowSlidersForSet(dialog, set);
  if (!RegisterAcceleratorKeys(dialog, EditorAcceleratorTable())) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "StartEditor() - No accelerator key table could registered for window 0x%X.",
                unsigned(reinterpret_cast<uintptr_t>(dialog)));
  }
  SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDOK)), TRUE);
}

bool EditorControlSetHandler(int event, intptr_t) {
  switch (event) {
    case CTLSETEVNT_ENTER: StartEditor(GetCurrentControlSet()); return true;
    case CTLSETEVNT_END_OK:
      gEditor.index = -1;
      return true;
    case CTLSETEVNT_END_CANCEL:
      RestoreUndoList();
      gEditor.index = -1;
      return true;
    case CTLSETEVNT_SLIDERS_CHANGED:
      if (ValidIndex(gEditor.index)) {
        LightSource entry = gLightSourceTable.Entries()[gEditor.index];  // this thread is the only writer
        ApplyEditorSliders(gEditorSliderValues, gEditor.openingX, gEditor.openingY, &entry);
        WriteLightSourceEntry(&gLightSourceTable, uint64_t(gEditor.index), entry);
        TableChanged();
      }
      return true;
    case CTLSETEVNT_LEAVE:
      if (HWND dialog = Dialog()) UnregisterAcceleratorKeys(dialog);
      return true;
    case 4: case 5: case 6: case CTLSETEVNT_KEYSTATE: return true;
  }
  return false;
}

bool OpenEffectForEditing(int64_t index) {
  if (!ValidIndex(index)) return false;
  LightSource entry = gLightSourceTable.Entries()[index];
  gEditor.index = index;
  gEditor.openingX = entry.x;
  gEditor.openingY = entry.y;
  bool saved = std::any_of(gEditor.undo.begin(), gEditor.undo.end(), [&](const SavedEntry& s) { return s.index == index; });
  if (!saved) gEditor.undo.push_back(SavedEntry{index, entry});
  entry.state = LIGHT_FORCED;
  WriteLightSourceEntry(&gLightSourceTable, uint64_t(index), entry);
  gEditorSliderValues = EditorSlidersOfEntry(entry);
  if (HWND dialog = Dialog()) RefreshSliders(dialog);
  TableChanged();
  return true;
}

bool SelectEffectForEditing(POINT previewPoint) {
  double x = 0, y = 0;
  PreviewPointToImage(previewPoint, &x, &y);
  int32_t quantity = 0;
  if (const ParameterBlock* block = CurrentParameterBlock()) quantity = block->quantity;
  // The nearest effect the user can see, or one this editing already opened.
  int64_t index = NearestVisibleLightSource(gLightSourceTable, x, y, quantity, gPreviewViewState.zoom);
  if (index < 0) return false;
  SelectControlSet(EditorSetForImage());
  return OpenEffectForEditing(index);
}

bool AddEffectForEditing(POINT previewPoint) {
  double x = 0, y = 0;
  PreviewPointToImage(previewPoint, &x, &y);
  int64_t index = AddLightSourceAt(&gLightSourceTable, x, y);
  if (index < 0) return false;
  SelectControlSet(EditorSetForImage());
  return OpenEffectForEditing(index);
}

size_t EditorUndoCount() { return gEditor.undo.size(); }
