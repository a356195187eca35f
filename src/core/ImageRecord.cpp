// Creating, linearising, filling, copying and releasing image records.
#include "core/ImageRecord.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/Reducers.h"
#include "core/RunResult.h"
#include "support/ErrorReport.h"

namespace {

void SetPixelFormat(ImageRecord* image) {
  switch (image->bytesPerSample) {
    case 1:
      image->pixelFormat = GL_BGRA_FORMAT;
      image->pixelType = GL_UNSIGNED_BYTE_TYPE;
      break;
    case 2:
      image->pixelFormat = GL_RGBA_FORMAT;
      image->pixelType = image->mode == kImageModeHalf ? GL_HALF_FLOAT_TYPE : GL_UNSIGNED_SHORT_TYPE;
      break;
    default:
      image->pixelFormat = GL_RGBA_FORMAT;
      image->pixelType = image->mode == kImageModeWorking32 ? GL_UNSIGNED_INT_TYPE : GL_FLOAT_TYPE;
      break;
  }
}

bool ReportImageFailure(const char* text, int16_t result) {
  SetRunResult(result);
  ErrorReport(__LINE__, UserMessage).Report(kStyleError, kTitleExitingPlugin, "%s", text);
  return false;
}

bool UseGamma(ImageRecord* image, double gamma) {
  image->gamma = gamma;
  image->inverseGamma = 1.0 / gamma;
  return LookUpGammaTables(gamma, &image->gammaTables);
}

template <typename Sample, typename Convert>
void ReplaceColourSamples(ImageRecord* image, Convert convert) {
  for (int64_t y = 0; y < image->validHeight; ++y) {
    auto* row = reinterpret_cast<Sample*>(image->Pixel(image->rectangle.left, image->rectangle.top + y));
    for (int64_t x = 0; x < image->validWidth; ++x, row += 4) {
      for (int s = 0; s < 3; ++s) row[s] = convert(row[s]);
    }
  }
}

bool CopyPixelByPixel(const ImageRecord& source, ImageRecord* destination, const volatile bool* cancel) {
  for (int64_t y = source.rectangle.top; y < source.rectangle.bottom; ++y) {
    if (cancel != nullptr && *cancel) return false;
    for (int64_t x = source.rectangle.left; x < source.rectangle.right; ++x) {
      PixelValue p;
      source.readPixel(&source, x, y, &p);
      destination->writePixel(destination, x, y, p);
    }
  }
  return true;
}

}  // namespace

bool SetImageGamma(ImageRecord* image, ColorProfile profile, double gamma) {
  image->profile = profile;
  return UseGamma(image, gamma);
}

int32_t BytesPerSampleOfImageMode(int32_t mode) {
  if (mode >= plugInModeBitmap && mode <= plugInModeLabColor) return 1;
  if (mode >= plugInModeGray16 && mode <= plugInModeDuotone16) return 2;
  if (mode == plugInModeRGB96 || mode == plugInModeGray32 || mode == kImageModeWorking32) return 4;
  if (mode == kImageModeHalf) return 2;
  ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "Error:  Unrecognized image mode.");
  return 1;
}

