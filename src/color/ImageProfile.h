// Images in a colour profile: the record's gamma and gamma tables follow the profile's tone curve.
#pragma once
#include "core/ImageRecord.h"

bool CreateImage(ImageRecord* image, const ImageRect& rectangle, const ImageRect& allocation, int32_t mode,
                 ColorProfile profile, bool withMask, bool boundsChecked);
bool SetImageProfile(ImageRecord* image, ColorProfile profile);
