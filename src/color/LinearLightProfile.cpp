#include "color/LinearLightProfile.h"

#include <lcms2.h>

#include <cmath>
#include <initializer_list>

namespace {

bool CopyTag(cmsHPROFILE from, cmsHPROFILE to, cmsTagSignature tag) {
  void* data = cmsReadTag(from, tag);
  return data != nullptr && cmsWriteTag(to, tag, data);
}

// Tags are stored as s15Fixed16 numbers: a step of 1/65536, and two makings of one profile can
// round a computed colorant either way.
constexpr double kColorantTolerance = 4.0 / 65536.0;

bool SameXYZTag(cmsHPROFILE a, cmsHPROFILE b, cmsTagSignature tag) {
  const auto* x = static_cast<const cmsCIEXYZ*>(cmsReadTag(a, tag));
  const auto* y = static_cast<const cmsCIEXYZ*>(cmsReadTag(b, tag));
  if (x == nullptr || y == nullptr) return false;
  return std::fabs(x->X - y->X) <= kColorantTolerance && std::fabs(x->Y - y->Y) <= kColorantTolerance &&
         std::fabs(x->Z - y->Z) <= kColorantTolerance;
}

bool SameAdaptation(cmsHPROFILE a, cmsHPROFILE b) {
  const auto* x = static_cast<const cmsFloat64Number*>(cmsReadTag(a, cmsSigChromaticAdaptationTag));
  const auto* y = static_cast<const cmsFloat64Number*>(cmsReadTag(b, cmsSigChromaticAdaptationTag));
  if (x == nullptr || y == nullptr) return x == y;
  for (int i = 0; i < 9; ++i) {
    if (std::fabs(x[i] - y[i]) > kColorantTolerance) return false;
  }
  return true;
}

}  // namespace

ColorProfile CreateLinearLightProfile(ColorProfile profile) {
  if (profile == nullptr || cmsGetColorSpace(profile) != cmsSigRgbData || !cmsIsMatrixShaper(profile)) return nullptr;
  cmsHPROFILE linear = cmsCreateProfilePlaceholder(nullptr);
  cmsToneCurve* straight = cmsBuildGamma(nullptr, 1.0);
  bool made = linear != nullptr && straight != nullptr;
  if (made) {
    cmsSetProfileVersion(linear, cmsGetProfileVersion(profile));
    cmsSetDeviceClass(linear, cmsSigDisplayClass);
    cmsSetColorSpace(linear, cmsSigRgbData);
    cmsSetPCS(linear, cmsSigXYZData);
    cmsSetHeaderRenderingIntent(linear, INTENT_PERCEPTUAL);
    made = CopyTag(profile, linear, cmsSigMediaWhitePointTag) && CopyTag(profile, linear, cmsSigRedColorantTag) &&
           CopyTag(profile, linear, cmsSigGreenColorantTag) && CopyTag(profile, linear, cmsSigBlueColorantTag) &&
           cmsWriteTag(linear, cmsSigRedTRCTag, straight) && cmsWriteTag(linear, cmsSigGreenTRCTag, straight) &&
           cmsWriteTag(linear, cmsSigBlueTRCTag, straight);
    // The colorants were adapted to the connection space's white through this matrix; without it
    // a version 4 profile would be read as if no adaptation had been made.
    if (made && cmsIsTag(profile, cmsSigChromaticAdaptationTag)) {
      made = CopyTag(profile, linear, cmsSigChromaticAdaptationTag);
    }
  }
  if (straight != nullptr) cmsFreeToneCurve(straight);
  if (!made && linear != nullptr) {
    cmsCloseProfile(linear);
    linear = nullptr;
  }
  return linear;
}

bool HaveSameColorants(ColorProfile a, ColorProfile b) {
  if (a == nullptr || b == nullptr) return false;
  if (a == b) return true;
  for (ColorProfile p : {a, b}) {
    if (cmsGetColorSpace(p) != cmsSigRgbData || !cmsIsMatrixShaper(p)) return false;
  }
  return SameXYZTag(a, b, cmsSigMediaWhitePointTag) && SameXYZTag(a, b, cmsSigRedColorantTag) &&
         SameXYZTag(a, b, cmsSigGreenColorantTag) && SameXYZTag(a, b, cmsSigBlueColorantTag) && SameAdaptation(a, b);
}
