// Contents: the handle with its error capture; reading the samples as stored (strips or tiles,
// chunky or planar, associated alpha divided out); the RGBA fallback; the tags written; strips deflated on all processors for
// the fast levels, or through libtiff's codecs.
#include "TiffFiles.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "ParallelDeflate.h"

namespace {

// libtiff's first complaint about a file; later ones mostly follow from it.
struct TiffErrors {
  char message[256] = "";
};

int OnTiffError(TIFF*, void* context, const char* module, const char* format, va_list arguments) {
  auto* errors = static_cast<TiffErrors*>(context);
  if (errors->message[0] != '\0') return 1;
  char text[200];
  vsnprintf(text, sizeof text, format, arguments);
  snprintf(errors->message, sizeof errors->message, "%s: %s", module != nullptr ? module : "TIFF", text);
  return 1;
}

// Unknown tags and the like: the pixels are sound, and the host prints nothing for them.
int OnTiffWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffHandle {
  TiffErrors errors;
  TIFF* tiff = nullptr;
  ~TiffHandle() {
    if (tiff != nullptr) TIFFClose(tiff);
  }
  bool Open(const std::wstring& path, const char* mode) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnTiffError, &errors);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnTiffWarning, &errors);
    tiff = TIFFOpenWExt(path.c_str(), mode, options);
    TIFFOpenOptionsFree(options);
    return tiff != nullptr;
  }
};

bool Fail(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

bool FailDamaged(std::string* error, const TiffErrors& errors, const char* otherwise) {
  return Fail(error, std::string("the TIFF file is damaged: ") + (errors.message[0] != '\0' ? errors.message : otherwise));
}

struct TiffShape {
  uint32_t width = 0, height = 0;
  uint16_t samples = 1, bits = 8, format = SAMPLEFORMAT_UINT, photometric = PHOTOMETRIC_MINISBLACK;
  uint16_t planar = PLANARCONFIG_CONTIG, extraCount = 0;
  uint16_t* extras = nullptr;
};

TiffShape ShapeOf(TIFF* tiff) {
  TiffShape s;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &s.width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &s.height);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &s.samples);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &s.bits);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &s.format);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &s.planar);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &s.extraCount, &s.extras);
  if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &s.photometric)) s.photometric = s.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
  return s;
}

int ColourSamplesOf(const TiffShape& s) { return s.photometric == PHOTOMETRIC_RGB ? 3 : 1; }

bool HasAlpha(const TiffShape& s) {
  return s.extraCount > 0 && (s.extras[0] == EXTRASAMPLE_ASSOCALPHA || s.extras[0] == EXTRASAMPLE_UNASSALPHA);
}

// Gray or RGB at 8 or 16-bit unsigned or 32-bit float: the kinds read sample for sample.
bool ReadableAsStored(const TiffShape& s) {
  bool photometric = s.photometric == PHOTOMETRIC_MINISBLACK || s.photometric == PHOTOMETRIC_RGB;
  bool sampleKind = ((s.bits == 8 || s.bits == 16) && s.format == SAMPLEFORMAT_UINT) || (s.bits == 32 && s.format == SAMPLEFORMAT_IEEEFP);
  return photometric && sampleKind && s.samples == ColourSamplesOf(s) + s.extraCount;
}

// One layer of samples (all samples of a chunky file, or sample `plane` of a planar one) into
// rows of `rowBytes`, from strips or from tiles.
bool ReadLayer(TIFF* tiff, const TiffShape& s, uint16_t plane, size_t rowBytes, uint8_t* out) {
  if (!TIFFIsTiled(tiff)) {
    uint32_t rowsPerStrip = s.height;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::clamp<uint32_t>(rowsPerStrip, 1, s.height);
    for (uint32_t row = 0; row < s.height; row += rowsPerStrip) {
      tmsize_t size = tmsize_t(std::min(rowsPerStrip, s.height - row) * rowBytes);
      if (TIFFReadEncodedStrip(tiff, TIFFComputeStrip(tiff, row, plane), out + row * rowBytes, size) != size) return false;
    }
    return true;
  }
  uint32_t tileWidth = 0, tileHeight = 0;
  TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
  TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight);
  size_t pixelBytes = rowBytes / s.width, tileRowBytes = size_t(tileWidth) * pixelBytes;
  if (tileWidth == 0 || tileHeight == 0 || tmsize_t(tileRowBytes * tileHeight) != TIFFTileSize(tiff)) return false;
  std::vector<uint8_t> tile(tileRowBytes * tileHeight);
  for (uint32_t y = 0; y < s.height; y += tileHeight) {
    for (uint32_t x = 0; x < s.width; x += tileWidth) {
      if (TIFFReadTile(tiff, tile.data(), x, y, 0, plane) < 0) return false;
      size_t copied = std::min<size_t>(tileWidth, s.width - x) * pixelBytes;
      for (uint32_t r = 0; r < tileHeight && y + r < s.height; ++r) {
        memcpy(out + (y + r) * rowBytes + x * pixelBytes, tile.data() + r * tileRowBytes, copied);
      }
    }
  }
  return true;
}

