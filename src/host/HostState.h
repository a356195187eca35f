// Process-wide state of the host entry: the records of the current selector call, the result
// cell, the locked host handles and the once-per-load flags. Written on the host's thread only.
#pragma once
#include <windows.h>

#include "PISuites.h"
#include "core/RunResult.h"
#include "params/ParameterBlock.h"

extern FilterRecord* gFilterRecord;  // null during the about selector
extern AboutRecord* gAboutRecord;    // only during the about selector
extern intptr_t* gDataCell;

struct HostGlobals {
  ParameterBlock* currentBlock = nullptr;  // locked content of the parameters handle
  uint8_t* showDialogFlag = nullptr;       // locked content of the data handle
  bool handlesLocked = false;
  bool initialized = false;
  bool suitesAcquired = false;
  const PropertyProcs* propertySuite = nullptr;
  const PSErrorSuite1* errorSuite = nullptr;
  bool comInitialized = false;     // InitUI has run for this load
  bool comNeedsUninitialize = false;  // CoInitialize succeeded here, so CoUninitialize is owed
  DWORD userInterfaceThreadId = 0;
  HWND ownerWindow = nullptr;
};
extern HostGlobals gHost;

inline bool ResultIsOk() { return gResult != nullptr && RunResult() == noErr; }
inline void SetResult(int16 value) { SetRunResult(value); }
