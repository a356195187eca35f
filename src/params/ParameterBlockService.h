// The nine operations through which the settings, file and scripting code touch the current
// ParameterBlock without knowing its layout.
#pragma once
#include <cstdint>

#include "params/ParameterBlock.h"

enum ParameterServiceOperation : int32_t {
  PARAMSVC_VERSION_INFO = 0,
  PARAMSVC_NEW_FACTORY_RECORD = 1,
  PARAMSVC_SNAPSHOT = 2,
  PARAMSVC_APPLY = 3,
  PARAMSVC_EQUALS_CURRENT = 4,
  PARAMSVC_CONVERT = 5,
  PARAMSVC_RESET = 6,
  PARAMSVC_GET_VALUE = 7,
  PARAMSVC_SET_VALUE = 8,
  PARAMSVC_COUNT
};

// What operation 0 answers: the current version first, then what the settings selector needs.
struct ParameterServiceInfo {
  ParameterVersion version;
  int32_t recordSize;
  int32_t blockSize;
};

struct ParameterValuePair {
  int32_t index;  // ParameterIndex
  int32_t value;
};

intptr_t ParameterBlockService(int32_t operation, void* argument);

// The current block is the locked content of the host's parameters handle; the entry binds it
// while the handles are locked and unbinds it before unlocking.
void BindCurrentParameterBlock(ParameterBlock* block);
ParameterBlock* CurrentParameterBlock();

void ReportParameterVersionMismatch(const ParameterVersion& stored);