bool AllocateImage(ImageRecord* image, const ImageRect& rectangle, const ImageRect& allocation, int32_t mode,
                   ColorProfile profile, double gamma, bool withMask, bool boundsChecked) {
  image->rectangle = rectangle;
  image->allocation = allocation;
  int64_t remainder = allocation.Width() % 16;
  if (remainder != 0) image->allocation.right = int32_t(allocation.right - remainder + 16);
  image->mode = mode;
  image->samplesPerPixel = 4;
  image->bytesPerSample = BytesPerSampleOfImageMode(mode);
  SetPixelFormat(image);
  image->boundsChecked = boundsChecked;
  InstallPixelAccess(image);
  if (!SetImageGamma(image, profile, gamma)) return ReportImageFailure("Could not allocate memory for gamma tables.", kOutOfMemory);
  image->validWidth = rectangle.Width();
  image->validHeight = rectangle.Height();
  image->allocatedWidth = image->allocation.Width();
  image->allocatedHeight = image->allocation.Height();
  uint64_t pixelBytes = uint64_t(image->allocatedWidth) * uint64_t(image->allocatedHeight + 1) * 4 * uint64_t(image->bytesPerSample);
  if (pixelBytes != image->pixels.size) {
    int16_t result = ReallocateBuffer(pixelBytes, &image->pixels);
    if (result != 0) return ReportImageFailure("Could not allocate memory for an image.", result);
  }
  if (withMask) {
    uint64_t maskBytes = uint64_t(image->allocatedHeight + 1) * uint64_t(image->allocatedWidth);
    if (maskBytes != image->mask.size) {
      int16_t result = ReallocateBuffer(maskBytes, &image->mask);
      if (result != 0) return ReportImageFailure("Could not allocate memory for an image mask.", result);
    }
  } else {
    DeallocateBuffer(&image->mask);
  }
  return true;
}

bool LinearizeImage(ImageRecord* image) {
  GammaTables raise;
  if (!LookUpGammaTables(1.0 / image->gamma, &raise)) return false;
  if (image->pixelType == GL_UNSIGNED_BYTE_TYPE) {
    // s × 257 spans the whole table (255 → 65535); s × 256 would darken white to 253.
    ReplaceColourSamples<uint8_t>(image, [&](uint8_t s) { return raise.linearToEight[s * 257]; });
  } else if (image->pixelType == GL_UNSIGNED_SHORT_TYPE) {
    ReplaceColourSamples<uint16_t>(image, [&](uint16_t s) { return raise.linearToSixteen[s]; });
  } else {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "Pixel type 0x%X is not recognized in function LinearizeImage.",
                unsigned(image->pixelType));
  }
  return UseGamma(image, 1.0);
}

void FillImageRect(ImageRecord* image, const PixelValue& value, const ImageRect& rectangle) {
  bool opaqueBlack = value.red == 0 && value.green == 0 && value.blue == 0 && value.alpha == kFullFraction &&
                     value.mask == kFullFraction;
  bool integer = image->pixelType == GL_UNSIGNED_BYTE_TYPE || image->pixelType == GL_UNSIGNED_SHORT_TYPE;
  for (int64_t y = rectangle.top; y < rectangle.bottom; ++y) {
    if (opaqueBlack && integer) {
      if (image->bytesPerSample == 1) {
        const uint32_t black = 0xFF000000u;  // blue, green, red 0; alpha 255
        for (int64_t x = rectangle.left; x < rectangle.right; ++x) memcpy(image->Pixel(x, y), &black, 4);
      } else {
        const uint16_t black[4] = {0, 0, 0, 65535};
        for (int64_t x = rectangle.left; x < rectangle.right; ++x) memcpy(image->Pixel(x, y), black, 8);
      }
      if (image->HasMask()) memset(image->MaskAt(rectangle.left, y), 255, size_t(rectangle.Width()));
      continue;
    }
    for (int64_t x = rectangle.left; x < rectangle.right; ++x) image->writePixel(image, x, y, value);
  }
}

bool CopyImage(const ImageRecord& source, ImageRecord* destination, const volatile bool* cancel) {
  if (!SameRect(source.rectangle, destination->rectangle)) return ReduceImage(source, destination, cancel);
  if (source.mode != destination->mode || !SameRect(source.allocation, destination->allocation)) {
    return CopyPixelByPixel(source, destination, cancel);
  }
  memcpy(destination->pixels.block, source.pixels.block, size_t(std::min(source.pixels.size, destination->pixels.size)));
  if (destination->HasMask()) {
    if (source.HasMask()) memcpy(destination->mask.block, source.mask.block, size_t(std::min(source.mask.size, destination->mask.size)));
    else memset(destination->mask.block, 255, size_t(destination->mask.size));
  }
  return true;
}

void ReleaseImage(ImageRecord* image) {
  DeallocateBuffer(&image->pixels);
  DeallocateBuffer(&image->mask);
  *image = ImageRecord{};
}
