// Builds the five profiles of a run. Every step runs even after an earlier one failed, so the
// log names every profile that could not be had; missing ones fall back to sRGB where used.
#include "color/ColorProfiles.h"

#include <windows.h>

#include <lcms2.h>

#include <cstring>
#include <vector>

#include "color/TransformCache.h"
#include "core/BufferManager.h"
#include "core/ImageRecord.h"
#include "resource.h"
#include "support/ErrorReport.h"
#include "support/ModuleInstance.h"

namespace {

constexpr int kHostProfileCopies = 63;

struct RunProfiles {
  ColorProfile standard = nullptr;
  ColorProfile hostImage = nullptr;
  ColorProfile working = nullptr;
  ColorProfile linearWorking = nullptr;
  ColorProfile grayscaleWorking = nullptr;
};
RunProfiles gProfiles;
BufferDescriptor gHostProfileCopies[kHostProfileCopies];
int gHostProfileCopyCount = 0;

void ReportProfile(const char* text) {
  ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "%s", text);
}

// Keeps the profile, or reports its absence and marks the set incomplete.
void Require(ColorProfile profile, const char* failure, bool* complete) {
  if (profile != nullptr) return;
  ReportProfile(failure);
  *complete = false;
}

ColorProfile OpenHostProfile(const HostProfileSource& host) {
  if (host.profileHandle == nullptr || host.lockHandle == nullptr) return nullptr;
  const char* bytes = host.lockHandle(host.profileHandle, 0);
  if (bytes == nullptr) {
    ReportProfile("Could not acquire host editor-provided image color profile.");
    return nullptr;
  }
  ColorProfile profile = nullptr;
  if (gHostProfileCopyCount >= kHostProfileCopies) {
    ReportProfile("Could not allocate a cache block to store the host editor-provided image color profile.");
  } else if (host.profileSize <= 0 ||
             (gHostProfileCopies[gHostProfileCopyCount].size != uint64_t(host.profileSize) &&
              ReallocateBuffer(uint64_t(host.profileSize), &gHostProfileCopies[gHostProfileCopyCount]) != 0)) {
    ReportProfile("Could not allocate memory to store the host editor-provided image color profile.");
  } else {
    BufferDescriptor& copy = gHostProfileCopies[gHostProfileCopyCount++];
    memcpy(copy.block, bytes, size_t(host.profileSize));
    profile = cmsOpenProfileFromMem(copy.block, cmsUInt32Number(host.profileSize));
    if (profile == nullptr) {
      ErrorReport(__LINE__, SystemError, GetLastError())
          .Report(kStyleError, kTitleUnexpectedError, "Could not open host editor-provided image color profile.");
    }
  }
  if (host.unlockHandle != nullptr) host.unlockHandle(host.profileHandle);
  return profile;
}

ColorProfile MakeLinearWorkingProfile() {
  cmsCIExyY white = {0.3127, 0.3290, 1.0};
  cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
  cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
  if (linear == nullptr) return nullptr;
  cmsToneCurve* curves[3] = {linear, linear, linear};
  ColorProfile profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(linear);
  return profile;
}

std::vector<uint8_t> SavedProfile(ColorProfile profile) {
  cmsUInt32Number size = 0;
  if (!cmsSaveProfileToMem(profile, nullptr, &size) || size == 0) return {};
  std::vector<uint8_t> bytes(size);
  if (!cmsSaveProfileToMem(profile, bytes.data(), &size)) return {};
  return bytes;
}

void CloseProfile(ColorProfile* profile) {
  if (*profile != nullptr) cmsCloseProfile(*profile);
  *profile = nullptr;
}

}  // namespace

ColorProfile OpenLinearGrayProfile() {
  const void* bytes = nullptr;
  uint32_t size = 0;
  constexpr uint16_t kRawDataResource = 10;
  if (!GetModuleResourceBytes(IDR_LINEAR_COLOR_PROFILE, kRawDataResource, &bytes, &size)) return nullptr;
  return cmsOpenProfileFromMem(bytes, size);
}

bool InitializeColorConversion(const HostProfileSource& host) {
  bool complete = true;
  CreateTransformCache();
  InstallLittleCmsErrorHandler();
  gProfiles.standard = cmsCreate_sRGBProfile();
  Require(gProfiles.standard, "Could not create the standard profile.", &complete);
  gProfiles.hostImage = OpenHostProfile(host);
  if (gProfiles.hostImage == nullptr && IsGrayImageMode(host.imageMode)) {
    gProfiles.hostImage = OpenLinearGrayProfile();
    Require(gProfiles.hostImage, "Host editor profile not provided and failed to create a standard grayscale profile.", &complete);
  } else if (gProfiles.hostImage == nullptr) {
    gProfiles.hostImage = cmsCreate_sRGBProfile();
    Require(gProfiles.hostImage, "Host editor profile not provided and failed to create a standard color profile.", &complete);
  }
  gProfiles.working = cmsCreate_sRGBProfile();
  Require(gProfiles.working, "Could not create the working profile.", &complete);
  gProfiles.linearWorking = MakeLinearWorkingProfile();
  Require(gProfiles.linearWorking, "Could not derive the linear working profile.", &complete);
  gProfiles.grayscaleWorking = OpenLinearGrayProfile();
  Require(gProfiles.grayscaleWorking, "Could not create the grayscale working profile.", &complete);
  return complete;
}

// The gamma estimates are keyed by profile handles, which are closed here; a later profile at a
// reused address must not inherit a stale estimate, so they are cleared too.
void TerminateColorConversion() {
  DestroyTransformCache();
  CloseProfile(&gProfiles.grayscaleWorking);
  CloseProfile(&gProfiles.linearWorking);
  CloseProfile(&gProfiles.working);
  CloseProfile(&gProfiles.hostImage);
  CloseProfile(&gProfiles.standard);
  for (BufferDescriptor& copy : gHostProfileCopies) DeallocateBuffer(&copy);
  gHostProfileCopyCount = 0;
  ClearProfileGammaEstimates();
}

ColorProfile StandardProfile() { return gProfiles.standard; }
ColorProfile HostImageProfile() { return gProfiles.hostImage; }
ColorProfile WorkingProfile() { return gProfiles.working; }
ColorProfile LinearWorkingProfile() { return gProfiles.linearWorking; }
ColorProfile GrayscaleWorkingProfile() { return gProfiles.grayscaleWorking; }

// The header's date, creator and identifier say nothing about colours; its version, class and
// colour spaces do, and the tags that follow it hold the rest.
bool AreProfilesAlike(ColorProfile a, ColorProfile b) {
  if (a == b) return a != nullptr;
  if (a == nullptr || b == nullptr) return false;
  if (cmsGetEncodedICCversion(a) != cmsGetEncodedICCversion(b) || cmsGetDeviceClass(a) != cmsGetDeviceClass(b) ||
      cmsGetColorSpace(a) != cmsGetColorSpace(b) || cmsGetPCS(a) != cmsGetPCS(b)) {
    return false;
  }
  constexpr size_t kHeaderBytes = 128;
  std::vector<uint8_t> first = SavedProfile(a), second = SavedProfile(b);
  return first.size() > kHeaderBytes && first.size() == second.size() &&
         memcmp(first.data() + kHeaderBytes, second.data() + kHeaderBytes, first.size() - kHeaderBytes) == 0;
}

bool IsGrayProfile(ColorProfile profile) { return profile != nullptr && cmsGetColorSpace(profile) == cmsSigGrayData; }
