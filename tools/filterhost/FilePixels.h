// Pixels as image files hold them: rows of interleaved samples at the file's full range, and the
// conversions between them and the host's document planes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "DocumentImage.h"

// 8 or 16-bit unsigned samples at full range (0..255, 0..65535) or 32-bit float ones, in this
// machine's byte order; channels 1 gray, 2 gray and alpha, 3 RGB, 4 RGBA.
struct FilePixels {
  int32_t width = 0;
  int32_t height = 0;
  int channels = 3;
  int depth = 8;
  std::vector<uint8_t> samples;

  bool Gray() const { return channels <= 2; }
  bool Alpha() const { return channels == 2 || channels == 4; }
  size_t RowBytes() const { return size_t(width) * size_t(channels) * size_t(depth / 8); }
  uint8_t* Row(int32_t y) { return samples.data() + size_t(y) * RowBytes(); }
  const uint8_t* Row(int32_t y) const { return samples.data() + size_t(y) * RowBytes(); }
};

constexpr int64_t kLargestImageSide = 32767;

// Sizes the samples; false with the reason when the image is too large to hold.
bool AllocateFilePixels(int64_t width, int64_t height, int channels, int depth, FilePixels* pixels, std::string* error);
// The document at the depth (8, 16 or 32) and mode asked for; alpha becomes its transparency.
void DocumentFromFilePixels(const FilePixels& pixels, int depth, bool gray, DocumentImage* document);
// The document's planes at its own depth, the transparency as alpha.
FilePixels FilePixelsFromDocument(const DocumentImage& document);
