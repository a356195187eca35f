// The parameter service: factory records, snapshots, apply, compare, convert 0.0.0.5, reset, and
// value access by ParameterIndex on the current block.
#include "params/ParameterBlockService.h"

#include <cstring>

#include "support/ErrorReport.h"
#include "support/FaultInjection.h"

namespace {

ParameterBlock* gCurrentBlock = nullptr;

constexpr ParameterServiceInfo kServiceInfo = {kCurrentParameterVersion, int32_t(kParameterRecordSize),
                                               int32_t(sizeof(ParameterBlock))};

ParameterRecord* Snapshot() {
  if (gCurrentBlock == nullptr) return nullptr;
  ParameterBlock block = *gCurrentBlock;
  block.version = kCurrentParameterVersion;  // saved in the current version whatever was restored
  return NewParameterRecord(block);
}

intptr_t Apply(const ParameterRecord* record) {
  if (gCurrentBlock == nullptr || record == nullptr) return 0;
  ParameterBlock stored = BlockOfRecord(*record);
  ClampParameterBlock(&stored);
  gCurrentBlock->version = stored.version;
  for (const ParameterRow& row : kParameterRows) SetBlockValue(gCurrentBlock, row.index, GetBlockValue(stored, row.index));
  return 1;
}

// Only 0.0.0.5 converts: same layout, but its Spike Spread field meant nothing, so it becomes 0.
// The result is a whole 255-byte record, as every other record is, so callers may store it as one.
ParameterRecord* Convert(const ParameterRecord* record) {
  if (record == nullptr) return nullptr;
  ParameterBlock block = BlockOfRecord(*record);
  if (!SameVersion(block.version, kConvertibleParameterVersion)) return nullptr;
  block.spikeSpread = 0;
  block.version = kCurrentParameterVersion;
  return FaultInjected(FAULT_PARAMETER_CONVERSION_MEMORY) ? nullptr : NewParameterRecord(block);
}

}  // namespace

void BindCurrentParameterBlock(ParameterBlock* block) { gCurrentBlock = block; }
ParameterBlock* CurrentParameterBlock() { return gCurrentBlock; }

intptr_t ParameterBlockService(int32_t operation, void* argument) {
  switch (operation) {
    case PARAMSVC_VERSION_INFO:
      return reinterpret_cast<intptr_t>(&kServiceInfo);
    case PARAMSVC_NEW_FACTORY_RECORD:
      return reinterpret_cast<intptr_t>(NewParameterRecord(InitialParameterBlock()));
    case PARAMSVC_SNAPSHOT:
      return reinterpret_cast<intptr_t>(Snapshot());
    case PARAMSVC_APPLY:
      return Apply(static_cast<const ParameterRecord*>(argument));
    case PARAMSVC_EQUALS_CURRENT:
      if (gCurrentBlock == nullptr || argument == nullptr) return 0;
      return SameParameterValues(BlockOfRecord(*static_cast<const ParameterRecord*>(argument)), *gCurrentBlock) ? 1 : 0;
    case PARAMSVC_CONVERT:
      return reinterpret_cast<intptr_t>(Convert(static_cast<const ParameterRecord*>(argument)));
    case PARAMSVC_RESET:
      if (gCurrentBlock == nullptr) return 0;
      *gCurrentBlock = InitialParameterBlock();
      return 1;
    case PARAMSVC_GET_VALUE:
      if (gCurrentBlock == nullptr) return 0;
      return GetBlockValue(*gCurrentBlock, int32_t(reinterpret_cast<intptr_t>(argument)));
    case PARAMSVC_SET_VALUE: {
      const auto* pair = static_cast<const ParameterValuePair*>(argument);
      if (gCurrentBlock == nullptr || pair == nullptr) return 0;
      return SetBlockValue(gCurrentBlock, pair->index, pair->value) ? 1 : 0;
    }
    default:
      return 0;
  }
}

void ReportParameterVersionMismatch(const ParameterVersion& stored) {
  const ParameterVersion& current = kCurrentParameterVersion;
  ErrorReport(__LINE__, DebugMessage)
      .Report(kStyleWarning, kTitleDebugWarning,
              "User Setting File version mismatch.\n\nFile Version = %d.%d.%d.%d, Expected Version = %d.%d.%d.%d.\n\n"
              "Conversion will be performed if possible.",
              stored.major, stored.minor, stored.revision, stored.build, current.major, current.minor,
              current.revision, current.build);
}
