// The transform cache under TransformCacheMutex. A slot's handle is written last, so a scan
// never sees a half-filled slot; a full table still hands out working, uncached transforms.
#include "color/TransformCache.h"

#include <windows.h>

#include <lcms2.h>

#include <vector>

#include "color/ColorProfiles.h"
#include "core/ImageRecord.h"
#include "support/ErrorReport.h"
#include "support/Locks.h"

namespace {

struct TransformCacheEntry {
  ColorTransform transform;
  ColorProfile source;
  uint32_t inputFormat;
  ColorProfile target;
  uint32_t outputFormat;
  uint32_t valid;
};

HANDLE gTransformCacheMutex = nullptr;
TransformCacheEntry gTransforms[kTransformCacheSize];
// Transforms built after the table filled up: handed out uncached, but kept so that termination
// deletes them instead of leaking one per request.
std::vector<ColorTransform> gOverflowTransforms;

constexpr uint32_t kGray8Extra = 0x30189, kGray16Extra = 0x3018A, kGrayFloatExtra = 0x43018C;
constexpr uint32_t kTransformFlags = cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_HIGHRESPRECALC | cmsFLAGS_CLUT_PRE_LINEARIZATION;
static_assert(kTransformFlags == 0x2410);

void LittleCmsErrorHandler(cmsContext, cmsUInt32Number code, const char* text) noexcept {
  try {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, "Debug: Unexpected error", "Little CMS returned error code %d: '%s'", int(code),
                text != nullptr ? text : "");
  } catch (...) {
  }
}

// Abandoned by a thread that exited: the caller owns the mutex and goes on.
bool TookTransformCache(const ScopedMutex& lock) {
  if (gTransformCacheMutex == nullptr) return false;
  DWORD waited = lock.WaitResult();
  if (waited == WAIT_OBJECT_0) return true;
  if (waited == WAIT_ABANDONED) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "Wait for transform cache access failed since the owning thread exited:  WAIT_ABANDONED");
    return true;
  }
  ErrorReport(__LINE__, SystemError, GetLastError())
      .Report(kStyleError, kTitleUnexpectedError, "Attempt to wait for transform cache access failed.");
  return false;
}

ColorTransform BuildTransform(ColorProfile source, uint32_t inputFormat, ColorProfile target, uint32_t outputFormat) {
  if (source == nullptr || target == nullptr) source = StandardProfile();
  if (target == nullptr) target = StandardProfile();
  return cmsCreateTransform(source, AdjustFormatToProfile(inputFormat, source), target,
                            AdjustFormatToProfile(outputFormat, target), INTENT_RELATIVE_COLORIMETRIC, kTransformFlags);
}

}  // namespace

void InstallLittleCmsErrorHandler() { cmsSetLogErrorHandler(LittleCmsErrorHandler); }

bool CreateTransformCache() {
  if (gTransformCacheMutex != nullptr) return true;
  gTransformCacheMutex = CreateMutexW(nullptr, FALSE, nullptr);
  if (gTransformCacheMutex == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, "Debug: Unexpected Error", "CreateMutex for TransformCacheMutex failed");
    return false;
  }
  return true;
}

void DestroyTransformCache() {
  for (TransformCacheEntry& entry : gTransforms) {
    if (entry.transform != nullptr) cmsDeleteTransform(entry.transform);
    entry = TransformCacheEntry{};
  }
  for (ColorTransform transform : gOverflowTransforms) cmsDeleteTransform(transform);
  gOverflowTransforms.clear();
  if (gTransformCacheMutex != nullptr) CloseHandle(gTransformCacheMutex);
  gTransformCacheMutex = nullptr;
}

uint32_t GetImageColorTransform(const ImageRecord& image) {
  switch (image.mode) {
    case plugInModeGrayScale: return kGray8Extra;
    case plugInModeRGBColor: return image.pixelFormat == GL_BGRA_FORMAT ? TYPE_BGRA_8 : TYPE_RGBA_8;
    case plugInModeGray16: return kGray16Extra;
    case plugInModeRGB48: return TYPE_RGBA_16;
    case plugInModeRGB96: return TYPE_RGBA_FLT;
    case plugInModeGray32: return kGrayFloatExtra;
    case kImageModeHalf: return TYPE_RGBA_HALF_FLT;
    default:
      ErrorReport(__LINE__, DebugMessage)
          .Report(kStyleError, kTitleUnexpectedError, "Error:  Unrecognized image mode %d in GetImageColorTransform().", image.mode);
      return 0;
  }
}

uint32_t AdjustFormatToProfile(uint32_t format, ColorProfile profile) {
  bool gray = profile != nullptr && cmsGetColorSpace(profile) == cmsSigGrayData;
  if (gray) {
    if (format == TYPE_RGBA_8 || format == TYPE_BGRA_8) return kGray8Extra;
    if (format == TYPE_RGBA_16) return kGray16Extra;
    if (format == TYPE_RGBA_FLT) return kGrayFloatExtra;
    return format;
  }
  if (format == kGray8Extra) return TYPE_RGBA_8;
  if (format == kGray16Extra) return TYPE_RGBA_16;
  if (format == kGrayFloatExtra) return TYPE_RGBA_FLT;
  return format;
}

ColorTransform GetColorTransform(ColorProfile source, uint32_t inputFormat, ColorProfile target, uint32_t outputFormat) {
  ScopedMutex lock(gTransformCacheMutex);
  bool locked = TookTransformCache(lock);
  int slot = 0;
  for (; slot < kTransformCacheSize && gTransforms[slot].transform != nullptr; ++slot) {
    const TransformCacheEntry& entry = gTransforms[slot];
    if (entry.valid == 1 && entry.source == source && entry.inputFormat == inputFormat && entry.target == target &&
        entry.outputFormat == outputFormat) {
      return entry.transform;
    }
  }
  ColorTransform transform = BuildTransform(source, inputFormat, target, outputFormat);
  if (transform == nullptr) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "Could not compute color transform.");
  } else if (!locked) {
    // Without the lock nothing may be stored; the transform lives until the process ends.
  } else if (slot == kTransformCacheSize) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "Transform cache table size exceeded.");
    gOverflowTransforms.push_back(transform);
  } else {
    TransformCacheEntry& entry = gTransforms[slot];
    entry.source = source;
    entry.inputFormat = inputFormat;
    entry.target = target;
    entry.outputFormat = outputFormat;
    entry.valid = 1;
    __atomic_store_n(&entry.transform, transform, __ATOMIC_RELEASE);
  }
  return transform;
}

int CachedTransformCount() {
  int count = 0;
  while (count < kTransformCacheSize && gTransforms[count].transform != nullptr) ++count;
  return count;
}
