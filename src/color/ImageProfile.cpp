#include "color/ImageProfile.h"

#include "color/ProfileGamma.h"

bool CreateImage(ImageRecord* image, const ImageRect& rectangle, const ImageRect& allocation, int32_t mode,
                 ColorProfile profile, bool withMask, bool boundsChecked) {
  return AllocateImage(image, rectangle, allocation, mode, profile, QuantisedProfileGamma(profile), withMask, boundsChecked);
}

bool SetImageProfile(ImageRecord* image, ColorProfile profile) {
  return SetImageGamma(image, profile, QuantisedProfileGamma(profile));
}
