// The display gamma applied in software, for frames drawn without the gamma program.
#pragma once
#include <GL/glew.h>

#include <cstddef>

// Raises every colour sample of `pixelCount` four-sample pixels to `exponent` (alpha untouched),
// by pixel type: GL_UNSIGNED_BYTE, GL_UNSIGNED_SHORT, GL_FLOAT or GL_HALF_FLOAT. False (reported
// "Pixel type 0x%X is not recognized.") for another type.
bool ApplyDisplayGamma(void* pixels, size_t pixelCount, GLenum pixelType, double exponent);
