// The display gamma applied in software, for frames drawn without the gamma program.
#pragma once
#include <GL/glew.h>

#include <cstddef>
#include <cstdint>

// Raises every colour sample of `pixelCount` four-sample pixels to `exponent` (alpha untouched),
// by pixel type: GL_UNSIGNED_BYTE, GL_UNSIGNED_SHORT, GL_FLOAT or GL_HALF_FLOAT. False (reported
// "Pixel type 0x%X is not recognized.") for another type.
bool ApplyDisplayGamma(void* pixels, size_t pixelCount, GLenum pixelType, double exponent);

// The same over `rowCount` rows of `pixelsPerRow` pixels, each row `rowBytes` after the one
// before (negative for rows stored bottom-up).
bool ApplyDisplayGammaToRows(void* firstRow, ptrdiff_t rowBytes, size_t rowCount, size_t pixelsPerRow, GLenum pixelType,
                             double exponent);