// All samples as stored, interleaved; planar files are read plane by plane and interleaved here.
bool ReadStoredSamples(TIFF* tiff, const TiffShape& s, FilePixels* all) {
  size_t bytes = s.bits / 8;
  if (s.planar == PLANARCONFIG_CONTIG) return ReadLayer(tiff, s, 0, all->RowBytes(), all->samples.data());
  std::vector<uint8_t> plane(size_t(s.width) * s.height * bytes);
  for (uint16_t p = 0; p < s.samples; ++p) {
    if (!ReadLayer(tiff, s, p, size_t(s.width) * bytes, plane.data())) return false;
    uint8_t* out = all->samples.data() + p * bytes;
    for (size_t i = 0; i < plane.size() / bytes; ++i, out += s.samples * bytes) memcpy(out, plane.data() + i * bytes, bytes);
  }
  return true;
}

// Keeps the colour samples and the alpha (the first extra sample), dropping other extra samples.
void KeepChannels(const FilePixels& all, int colour, bool alpha, FilePixels* pixels) {
  size_t bytes = size_t(all.depth / 8), count = size_t(all.width) * all.height;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* in = all.samples.data() + i * all.channels * bytes;
    memcpy(pixels->samples.data() + i * pixels->channels * bytes, in, (colour + (alpha ? 1 : 0)) * bytes);
  }
}

// Palettes, bilevel and 4-bit images, CMYK, YCbCr and the like, as libtiff renders them in 8-bit RGBA.
bool ReadThroughRgba(TiffHandle& h, const TiffShape& s, FilePixels* pixels, std::string* error) {
  char reason[1024] = "";
  if (!TIFFRGBAImageOK(h.tiff, reason)) return Fail(error, std::string("this kind of TIFF file cannot be read: ") + reason);
  FilePixels rgba;
  if (!AllocateFilePixels(s.width, s.height, 4, 8, &rgba, error)) return false;
  if (!TIFFReadRGBAImageOriented(h.tiff, s.width, s.height, reinterpret_cast<uint32_t*>(rgba.samples.data()), ORIENTATION_TOPLEFT, 0)) {
    return FailDamaged(error, h.errors, "its image data cannot be decoded");
  }
  bool gray = s.photometric == PHOTOMETRIC_MINISBLACK || s.photometric == PHOTOMETRIC_MINISWHITE;
  bool alpha = s.extraCount > 0;
  if (!gray && alpha) {
    *pixels = std::move(rgba);
    return true;
  }
  if (!AllocateFilePixels(s.width, s.height, (gray ? 1 : 3) + (alpha ? 1 : 0), 8, pixels, error)) return false;
  for (size_t i = 0; i < size_t(s.width) * s.height; ++i) {
    const uint8_t* in = rgba.samples.data() + i * 4;
    uint8_t* out = pixels->samples.data() + i * pixels->channels;
    memcpy(out, in, gray ? 1 : 3);
    if (alpha) out[pixels->channels - 1] = in[3];
  }
  return true;
}

// Associated alpha has the colour multiplied by it; the host's transparency does not. Whole
// samples are rounded and kept within full scale; float ones are left unclipped.
template <typename T>
void DivideByAlpha(FilePixels* pixels, double full) {
  constexpr bool kWhole = std::is_integral_v<T>;
  int colour = pixels->channels - 1;
  T* sample = reinterpret_cast<T*>(pixels->samples.data());
  for (size_t i = 0; i < size_t(pixels->width) * pixels->height; ++i, sample += pixels->channels) {
    double alpha = double(sample[colour]);
    for (int c = 0; c < colour; ++c) {
      double straight = alpha > 0 ? double(sample[c]) * full / alpha : 0.0;
      sample[c] = kWhole ? T(std::min(full, straight) + 0.5) : T(straight);
    }
  }
}

