// Actions: the host's descriptor is read at start to take over recorded values and to decide
// whether the dialog opens, and a descriptor of the final values is written at finish.
#pragma once
#include <cstdint>

#include "PIActions.h"
#include "params/ParameterBlock.h"

// One row per scripted parameter, in the order values are written; ends with a 'null' row.
struct ScriptKeyRow {
  ParameterIndex index;
  DescriptorTypeID valueType;
  DescriptorTypeID enumerationType;
  DescriptorUnitID unit;
  DescriptorKeyID key;
};
constexpr int kScriptKeyCount = 14;
extern const ScriptKeyRow kScriptKeys[kScriptKeyCount + 1];

constexpr int16_t kHostInsufficient = -30900;
constexpr int32_t kScriptBadParameter = 0x5061726D;  // 'Parm'

// Start selector: the decision comes in from ShowDialogFlag and goes out as the host's play
// info and the descriptor say. 0, or -148 when memory is exhausted.
int16_t ReadScriptParametersUI(bool* showDialog);
// 0 when the record may be applied, -30900 when there is nothing to read or it must not be
// applied, otherwise the failing read's code.
int16_t ReadScriptParameters(ParameterRecord* record, bool* showDialog);
// Finish selector: the current values into a new descriptor for the host.
int32_t WriteFinalScriptParameters();
int32_t WriteScriptParameters(const ParameterRecord& record);

// The descriptor's value of a parameter from the block's, and back (a float for every 'doub' row).
double ScriptValueOfBlock(const ScriptKeyRow& row, int32_t blockValue);
int32_t BlockValueOfScript(const ScriptKeyRow& row, double scriptValue);

// Editors whose descriptors never match the set: they are given the dialog and nothing is applied.
bool HostIsSpecialScriptingEditor(const wchar_t* executablePath);
