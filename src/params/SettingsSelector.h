// The settings selector's entries: "Default Settings", "Initial Settings", then one entry per
// stored parameter set of the Parameters folder, each owning its record. The dialog's drop-down
// list shows these entries; the operations here keep them, apply them and store them.
#pragma once
#include <string>
#include <vector>

#include "params/ParameterBlock.h"

struct SettingsEntry {
  std::wstring name;
  ParameterRecord* record;
};

struct SettingsSelector {
  std::vector<SettingsEntry> entries;
  int selected = -1;  // -1: no entry selected
};

constexpr int kDefaultSettingsEntry = 0;
constexpr int kInitialSettingsEntry = 1;
constexpr int kFirstFileEntry = 2;

// The two fixed entries (factory defaults, the block as the dialog found it), "Initial Settings"
// selected; false when their records could not be made.
bool InitializeSettingsSelector(SettingsSelector* selector);
// Appends an entry for every readable file of the Parameters folder, in the listing's order.
void PopulateSettingsSelector(SettingsSelector* selector);
void ReleaseSettingsSelector(SettingsSelector* selector);

int FindSettingsEntry(const SettingsSelector& selector, const std::wstring& name);
// Applies an entry's record to the current block; a record of another version changes nothing.
bool ApplySettingsEntry(SettingsSelector* selector, int index);
// Takes the record: replaces the record of the entry of that name, or inserts a new entry in
// name order among the files; then applies and selects it.
void AddOrReplaceSettingsEntry(SettingsSelector* selector, const std::wstring& name, ParameterRecord* record);
// Removes a file entry and deletes its file (the user has been asked).
void RemoveSettingsEntry(SettingsSelector* selector, int index);
