// Callbacks that a host hands the plug-in. Progress is shown as whole percentages; the abort
// test answers true once progress reaches the --cancel-at percentage.
#include "HostCallbacks.h"

#include "ActionSuites.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

std::mutex gCallbackMutex;
HostObservations gObservations;
HostCallbackSettings gSettings;

Boolean TestAbort() {
  std::lock_guard<std::mutex> lock(gCallbackMutex);
  if (gSettings.trace) fprintf(gSettings.trace, "trace: abortProc()\n");
  ++gObservations.abortCalls;
  bool cancel = gSettings.cancelAtPercent >= 0 && std::max(gObservations.lastPercent, 0) >= gSettings.cancelAtPercent;
  if (cancel && !gObservations.abortAnswered && gSettings.progress) fprintf(gSettings.progress, "filterhost: cancel requested\n");
  gObservations.abortAnswered = gObservations.abortAnswered || cancel;
  return cancel ? 1 : 0;
}

void UpdateProgress(int32 done, int32 total) {
  std::lock_guard<std::mutex> lock(gCallbackMutex);
  if (gSettings.trace) fprintf(gSettings.trace, "trace: progressProc(%d, %d)\n", done, total);
  ++gObservations.progressCalls;
  if (total <= 0) return;
  int percent = int((int64_t(done) * 100) / total);
  if (percent / 10 != gObservations.lastPercent / 10 && gSettings.progress) {
    fprintf(gSettings.progress, "progress %d%%\n", percent);
    fflush(gSettings.progress);
  }
  gObservations.lastPercent = percent;
}

OSErr GetProperty(PIType signature, PIType key, int32 index, intptr_t* simple, Handle* complex) {
  if (gSettings.trace) fprintf(gSettings.trace, "trace: getPropertyProc(%08X, %08X, %d)\n", signature, key, index);
  if (simple) *simple = 0;
  if (complex) *complex = nullptr;
  return errPlugInPropertyUndefined;
}

OSErr SetProperty(PIType signature, PIType key, int32 index, intptr_t simple, Handle /*complex*/) {
  if (gSettings.trace) fprintf(gSettings.trace, "trace: setPropertyProc(%08X, %08X, %d, %lld)\n", signature, key, index, (long long)simple);
  std::lock_guard<std::mutex> lock(gCallbackMutex);
  if (signature != kPhotoshopSignature || key != propWatchSuspension) return errPlugInPropertyUndefined;
  ++gObservations.watchSetCalls;
  gObservations.watchValue = simple;
  return noErr;
}

SPErr SetErrorFromCString(const char* text) {
  std::lock_guard<std::mutex> lock(gCallbackMutex);
  gObservations.errorSuiteText = text != nullptr ? text : "";
  return kSPNoError;
}

SPErr SetErrorFromPString(const unsigned char* text) {
  std::lock_guard<std::mutex> lock(gCallbackMutex);
  gObservations.errorSuiteText = text != nullptr ? std::string(reinterpret_cast<const char*>(text + 1), text[0]) : "";
  return kSPNoError;
}

SPErr SetErrorFromZString(ASZString) { return kSPUnimplementedError; }

PSErrorSuite1 gErrorSuite = {SetErrorFromPString, SetErrorFromCString, SetErrorFromZString};
PropertyProcs gPropertySuite{};

SPErr AcquireSuite(const char* name, int32 version, const void** suite) {
  if (gSettings.trace) fprintf(gSettings.trace, "trace: SPBasic->AcquireSuite(\"%s\", %d)\n", name, version);
  if (suite == nullptr || name == nullptr) return kSPBadParameterError;
  *suite = nullptr;
  if (strcmp(name, kPIPropertySuite) == 0 && version == kPIPropertySuiteVersion1) {
    gPropertySuite = HostPropertyProcs();
    *suite = &gPropertySuite;
  } else if (strcmp(name, kPSErrorSuite) == 0 && version == kPSErrorSuiteVersion1) {
    *suite = &gErrorSuite;
  } else if (const void* action = AcquireActionSuite(name, version)) {
    *suite = action;
  } else {
    return kSPSuiteNotFoundError;
  }
  std::lock_guard<std::mutex> lock(gCallbackMutex);
  ++gObservations.acquisitions;
  return kSPNoError;
}

SPErr ReleaseSuite(const char* name, int32 version) {
  if (gSettings.trace) fprintf(gSettings.trace, "trace: SPBasic->ReleaseSuite(\"%s\", %d)\n", name, version);
  std::lock_guard<std::mutex> lock(gCallbackMutex);
  ++gObservations.releases;
  return kSPNoError;
}

SPBoolean IsEqual(const char* a, const char* b) { return a != nullptr && b != nullptr && strcmp(a, b) == 0; }

SPErr AllocateBlock(size_t size, void** block) {
  if (block == nullptr) return kSPBadParameterError;
  *block = malloc(size);
  return *block != nullptr ? kSPNoError : kSPOutOfMemoryError;
}

SPErr FreeBlock(void* block) {
  free(block);
  return kSPNoError;
}

SPErr ReallocateBlock(void* block, size_t size, void** newBlock) {
  if (newBlock == nullptr) return kSPBadParameterError;
  *newBlock = realloc(block, size);
  return *newBlock != nullptr ? kSPNoError : kSPOutOfMemoryError;
}

SPErr Undefined() { return kSPUnimplementedError; }

SPBasicSuite gBasicSuite = {AcquireSuite, ReleaseSuite, IsEqual, AllocateBlock, FreeBlock, ReallocateBlock, Undefined};

}  // namespace

HostObservations& GetHostObservations() { return gObservations; }
HostCallbackSettings& GetHostCallbackSettings() { return gSettings; }

void ResetHostObservations() {
  std::lock_guard<std::mutex> lock(gCallbackMutex);
  gObservations = HostObservations{};
}

TestAbortProc HostAbortProc() { return TestAbort; }
ProgressProc HostProgressProc() { return UpdateProgress; }

PropertyProcs HostPropertyProcs() {
  if (!gSettings.offerPropertyProcs) return PropertyProcs{0, 0, GetProperty, SetProperty};
  return PropertyProcs{1, 2, GetProperty, SetProperty};
}

SPBasicSuite* HostBasicSuite() { return gSettings.offerBasicSuite ? &gBasicSuite : nullptr; }
