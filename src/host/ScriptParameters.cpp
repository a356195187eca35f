// Reading and writing the host's scripting descriptor through the filter record's read and write
// procedure tables, driven by the script key table.
#include "host/ScriptParameters.h"

#include <windows.h>

#include <cmath>
#include <cstring>
#include <cwchar>

#include "core/RunResult.h"
#include "host/HostState.h"
#include "params/ParameterBlockService.h"
#include "support/ErrorReport.h"
#include "support/ModuleInstance.h"

const ScriptKeyRow kScriptKeys[kScriptKeyCount + 1] = {
    {PARAM_EFFECTS_ONLY, typeBoolean, 0, 0, FourCC("opsO")},
    {PARAM_EFFECT_TYPE, typeEnumerated, FourCC("efTy"), 0, FourCC("stEf")},
    {PARAM_QUANTITY, typeFloat, 0, unitPercent, FourCC("qntY")},
    {PARAM_INTENSITY, typeFloat, 0, unitPercent, FourCC("Intn")},
    {PARAM_LENGTH, typeFloat, 0, unitPercent, FourCC("Lngt")},
    {PARAM_ANGLE, typeFloat, 0, unitAngle, FourCC("Angl")},
    {PARAM_NUMBER_OF_POINTS, typeInteger, 0, 0, FourCC("numP")},
    {PARAM_SPIKE_SHARPNESS, typeFloat, 0, unitPercent, FourCC("spsH")},
    {PARAM_COLOR_SATURATION, typeFloat, 0, unitPercent, FourCC("Strt")},
    {PARAM_RAINBOW_INTENSITY, typeFloat, 0, unitPercent, FourCC("rbwI")},
    {PARAM_RAINBOW_FREQUENCY, typeFloat, 0, unitPercent, FourCC("rbwF")},
    {PARAM_SECONDARY_SPIKE_INTENSITY, typeFloat, 0, unitPercent, FourCC("sspI")},
    {PARAM_SOFT_FLARE_INTENSITY, typeFloat, 0, unitPercent, FourCC("sflB")},
    {PARAM_SPIKE_SPREAD, typeFloat, 0, unitPercent, FourCC("spsP")},
    {PARAM_NONE, typeNull, 0, 0, 0},
};

