#include "color/LinearLightProfile.h"

#include <lcms2.h>

namespace {

bool CopyTag(cmsHPROFILE from, cmsHPROFILE to, cmsTagSignature tag) {
  void* data = cmsReadTag(from, tag);
  return data != nullptr && cmsWriteTag(to, tag, data);
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
