// PFM: "PF" (RGB) or "Pf" (gray), the size, a scale whose sign gives the byte order (negative:
// little-endian), then rows of 32-bit floats from the bottom row up. There is no alpha.
#include "FloatMapFiles.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

bool Fail(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

}  // namespace

bool IsFloatMapPath(const std::wstring& path) { return path.size() > 4 && _wcsicmp(path.c_str() + path.size() - 4, L".pfm") == 0; }

bool LoadFloatMap(const std::wstring& path, DocumentImage* document, std::string* error) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return Fail(error, "cannot read the image file");
  char kind[3] = {};
  int width = 0, height = 0;
  double scale = 0;
  bool header = fscanf(file, "%2s %d %d %lf", kind, &width, &height, &scale) == 4 && fgetc(file) != EOF;
  int channels = strcmp(kind, "PF") == 0 ? 3 : strcmp(kind, "Pf") == 0 ? 1 : 0;
  if (!header || channels == 0 || width <= 0 || height <= 0 || scale >= 0) {
    fclose(file);
    return Fail(error, "the float map header is not a little-endian PFM header");
  }
  if (width > 32767 || height > 32767) {
    fclose(file);
    return Fail(error, "the image is larger than 32767 pixels");
  }
  std::vector<float> samples(size_t(width) * height * channels);
  size_t read = fread(samples.data(), sizeof(float), samples.size(), file);
  fclose(file);
  if (read != samples.size()) return Fail(error, "the image file is damaged or truncated");
  *document = DocumentImage{};
  document->width = width;
  document->height = height;
  document->colourPlanes = channels;
  document->bytesPerSample = 4;
  document->planes.assign(size_t(channels), std::vector<uint8_t>(size_t(width) * height * 4));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < channels; ++c) {
        memcpy(document->Sample(c, x, height - 1 - y), &samples[(size_t(y) * width + x) * channels + c], 4);
      }
    }
  }
  return true;
}

bool SaveFloatMap(const std::wstring& path, const DocumentImage& document, std::string* error) {
  if (document.bytesPerSample != 4) return Fail(error, "only 32-bit documents are written as float maps");
  if (document.transparency) return Fail(error, "a float map has no transparency: the document's cannot be written");
  std::wstring scratch = path + L".partial";
  FILE* file = _wfopen(scratch.c_str(), L"wb");
  if (file == nullptr) return Fail(error, "the output file could not be written");
  int channels = document.colourPlanes;
  fprintf(file, "%s\n%d %d\n-1.0\n", channels == 3 ? "PF" : "Pf", document.width, document.height);
  bool written = true;
  for (int y = document.height - 1; y >= 0 && written; --y) {
    for (int x = 0; x < document.width && written; ++x) {
      for (int c = 0; c < channels; ++c) {
        written = fwrite(document.planes[size_t(c)].data() + (size_t(y) * document.width + x) * 4, 4, 1, file) == 1 && written;
      }
    }
  }
  written = fclose(file) == 0 && written;
  if (!written || !MoveFileExW(scratch.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileW(scratch.c_str());
    return Fail(error, "the output file could not be written");
  }
  return true;
}
