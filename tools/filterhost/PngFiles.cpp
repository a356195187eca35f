// libpng reports failures by longjmp to the setjmp of the running phase. Each phase is one
// function that owns no object with a destructor, so that the jump skips nothing that needs
// cleaning; the libpng structures and the file live in a record owned by the caller.
#include "PngFiles.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "PngRowDeflate.h"

namespace {

struct PngErrors {
  char message[256] = "";
};

void OnPngError(png_structp png, png_const_charp message) {
  auto* errors = static_cast<PngErrors*>(png_get_error_ptr(png));
  snprintf(errors->message, sizeof errors->message, "%s", message);
  png_longjmp(png, 1);
}

// Warnings concern what libpng repaired or skipped (an ancillary chunk, a profile that does not
// fit the colour type); the pixels are sound.
void OnPngWarning(png_structp, png_const_charp) {}

struct PngReading {
  PngErrors errors;
  FILE* file = nullptr;
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~PngReading() {
    if (png != nullptr) png_destroy_read_struct(&png, &info, nullptr);
    if (file != nullptr) fclose(file);
  }
};

struct PngWriting {
  PngErrors errors;
  FILE* file = nullptr;
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~PngWriting() {
    if (png != nullptr) png_destroy_write_struct(&png, &info);
    if (file != nullptr) fclose(file);
  }
};

struct PngShape {
  png_uint_32 width = 0, height = 0;
  int channels = 0, depth = 0;
};

// The header, and the transformations that deliver 8 or 16-bit gray, gray + alpha, RGB or RGBA
// in this machine's byte order.
bool ReadPngHeader(PngReading* r, PngShape* shape) {
  if (setjmp(png_jmpbuf(r->png))) return false;
  png_init_io(r->png, r->file);
  png_read_info(r->png, r->info);
  png_set_expand(r->png);
  if (png_get_bit_depth(r->png, r->info) == 16) png_set_swap(r->png);
  png_set_interlace_handling(r->png);
  png_read_update_info(r->png, r->info);
  shape->width = png_get_image_width(r->png, r->info);
  shape->height = png_get_image_height(r->png, r->info);
  shape->channels = png_get_channels(r->png, r->info);
  shape->depth = png_get_bit_depth(r->png, r->info);
  return true;
}

// The rows, then everything up to the end chunk, so that a file cut after its pixels is refused.
bool ReadPngRows(PngReading* r, png_bytepp rows) {
  if (setjmp(png_jmpbuf(r->png))) return false;
  png_read_image(r->png, rows);
  png_read_end(r->png, nullptr);
  return true;
}

// libpng takes non-const rows for writing too; it copies each row before transforming it.
std::vector<png_bytep> RowPointers(const FilePixels& pixels) {
  std::vector<png_bytep> rows(size_t(pixels.height));
  for (int32_t y = 0; y < pixels.height; ++y) rows[size_t(y)] = const_cast<png_bytep>(pixels.Row(y));
  return rows;
}

void CopyPngProfile(const PngReading& r, std::vector<uint8_t>* iccProfile) {
  png_charp name = nullptr;
  int compression = 0;
  png_bytep profile = nullptr;
  png_uint_32 length = 0;
  iccProfile->clear();
  if (png_get_iCCP(r.png, r.info, &name, &compression, &profile, &length) != 0 && profile != nullptr) {
    iccProfile->assign(profile, profile + length);
  }
}

bool Fail(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

int ColourTypeOf(const FilePixels& pixels) {
  static const int kTypes[] = {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGBA};
  return kTypes[pixels.channels - 1];
}

// Level 0 stores unfiltered rows; levels 3 to 9 let libpng choose a filter for each row. The
// fast levels arrive deflated already (PngRowDeflate) and go out as they are.
void SetPngCompression(png_structp png, int level) {
  png_set_compression_level(png, level);
  if (level == 0) png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
}

bool IsFastLevel(int level) { return level == 1 || level == 2; }

void WriteDeflatedRows(png_structp png, const std::vector<uint8_t>& stream) {
  constexpr size_t kChunkBytes = size_t(1) << 20;
  for (size_t at = 0; at < stream.size(); at += kChunkBytes) {
    png_write_chunk(png, reinterpret_cast<png_const_bytep>("IDAT"), stream.data() + at, std::min(kChunkBytes, stream.size() - at));
  }
  png_write_chunk(png, reinterpret_cast<png_const_bytep>("IEND"), nullptr, 0);
}

// Either the rows (through libpng's compression) or a deflated stream of them.
bool WritePngImage(PngWriting* w, const FilePixels& pixels, const std::vector<uint8_t>& iccProfile, int level, png_bytepp rows,
                   const std::vector<uint8_t>& deflated) {
  if (setjmp(png_jmpbuf(w->png))) return false;
  png_init_io(w->png, w->file);
  // A profile that does not suit the colour type is left out with a warning rather than failing.
  png_set_benign_errors(w->png, 1);
  png_set_IHDR(w->png, w->info, png_uint_32(pixels.width), png_uint_32(pixels.height), pixels.depth, ColourTypeOf(pixels),
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  if (!iccProfile.empty()) {
    png_set_iCCP(w->png, w->info, "ICC Profile", PNG_COMPRESSION_TYPE_BASE, iccProfile.data(), png_uint_32(iccProfile.size()));
  }
  SetPngCompression(w->png, level);
  png_write_info(w->png, w->info);
  if (!deflated.empty()) {
    WriteDeflatedRows(w->png, deflated);
    return true;
  }
  if (pixels.depth == 16) png_set_swap(w->png);
  png_write_image(w->png, rows);
  png_write_end(w->png, w->info);
  return true;
}

}  // namespace

bool HasPngSignature(const uint8_t* head, size_t size) { return size >= 8 && png_sig_cmp(head, 0, 8) == 0; }

bool ReadPngFile(const std::wstring& path, FilePixels* pixels, std::vector<uint8_t>* iccProfile, std::string* error) {
  PngReading r;
  r.file = _wfopen(path.c_str(), L"rb");
  if (r.file == nullptr) return Fail(error, "cannot read the image file");
  r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r.errors, OnPngError, OnPngWarning);
  if (r.png != nullptr) r.info = png_create_info_struct(r.png);
  if (r.info == nullptr) return Fail(error, "the PNG reader could not be created");
  PngShape shape;
  if (!ReadPngHeader(&r, &shape)) return Fail(error, std::string("the PNG file is damaged: ") + r.errors.message);
  if (!AllocateFilePixels(shape.width, shape.height, shape.channels, shape.depth, pixels, error)) return false;
  std::vector<png_bytep> rows = RowPointers(*pixels);
  if (!ReadPngRows(&r, rows.data())) return Fail(error, std::string("the PNG file is damaged: ") + r.errors.message);
  CopyPngProfile(r, iccProfile);
  return true;
}

bool WritePngFile(const std::wstring& path, const FilePixels& pixels, const std::vector<uint8_t>& iccProfile, int level,
                  std::string* error) {
  if (pixels.depth == 32) return Fail(error, "PNG has no float samples: name a .tif or .pfm output for 32-bit documents");
  PngWriting w;
  w.file = _wfopen(path.c_str(), L"wb");
  if (w.file == nullptr) return Fail(error, "the output file could not be created");
  setvbuf(w.file, nullptr, _IOFBF, 1 << 20);
  w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &w.errors, OnPngError, OnPngWarning);
  if (w.png != nullptr) w.info = png_create_info_struct(w.png);
  if (w.info == nullptr) return Fail(error, "the PNG writer could not be created");
  std::vector<uint8_t> deflated;
  if (IsFastLevel(level) && !DeflatePngRows(pixels, level, &deflated, error)) return false;
  std::vector<png_bytep> rows = RowPointers(pixels);
  if (!WritePngImage(&w, pixels, iccProfile, level, rows.data(), deflated)) return Fail(error, std::string("PNG: ") + w.errors.message);
  bool closed = fclose(w.file) == 0;
  w.file = nullptr;
  return closed || Fail(error, "the output file could not be completed");
}