namespace {

constexpr int kMostKeysRead = kScriptKeyCount + 10;
constexpr char kIncompleteSettings[] =
    "The settings provided by the editor do not match the expected set.  Some settings may have been set to defaults.";
static_assert(sizeof kIncompleteSettings - 1 == 112, "the error string carries the message with its length byte");

const wchar_t* const kSpecialEditors[] = {
    L"\\CorelDRAW Graphics Suite X6\\Programs\\CorelPP.exe",
    L"\\PhotoImpact X3\\Iedit_.dat",
    L"\\Corel PaintShop Pro X6 (64-bit)\\Corel PaintShop Pro.exe",
    L"\\Corel PaintShop Pro X6\\Corel PaintShop Pro.exe",
};

const ScriptKeyRow* RowOfKey(DescriptorKeyID key) {
  for (const ScriptKeyRow* row = kScriptKeys; row->valueType != typeNull; ++row) {
    if (row->key == key) return row;
  }
  return nullptr;
}

// Values beyond the integers are cut at the ends of the 32-bit range, so that no float converts
// outside what an integer can hold.
int32_t TruncatedInteger(double value) {
  if (!(value == value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return int32_t(std::trunc(value));
}

void StoreInRecord(ParameterRecord* record, ParameterIndex index, int32_t value) {
  ParameterBlock block = BlockOfRecord(*record);
  SetBlockValue(&block, index, value);
  memcpy(record->bytes, &block, sizeof block);
}

// Reads the value under the current key with the procedure of its row's type.
OSErr ReadValue(const ReadDescriptorProcs& procs, PIReadDescriptor token, const ScriptKeyRow& row, int32_t* value) {
  switch (row.valueType) {
    case typeBoolean: {
      Boolean flag = 0;
      if (procs.getBooleanProc == nullptr) return kHostInsufficient;
      OSErr error = procs.getBooleanProc(token, &flag);
      *value = flag != 0 ? 1 : 0;
      return error;
    }
    case typeEnumerated: {
      DescriptorEnumID code = 0;
      if (procs.getEnumeratedProc == nullptr) return kHostInsufficient;
      OSErr error = procs.getEnumeratedProc(token, &code);
      *value = int32_t(code);
      return error;
    }
    case typeInteger: {
      int32 number = 0;
      if (procs.getIntegerProc == nullptr) return kHostInsufficient;
      OSErr error = procs.getIntegerProc(token, &number);
      *value = BlockValueOfScript(row, double(number));
      return error;
    }
    default: {
      DescriptorUnitID unit = 0;
      real64 number = 0;
      if (procs.getUnitFloatProc == nullptr) return kHostInsufficient;
      OSErr error = procs.getUnitFloatProc(token, &unit, &number);
      *value = BlockValueOfScript(row, number);
      return error;
    }
  }
}

void SetHostErrorString(const char* text) {
  if (gFilterRecord->errorString == nullptr) return;
  size_t length = strlen(text);
  unsigned char* string = *gFilterRecord->errorString;
  string[0] = uint8_t(length);
  memcpy(string + 1, text, length);
}

bool HostIsSpecial() {
  wchar_t path[MAX_PATH * 2] = L"";
  return GetHostExecutablePath(path, MAX_PATH * 2) && HostIsSpecialScriptingEditor(path);
}

}  // namespace

bool HostIsSpecialScriptingEditor(const wchar_t* executablePath) {
  for (const wchar_t* editor : kSpecialEditors) {
    if (wcsstr(executablePath, editor) != nullptr) return true;
  }
  return false;
}

double ScriptValueOfBlock(const ScriptKeyRow& row, int32_t blockValue) {
  // Tenths divided by ten, so that 123 tenths are the double nearest to 12.3.
  if (row.valueType == typeFloat && row.unit == unitAngle) return blockValue / 10.0;
  return double(blockValue);
}

// Numbers are held to their parameter's range before they are kept, so that an action's
// 1e308 % is 100 %, not whatever its low 16 bits happen to be.
int32_t BlockValueOfScript(const ScriptKeyRow& row, double scriptValue) {
  const ParameterRow* parameter = FindParameterRow(row.index);
  switch (row.valueType) {
    case typeFloat:
    case typeInteger: {
      int32_t value = TruncatedInteger(row.unit == unitAngle ? scriptValue * 10.0 : scriptValue);
      return parameter != nullptr ? ClampedParameterValue(*parameter, value) : value;
    }
    case typeBoolean:
      return scriptValue != 0 ? 1 : 0;
    default:
      return int32_t(uint32_t(scriptValue));
  }
}

int16_t ReadScriptParametersUI(bool* showDialog) {
  auto* record = reinterpret_cast<ParameterRecord*>(ParameterBlockService(PARAMSVC_NEW_FACTORY_RECORD, nullptr));
  if (record == nullptr) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleScriptingError, "Could not get factory parameter block.");
    return kScriptingOutOfMemory;
  }
  if (gFilterRecord->descriptorParameters != nullptr && ReadScriptParameters(record, showDialog) == 0) {
    ParameterBlockService(PARAMSVC_APPLY, record);
  }
  FreeParameterRecord(record);
  return 0;
}

int16_t ReadScriptParameters(ParameterRecord* record, bool* showDialog) {
  PIDescriptorParameters* parameters = gFilterRecord->descriptorParameters;
  if (parameters == nullptr || parameters->readDescriptorProcs == nullptr || parameters->descriptor == nullptr) {
    return kHostInsufficient;
  }
  const ReadDescriptorProcs& procs = *parameters->readDescriptorProcs;
  if (procs.openReadDescriptorProc == nullptr || procs.getKeyProc == nullptr || procs.closeReadDescriptorProc == nullptr) {
    return kHostInsufficient;
  }
  DescriptorKeyID keys[kScriptKeyCount + 1] = {};
  for (int i = 0; i < kScriptKeyCount; ++i) keys[i] = kScriptKeys[i].key;
  PIReadDescriptor token = procs.openReadDescriptorProc(parameters->descriptor, keys);
  if (token == nullptr) return kHostInsufficient;
  int read = 0;
  bool mismatch = false;
  DescriptorKeyID key = 0;
  DescriptorTypeID type = 0;
  int32 flags = 0;
  while (read < kMostKeysRead && procs.getKeyProc(token, &key, &type, &flags)) {
    ++read;
    const ScriptKeyRow* row = RowOfKey(key);
    int32_t value = 0;
    // An unknown style is no value: the set is incomplete and the initial style stays.
    if (row == nullptr || ReadValue(procs, token, *row, &value) != noErr ||
        (row->index == PARAM_EFFECT_TYPE && !IsKnownEffectType(uint32_t(value)))) {
      mismatch = true;
      continue;
    }
    StoreInRecord(record, row->index, value);
  }
  if (read == 0) {
    // A descriptor without a single key carries nothing: the restored last parameters stay,
    // instead of being replaced by the factory defaults without a word. The play info still
    // decides the dialog, so that a silent replay stays silent.
    *showDialog = parameters->playInfo == plugInDialogDisplay;
    procs.closeReadDescriptorProc(token);
    return kHostInsufficient;
  }
  if (!mismatch && read == kScriptKeyCount) {
    *showDialog = parameters->playInfo == plugInDialogDisplay;
    procs.closeReadDescriptorProc(token);
    return noErr;
  }
  if (HostIsSpecial()) {
    *showDialog = true;
    procs.closeReadDescriptorProc(token);
    return kHostInsufficient;
  }
  ErrorReport(__LINE__, UserMessage).Report(kStyleWarning, "Incomplete Settings", "%s", kIncompleteSettings);
  if (parameters->playInfo == plugInDialogSilent) {
    *showDialog = false;
    SetHostErrorString(kIncompleteSettings);
  } else {
    *showDialog = true;
  }
  procs.closeReadDescriptorProc(token);
  return noErr;
}

