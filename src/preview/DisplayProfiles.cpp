// Display profiles per monitor. A monitor without a usable profile, or one beyond the cache,
// is shown in sRGB with gamma 2.2.
#include "preview/DisplayProfiles.h"

#include <lcms2.h>

#include <vector>

#include "color/ColorProfiles.h"
#include "color/LinearLightProfile.h"
#include "support/ErrorReport.h"

namespace {

// A monitor found to have no usable profile keeps an entry without one, so that it is asked
// (and reported) once per run rather than at every template and quad build of the preview.
struct DisplayProfileCacheEntry {
  HMONITOR monitor;
  ColorProfile profile;
  double gamma;
};

// A display profile and the linear-light profile made from it, made once per profile.
struct LinearDisplayEntry {
  ColorProfile display;
  ColorProfile linear;
};

DisplayProfileCacheEntry gDisplayProfiles[kDisplayProfileCacheSize];
LinearDisplayEntry gLinearDisplays[kDisplayProfileCacheSize + 1];
ColorProfile gTestDisplayProfile = nullptr;
HWND gPreviewWindow = nullptr;
constexpr double kFallbackGamma = 2.2;

void Report(const char* text) { ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "%s", text); }

ColorProfile OpenMonitorProfile(HMONITOR monitor) {
  MONITORINFOEXA info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoA(monitor, &info)) {
    Report("Could not get information for the specified monitor.");
    return nullptr;
  }
  HDC context = CreateDCA("DISPLAY", info.szDevice, nullptr, nullptr);
  if (context == nullptr) {
    Report("Could not get a device context for the specified monitor.");
    return nullptr;
  }
  ColorProfile profile = nullptr;
  DWORD length = 0;
  if (GetICMProfileA(context, &length, nullptr) || GetLastError() != ERROR_INSUFFICIENT_BUFFER || length == 0) {
    Report("Could not get the size of the buffer to contain the profile name.");
  } else {
    std::vector<char> name(length + 1);
    if (!GetICMProfileA(context, &length, name.data())) {
      Report("Could not get color space name.");
    } else if ((profile = cmsOpenProfileFromFile(name.data(), "r")) == nullptr) {
      Report("Could not open monitor color profile.");
    }
  }
  DeleteDC(context);
  return profile;
}

ColorProfile Fallback(double* gamma) {
  if (gamma != nullptr) *gamma = kFallbackGamma;
  return StandardProfile();
}

}  // namespace

void SetColorPreviewWindow(HWND window) { gPreviewWindow = window; }

ColorProfile InitializeDisplayColorConversion(double* gamma) {
  if (gTestDisplayProfile != nullptr) {
    if (gamma != nullptr) *gamma = EstimateProfileGamma(gTestDisplayProfile);
    return gTestDisplayProfile;
  }
  HMONITOR monitor = MonitorFromWindow(gPreviewWindow, MONITOR_DEFAULTTONEAREST);
  if (monitor == nullptr) {
    Report("Could not get a handle for the current monitor.");
    return Fallback(gamma);
  }
  int freeSlot = -1;
  for (int i = 0; i < kDisplayProfileCacheSize; ++i) {
    if (gDisplayProfiles[i].monitor == monitor) {
      if (gDisplayProfiles[i].profile == nullptr) return Fallback(gamma);
      if (gamma != nullptr) *gamma = gDisplayProfiles[i].gamma;
      return gDisplayProfiles[i].profile;
    }
    if (gDisplayProfiles[i].monitor == nullptr && freeSlot < 0) freeSlot = i;
  }
  ColorProfile profile = OpenMonitorProfile(monitor);
  if (profile == nullptr) {
    Report("Could not get a display color profile for the current monitor.");
    if (freeSlot >= 0) gDisplayProfiles[freeSlot] = {monitor, nullptr, kFallbackGamma};
    return Fallback(gamma);
  }
  if (freeSlot < 0) {
    Report("The display profile cache is full.");
    cmsCloseProfile(profile);
    return Fallback(gamma);
  }
  gDisplayProfiles[freeSlot] = {monitor, profile, EstimateProfileGamma(profile)};
  if (gamma != nullptr) *gamma = gDisplayProfiles[freeSlot].gamma;
  return profile;
}

ColorProfile LinearDisplayProfile() {
  ColorProfile display = InitializeDisplayColorConversion(nullptr);
  LinearDisplayEntry* free = nullptr;
  for (LinearDisplayEntry& entry : gLinearDisplays) {
    if (entry.display == display && display != nullptr) return entry.linear != nullptr ? entry.linear : LinearWorkingProfile();
    if (entry.display == nullptr && free == nullptr) free = &entry;
  }
  ColorProfile linear = CreateLinearLightProfile(display);
  // A display with the working space's primaries (sRGB, and every monitor without a profile)
  // takes effect light as it is: converting hundreds of thousands of template entries through
  // an identity would cost a slider drag more than the rest of a frame.
  if (linear != nullptr && HaveSameColorants(linear, LinearWorkingProfile())) {
    cmsCloseProfile(linear);
    linear = nullptr;
  }
  // Cached transforms are keyed by profile handles, so a made profile lives until the run ends;
  // beyond the cache the effects keep the working space's primaries.
  if (free == nullptr) {
    if (linear != nullptr) cmsCloseProfile(linear);
    return LinearWorkingProfile();
  }
  *free = LinearDisplayEntry{display, linear};
  return linear != nullptr ? linear : LinearWorkingProfile();
}

void SetDisplayProfileForTests(ColorProfile profile) { gTestDisplayProfile = profile; }

void CloseDisplayProfiles() {
  for (LinearDisplayEntry& entry : gLinearDisplays) {
    if (entry.linear != nullptr) cmsCloseProfile(entry.linear);
    entry = LinearDisplayEntry{};
  }
  for (DisplayProfileCacheEntry& entry : gDisplayProfiles) {
    if (entry.profile != nullptr) cmsCloseProfile(entry.profile);
    entry = DisplayProfileCacheEntry{};
  }
}
