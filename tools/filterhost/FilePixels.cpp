// Moves samples between interleaved file rows and the document's planes, converting depth on the
// way in. The host's 16-bit samples run 0..32768, a file's 0..65535: both directions round, so
// that a document written and read back returns to the same bit.
#include "FilePixels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace {

uint16_t HostFromWide(uint32_t wide) { return uint16_t((wide * 32768 + 32767) / 65535); }
uint16_t WideFromHost(uint32_t host) { return host >= 32768 ? 65535 : uint16_t((host * 65535 + 16384) / 32768); }
float Clamped(float v) { return std::clamp(v, 0.0f, 1.0f); }

template <typename T>
T Load(const uint8_t* at) {
  T v;
  memcpy(&v, at, sizeof v);
  return v;
}

template <typename T>
void Store(uint8_t* at, T v) {
  memcpy(at, &v, sizeof v);
}

// One file sample (8, 16 or 32 bits) as one document sample at the document's depth.
template <int From, int To>
void ConvertSample(const uint8_t* in, uint8_t* out) {
  if constexpr (From == 8 && To == 8) *out = *in;
  if constexpr (From == 8 && To == 16) Store(out, HostFromWide(uint32_t(*in) * 257));
  if constexpr (From == 8 && To == 32) Store(out, float(*in) / 255.0f);
  if constexpr (From == 16 && To == 8) *out = uint8_t((uint32_t(Load<uint16_t>(in)) * 255 + 32767) / 65535);
  if constexpr (From == 16 && To == 16) Store(out, HostFromWide(Load<uint16_t>(in)));
  if constexpr (From == 16 && To == 32) Store(out, float(Load<uint16_t>(in)) / 65535.0f);
  if constexpr (From == 32 && To == 8) *out = uint8_t(std::lround(Clamped(Load<float>(in)) * 255.0f));
  if constexpr (From == 32 && To == 16) Store(out, uint16_t(std::lround(Clamped(Load<float>(in)) * 32768.0f)));
  if constexpr (From == 32 && To == 32) memcpy(out, in, 4);
}

// Channel samples `stride` bytes apart into one plane.
template <int From, int To>
void ConvertChannel(const uint8_t* in, size_t stride, size_t count, uint8_t* out) {
  for (size_t i = 0; i < count; ++i, in += stride, out += To / 8) ConvertSample<From, To>(in, out);
}

template <int From>
void ConvertChannelTo(int to, const uint8_t* in, size_t stride, size_t count, uint8_t* out) {
  if (to == 8) ConvertChannel<From, 8>(in, stride, count, out);
  else if (to == 16) ConvertChannel<From, 16>(in, stride, count, out);
  else ConvertChannel<From, 32>(in, stride, count, out);
}

void ConvertChannelAnyDepth(int from, int to, const uint8_t* in, size_t stride, size_t count, uint8_t* out) {
  if (from == 8) ConvertChannelTo<8>(to, in, stride, count, out);
  else if (from == 16) ConvertChannelTo<16>(to, in, stride, count, out);
  else ConvertChannelTo<32>(to, in, stride, count, out);
}

// The file channel behind document plane p; a gray document takes a colour file's red channel.
int FileChannelOf(const FilePixels& pixels, const DocumentImage& document, int plane) {
  if (plane == document.colourPlanes) return pixels.channels - 1;
  return pixels.Gray() ? 0 : plane;
}

}  // namespace

bool AllocateFilePixels(int64_t width, int64_t height, int channels, int depth, FilePixels* pixels, std::string* error) {
  if (width <= 0 || height <= 0) {
    *error = "the image file is empty";
    return false;
  }
  if (width > kLargestImageSide || height > kLargestImageSide) {
    *error = "the image is larger than 32767 pixels";
    return false;
  }
  pixels->width = int32_t(width);
  pixels->height = int32_t(height);
  pixels->channels = channels;
  pixels->depth = depth;
  try {
    pixels->samples.assign(pixels->RowBytes() * size_t(height), 0);
  } catch (const std::bad_alloc&) {
    *error = "the image is too large for the memory available";
    return false;
  }
  return true;
}

void DocumentFromFilePixels(const FilePixels& pixels, int depth, bool gray, DocumentImage* document) {
  *document = DocumentImage{};
  document->width = pixels.width;
  document->height = pixels.height;
  document->colourPlanes = gray ? 1 : 3;
  document->transparency = pixels.Alpha();
  document->bytesPerSample = depth / 8;
  size_t count = size_t(pixels.width) * size_t(pixels.height);
  size_t stride = size_t(pixels.channels) * size_t(pixels.depth / 8);
  document->planes.resize(size_t(document->Planes()));
  for (int p = 0; p < document->Planes(); ++p) {
    std::vector<uint8_t>& plane = document->planes[size_t(p)];
    plane.resize(count * size_t(document->bytesPerSample));
    const uint8_t* first = pixels.samples.data() + size_t(FileChannelOf(pixels, *document, p)) * size_t(pixels.depth / 8);
    ConvertChannelAnyDepth(pixels.depth, depth, first, stride, count, plane.data());
  }
}

FilePixels FilePixelsFromDocument(const DocumentImage& document) {
  FilePixels pixels;
  pixels.width = document.width;
  pixels.height = document.height;
  pixels.channels = document.Planes();
  pixels.depth = document.bytesPerSample * 8;
  size_t count = size_t(document.width) * size_t(document.height);
  size_t bytes = size_t(document.bytesPerSample), stride = size_t(pixels.channels) * bytes;
  pixels.samples.resize(count * stride);
  for (int p = 0; p < document.Planes(); ++p) {
    const uint8_t* in = document.planes[size_t(p)].data();
    uint8_t* out = pixels.samples.data() + size_t(p) * bytes;
    if (bytes == 2) {
      for (size_t i = 0; i < count; ++i, in += 2, out += stride) Store(out, WideFromHost(Load<uint16_t>(in)));
    } else if (bytes == 1) {
      for (size_t i = 0; i < count; ++i, ++in, out += stride) *out = *in;
    } else {
      for (size_t i = 0; i < count; ++i, in += 4, out += stride) memcpy(out, in, 4);
    }
  }
  return pixels;
}
