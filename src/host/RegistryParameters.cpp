// Registry entries hold one descriptor with the 255-byte record as raw data under 'PBlk'. Hosts
// may grant the action descriptor suite in version 3 or only in version 2; both serve here.
#include "host/RegistryParameters.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <initializer_list>

#include "PISuites.h"
#include "host/HostState.h"
#include "host/ScriptParameters.h"
#include "params/ParameterBlockService.h"
#include "params/ParameterFiles.h"
#include "support/ErrorReport.h"
#include "support/ModuleInstance.h"

namespace {

constexpr DescriptorKeyID kRecordKey = FourCC("PBlk");
constexpr wchar_t kRegistrylessEditor[] = L"\\xxxxxxxx\\xxxxxxxxx";

struct RegistrySuites {
  SPBasicSuite* basic = nullptr;
  const PSDescriptorRegistryProcs* registry = nullptr;
  const PSActionDescriptorProcs* descriptors = nullptr;
  int32 descriptorVersion = 0;
};

bool AcquireSuites(RegistrySuites* suites) {
  SPBasicSuite* basic = gFilterRecord != nullptr ? gFilterRecord->sSPBasic : nullptr;
  if (basic == nullptr || basic->AcquireSuite == nullptr || basic->ReleaseSuite == nullptr) return false;
  suites->basic = basic;
  const void* suite = nullptr;
  if (basic->AcquireSuite(kPSDescriptorRegistrySuite, 1, &suite) != kSPNoError || suite == nullptr) return false;
  suites->registry = static_cast<const PSDescriptorRegistryProcs*>(suite);
  for (int32 version : {3, 2}) {
    suite = nullptr;
    if (basic->AcquireSuite(kPSActionDescriptorSuite, version, &suite) == kSPNoError && suite != nullptr) {
      suites->descriptors = static_cast<const PSActionDescriptorProcs*>(suite);
      suites->descriptorVersion = version;
      return true;
    }
  }
  basic->ReleaseSuite(kPSDescriptorRegistrySuite, 1);
  suites->registry = nullptr;
  return false;
}

void ReleaseSuites(RegistrySuites* suites) {
  if (suites->descriptors != nullptr) suites->basic->ReleaseSuite(kPSActionDescriptorSuite, suites->descriptorVersion);
  if (suites->registry != nullptr) suites->basic->ReleaseSuite(kPSDescriptorRegistrySuite, 1);
  *suites = RegistrySuites{};
}

bool HostLacksRegistry() {
  wchar_t path[MAX_PATH * 2] = L"";
  return GetHostExecutablePath(path, MAX_PATH * 2) && wcsstr(path, kRegistrylessEditor) != nullptr;
}

// Applies a stored record (converted when it can be); the result code of the read.
int16_t ApplyStoredRecord(ParameterRecord* stored) {
  RecordVersionState state;
  ParameterRecord* current = CurrentRecordOf(stored, &state);
  if (current == nullptr) {
    ParameterVersion version = BlockOfRecord(*stored).version;
    const ParameterVersion& now = kCurrentParameterVersion;
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleWarning, kTitleDebugWarning,
                "No parameter conversion could be done, using defaults.  Stored version = %d.%d.%d.%d, current version = %d.%d.%d.%d\n",
                version.major, version.minor, version.revision, version.build, now.major, now.minor, now.revision, now.build);
    return kRegistryVersionIncompatible;
  }
  ParameterBlockService(PARAMSVC_APPLY, current);
  if (current != stored) FreeParameterRecord(current);
  return noErr;
}

}  // namespace

int16_t ReadRegistryParameters() {
  RegistrySuites suites;
  if (HostLacksRegistry() || !AcquireSuites(&suites)) return kHostInsufficient;
  const PSActionDescriptorProcs& procs = *suites.descriptors;
  int16_t result = kHostInsufficient;
  PIActionDescriptor descriptor = nullptr;
  if (suites.registry->Get(kRegistryKey, &descriptor) == kSPNoError && descriptor != nullptr) {
    int32 length = 0;
    if (procs.GetDataLength(descriptor, kRecordKey, &length) != kSPNoError || length <= 0) {
      ErrorReport(__LINE__, DebugMessage)
          .Report(kStyleError, kTitleUnexpectedError, "ReadRegistryParameters() couldn't get the parameter block length or it was zero.");
    } else {
      // The record is 255 bytes; a longer entry is read whole and its first 255 bytes used, a
      // shorter one leaves the rest zero.
      auto* data = static_cast<unsigned char*>(calloc(size_t(length) < sizeof(ParameterRecord) ? sizeof(ParameterRecord) : size_t(length), 1));
      if (data == nullptr || procs.GetData(descriptor, kRecordKey, data) != kSPNoError) {
        ErrorReport(__LINE__, DebugMessage)
            .Report(kStyleError, kTitleUnexpectedError, "ReadRegistryParameters() couldn't read parameter data from the registry.");
      } else {
        ParameterRecord stored;
        memcpy(stored.bytes, data, sizeof stored.bytes);
        result = ApplyStoredRecord(&stored);
      }
      free(data);
    }
    procs.Free(descriptor);
  }
  ReleaseSuites(&suites);
  return result;
}

int16_t WriteRegistryParameters() {
  RegistrySuites suites;
  if (!AcquireSuites(&suites)) return kHostInsufficient;
  const PSActionDescriptorProcs& procs = *suites.descriptors;
  int16_t result = kHostInsufficient;
  PIActionDescriptor descriptor = nullptr;
  auto* snapshot = reinterpret_cast<ParameterRecord*>(ParameterBlockService(PARAMSVC_SNAPSHOT, nullptr));
  if (snapshot != nullptr && procs.Make(&descriptor) == kSPNoError && descriptor != nullptr &&
      procs.PutData(descriptor, kRecordKey, int32(sizeof snapshot->bytes), snapshot->bytes) == kSPNoError) {
    if (suites.registry->Register(kRegistryKey, descriptor, true) == kSPNoError) {
      result = noErr;
    } else {
      ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "WriteRegistryParameters() failed to register the data.");
    }
  }
  if (descriptor != nullptr) procs.Free(descriptor);
  FreeParameterRecord(snapshot);
  ReleaseSuites(&suites);
  return result;
}
