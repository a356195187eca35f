// The effect editor: one star at a time made brighter or dimmer, tinted and moved, written
// straight into its light-source entry so that the preview follows, with every entry it touched
// kept as it was until the user accepts or cancels.
#pragma once
#include <windows.h>

#include <cstdint>

#include "analysis/LightSourceTable.h"
#include "ui/EditorSliderValues.h"

// The editor's control-set handler, for both editor sets.
bool EditorControlSetHandler(int event, intptr_t argument);
void StartEditor(int set);

// The Edit tool's click: the nearest effect within the pick radius, opened in the editor; false
// when there is none (nothing changes).
bool SelectEffectForEditing(POINT previewPoint);
// The Edit tool's double-click: a new effect at the point, opened in the editor.
bool AddEffectForEditing(POINT previewPoint);
bool OpenEffectForEditing(int64_t index);

// The sliders for an entry, and the entry for the sliders (opening position kept apart).
EditorSliderValues EditorSlidersOfEntry(const LightSource& entry);
void ApplyEditorSliders(const EditorSliderValues& sliders, double openingX, double openingY, LightSource* entry);
// Entries kept for undo (tests).
size_t EditorUndoCount();
