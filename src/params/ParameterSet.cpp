// The values of rendering requests, copied from a block through the parameter table.
#include "params/ParameterSet.h"

#include <cstdlib>
#include <cstring>

#include "params/ParameterBlockService.h"
#include "support/ErrorReport.h"

void CopyBlockValuesIntoSet(const ParameterBlock& block, ParameterSet* set) {
  auto* bytes = reinterpret_cast<unsigned char*>(set);
  for (const ParameterRow& row : kParameterRows) {
    int32_t value = GetBlockValue(block, row.index);
    if (row.index == PARAM_EFFECT_TYPE) {
      uint32_t type = uint32_t(value);
      memcpy(bytes + row.setOffset, &type, sizeof type);
    } else {
      int16_t stored = int16_t(value);
      memcpy(bytes + row.setOffset, &stored, sizeof stored);
    }
  }
}

ParameterSet ParameterSetOfCurrentBlock() {
  ParameterSet set{};
  set.zoom = 100.0;
  if (const ParameterBlock* block = CurrentParameterBlock()) CopyBlockValuesIntoSet(*block, &set);
  return set;
}

void FreeParameterSet(ParameterSet* set) { free(set); }

void TraceRenderingParameters(const char* message, const ParameterSet* set) {
  if (set != nullptr) return;
  ErrorReport(__LINE__, DebugMessage)
      .Report(kStyleError, kTitleUnexpectedError,
              "TraceRenderingParameters() - A NULL pointer was specified for Parameter Set argument.  Message: '%s'",
              message != nullptr ? message : "(null)");
}