void DivideByAssociatedAlpha(FilePixels* pixels) {
  if (pixels->depth == 8) DivideByAlpha<uint8_t>(pixels, 255);
  else if (pixels->depth == 16) DivideByAlpha<uint16_t>(pixels, 65535);
  else DivideByAlpha<float>(pixels, 1);
}

bool ReadAsStored(TiffHandle& h, const TiffShape& s, FilePixels* pixels, std::string* error) {
  int colour = ColourSamplesOf(s);
  bool alpha = HasAlpha(s);
  FilePixels all;
  if (!AllocateFilePixels(s.width, s.height, s.samples, s.bits, &all, error)) return false;
  if (!ReadStoredSamples(h.tiff, s, &all)) return FailDamaged(error, h.errors, "its image data is shorter than its size");
  if (all.channels == colour + (alpha ? 1 : 0)) {
    *pixels = std::move(all);
  } else {
    if (!AllocateFilePixels(s.width, s.height, colour + (alpha ? 1 : 0), s.bits, pixels, error)) return false;
    KeepChannels(all, colour, alpha, pixels);
  }
  if (alpha && s.extras[0] == EXTRASAMPLE_ASSOCALPHA) DivideByAssociatedAlpha(pixels);
  return true;
}

void CopyTiffProfile(TIFF* tiff, std::vector<uint8_t>* iccProfile) {
  uint32_t size = 0;
  void* profile = nullptr;
  iccProfile->clear();
  if (TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &size, &profile) && profile != nullptr) {
    iccProfile->assign(static_cast<uint8_t*>(profile), static_cast<uint8_t*>(profile) + size);
  }
}

void SetTiffFields(TIFF* tiff, const FilePixels& pixels, const std::vector<uint8_t>& iccProfile, int level, uint32_t rowsPerStrip) {
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(pixels.width));
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(pixels.height));
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(pixels.channels));
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(pixels.depth));
  TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, pixels.depth == 32 ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, pixels.Gray() ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
  if (pixels.Alpha()) {
    const uint16_t unassociated[] = {EXTRASAMPLE_UNASSALPHA};  // the host's transparency is not premultiplied
    TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, uint16_t(1), unassociated);
  }
  if (level > 0) {
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(tiff, TIFFTAG_ZIPQUALITY, level);
    TIFFSetField(tiff, TIFFTAG_PREDICTOR, pixels.depth == 32 ? PREDICTOR_FLOATINGPOINT : PREDICTOR_HORIZONTAL);
  } else {
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  }
  if (!iccProfile.empty()) TIFFSetField(tiff, TIFFTAG_ICCPROFILE, uint32_t(iccProfile.size()), iccProfile.data());
}

// The fast levels deflate the strips on all processors and hand them to libtiff compressed;
// the horizontal predictor is applied here, as libtiff would.
struct StripWork {
  const FilePixels* pixels;
  int level;
  uint32_t rowsPerStrip;
  std::vector<std::vector<uint8_t>> strips;
  std::vector<uint8_t> deflated;  // 1 for each strip compressed
};

template <typename T>
void DifferenceRows(uint8_t* bytes, size_t rows, size_t rowSamples, size_t channels) {
  for (size_t r = 0; r < rows; ++r) {
    T* row = reinterpret_cast<T*>(bytes) + r * rowSamples;
    for (size_t i = rowSamples - 1; i >= channels; --i) row[i] = T(row[i] - row[i - channels]);
  }
}

void DeflateStrip(void* context, int index) {
  auto* work = static_cast<StripWork*>(context);
  const FilePixels& pixels = *work->pixels;
  uint32_t row = uint32_t(index) * work->rowsPerStrip;
  size_t rows = std::min<size_t>(work->rowsPerStrip, size_t(pixels.height) - row);
  std::vector<uint8_t> strip(pixels.Row(int32_t(row)), pixels.Row(int32_t(row)) + rows * pixels.RowBytes());
  size_t rowSamples = size_t(pixels.width) * size_t(pixels.channels);
  if (pixels.depth == 8) DifferenceRows<uint8_t>(strip.data(), rows, rowSamples, size_t(pixels.channels));
  else DifferenceRows<uint16_t>(strip.data(), rows, rowSamples, size_t(pixels.channels));
  FastDeflater deflater;
  std::vector<uint8_t>& out = work->strips[size_t(index)];
  work->deflated[size_t(index)] = deflater.Start(work->level, true) && deflater.Add(strip.data(), strip.size(), &out) &&
                                  deflater.Finish(true, &out);
}