int32_t WriteFinalScriptParameters() {
  if (gFilterRecord->descriptorParameters == nullptr) return kHostInsufficient;
  auto* snapshot = reinterpret_cast<ParameterRecord*>(ParameterBlockService(PARAMSVC_SNAPSHOT, nullptr));
  if (snapshot == nullptr) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleScriptingError, "Could not get current parameter block.");
    return kScriptingOutOfMemory;
  }
  int32_t result = WriteScriptParameters(*snapshot);
  FreeParameterRecord(snapshot);
  return result;
}

int32_t WriteScriptParameters(const ParameterRecord& record) {
  PIDescriptorParameters* parameters = gFilterRecord->descriptorParameters;
  if (parameters == nullptr || parameters->writeDescriptorProcs == nullptr) return kHostInsufficient;
  const WriteDescriptorProcs& procs = *parameters->writeDescriptorProcs;
  if (procs.openWriteDescriptorProc == nullptr || procs.closeWriteDescriptorProc == nullptr) return kHostInsufficient;
  PIWriteDescriptor token = procs.openWriteDescriptorProc();
  if (token == nullptr) return kHostInsufficient;
  ParameterBlock block = BlockOfRecord(record);
  int32_t failure = noErr;
  for (const ScriptKeyRow* row = kScriptKeys; row->valueType != typeNull && failure == noErr; ++row) {
    int32_t value = GetBlockValue(block, row->index);
    switch (row->valueType) {
      case typeBoolean:
        failure = procs.putBooleanProc != nullptr ? procs.putBooleanProc(token, row->key, Boolean(value != 0)) : kScriptBadParameter;
        break;
      case typeFloat: {
        real64 number = ScriptValueOfBlock(*row, value);
        failure = procs.putUnitFloatProc != nullptr ? procs.putUnitFloatProc(token, row->key, row->unit, &number) : kScriptBadParameter;
        break;
      }
      case typeEnumerated:
        failure = procs.putEnumeratedProc != nullptr
                      ? procs.putEnumeratedProc(token, row->key, row->enumerationType, DescriptorEnumID(uint32_t(value)))
                      : kScriptBadParameter;
        break;
      case typeInteger:
        failure = procs.putIntegerProc != nullptr ? procs.putIntegerProc(token, row->key, int32(int16_t(value))) : kScriptBadParameter;
        break;
      default:
        failure = kScriptBadParameter;
        break;
    }
  }
  if (failure != noErr) {
    // The host gets the token back so that it can free it; its old descriptor stays in place.
    Handle abandoned = nullptr;
    procs.closeWriteDescriptorProc(token, &abandoned);
    if (abandoned != nullptr && gFilterRecord->handleProcs != nullptr && gFilterRecord->handleProcs->disposeProc != nullptr) {
      gFilterRecord->handleProcs->disposeProc(abandoned);
    }
    ErrorReport(__LINE__, UserMessage).Report(kStyleError, kTitleScriptingError, "The Photoshop scripting parameters could not be saved.");
    return failure;
  }
  if (parameters->descriptor != nullptr && gFilterRecord->handleProcs != nullptr && gFilterRecord->handleProcs->disposeProc != nullptr) {
    gFilterRecord->handleProcs->disposeProc(parameters->descriptor);
  }
  parameters->descriptor = nullptr;
  Handle written = nullptr;
  OSErr closed = procs.closeWriteDescriptorProc(token, &written);
  parameters->descriptor = written;
  return closed;
}
