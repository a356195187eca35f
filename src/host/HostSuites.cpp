// Acquires and releases the Property and Error suites. Hosts may offer no SPBasic at all, or a
// property table that reports no procedures; both are served without the suites.
#include "host/HostSuites.h"

#include "host/HostState.h"
#include "support/ErrorReport.h"

namespace {

SPBasicSuite* BasicSuite() { return gFilterRecord != nullptr ? gFilterRecord->sSPBasic : nullptr; }

template <typename Suite>
const Suite* Acquire(SPBasicSuite* basic, const char* name, int32 version) {
  if (basic == nullptr || basic->AcquireSuite == nullptr) return nullptr;
  const void* suite = nullptr;
  if (basic->AcquireSuite(name, version, &suite) != kSPNoError) return nullptr;
  return static_cast<const Suite*>(suite);
}

}  // namespace

void AcquireHostSuites() {
  if (gHost.suitesAcquired) return;
  SPBasicSuite* basic = BasicSuite();
  gHost.propertySuite = Acquire<PropertyProcs>(basic, kPIPropertySuite, kPIPropertySuiteVersion1);
  gHost.errorSuite = Acquire<PSErrorSuite1>(basic, kPSErrorSuite, kPSErrorSuiteVersion1);
  gHost.suitesAcquired = true;
}

// The suites are released through the SPBasic of the current record; a host that has gone away
// between acquisition and release would take its suites with it.
void ReleaseHostSuites() {
  SPBasicSuite* basic = BasicSuite();
  if (basic != nullptr && basic->ReleaseSuite != nullptr) {
    if (gHost.errorSuite != nullptr) basic->ReleaseSuite(kPSErrorSuite, kPSErrorSuiteVersion1);
    if (gHost.propertySuite != nullptr) basic->ReleaseSuite(kPIPropertySuite, kPIPropertySuiteVersion1);
  }
  gHost.errorSuite = nullptr;
  gHost.propertySuite = nullptr;
  gHost.suitesAcquired = false;
}

// Asks the host not to watch the document for changes while the filter runs.
void SuspendHostWatch() {
  const PropertyProcs* procs = gHost.propertySuite;
  if (procs == nullptr || procs->numPropertyProcs < 2 || procs->setPropertyProc == nullptr) return;
  OSErr error = procs->setPropertyProc(kPhotoshopSignature, propWatchSuspension, 0, 1, nullptr);
  if (error != noErr) {
    ErrorReport(__LINE__, TraceMessage).Report("DoStart() - Setting the host's watch suspension returned %d.", error);
  }
}