bool WriteDeflatedStrips(TiffHandle& h, const FilePixels& pixels, int level, uint32_t rowsPerStrip, std::string* error) {
  int count = int((uint32_t(pixels.height) + rowsPerStrip - 1) / rowsPerStrip);
  StripWork work{&pixels, level, rowsPerStrip, std::vector<std::vector<uint8_t>>(size_t(count)), std::vector<uint8_t>(size_t(count))};
  RunOnAllProcessors(count, DeflateStrip, &work);
  for (int s = 0; s < count; ++s) {
    if (!work.deflated[size_t(s)]) return Fail(error, "the pixels could not be compressed");
    if (TIFFWriteRawStrip(h.tiff, uint32_t(s), work.strips[size_t(s)].data(), tmsize_t(work.strips[size_t(s)].size())) < 0) {
      return Fail(error, std::string("TIFF: ") + h.errors.message);
    }
  }
  return true;
}

bool WriteStrips(TiffHandle& h, const FilePixels& pixels, uint32_t rowsPerStrip, std::string* error) {
  // The predictor works in place, so each strip is encoded from a copy.
  std::vector<uint8_t> strip(rowsPerStrip * pixels.RowBytes());
  for (uint32_t row = 0; row < uint32_t(pixels.height); row += rowsPerStrip) {
    size_t size = std::min<size_t>(rowsPerStrip, pixels.height - row) * pixels.RowBytes();
    memcpy(strip.data(), pixels.Row(int32_t(row)), size);
    if (TIFFWriteEncodedStrip(h.tiff, row / rowsPerStrip, strip.data(), tmsize_t(size)) < 0) {
      return Fail(error, std::string("TIFF: ") + h.errors.message);
    }
  }
  return true;
}

}  // namespace

bool HasTiffSignature(const uint8_t* head, size_t size) {
  static const uint8_t kLittle[] = {'I', 'I'}, kBig[] = {'M', 'M'};
  if (size < 4 || (memcmp(head, kLittle, 2) != 0 && memcmp(head, kBig, 2) != 0)) return false;
  int version = head[0] == 'I' ? head[2] | head[3] << 8 : head[3] | head[2] << 8;
  return version == 42 || version == 43;  // classic TIFF and BigTIFF
}

bool ReadTiffFile(const std::wstring& path, FilePixels* pixels, std::vector<uint8_t>* iccProfile, std::string* error) {
  TiffHandle h;
  if (!h.Open(path, "r")) return FailDamaged(error, h.errors, "its structure cannot be read");
  TiffShape shape = ShapeOf(h.tiff);
  bool read = ReadableAsStored(shape) ? ReadAsStored(h, shape, pixels, error) : ReadThroughRgba(h, shape, pixels, error);
  if (read) CopyTiffProfile(h.tiff, iccProfile);
  return read;
}

// Strips of about a megabyte: few enough for speed, small enough for other readers' memory.
bool WriteTiffFile(const std::wstring& path, const FilePixels& pixels, const std::vector<uint8_t>& iccProfile, int level,
                   std::string* error) {
  TiffHandle h;
  // BigTIFF only when the classic format's 4 GB of offsets might not suffice.
  if (!h.Open(path, pixels.samples.size() > (size_t(3) << 30) ? "w8" : "w")) return Fail(error, "the output file could not be created");
  uint32_t rowsPerStrip = uint32_t(std::clamp<size_t>((size_t(1) << 20) / pixels.RowBytes(), 1, size_t(pixels.height)));
  SetTiffFields(h.tiff, pixels, iccProfile, level, rowsPerStrip);
  bool fast = (level == 1 || level == 2) && pixels.depth != 32;  // float samples take libtiff's own predictor
  if (!(fast ? WriteDeflatedStrips(h, pixels, level, rowsPerStrip, error) : WriteStrips(h, pixels, rowsPerStrip, error))) return false;
  if (!TIFFFlush(h.tiff)) return Fail(error, std::string("TIFF: ") + h.errors.message);
  return true;
}
