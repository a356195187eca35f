// Image files through WIC. Every file is converted to RGBA at its depth (8-bit, 16-bit or 32-bit
// float) and split into the document's planes; gray documents take the red channel. A file is
// written to a scratch name and moved into place only when complete.
#include "ImageFiles.h"

#include "FloatMapFiles.h"

#include <windows.h>
#include <wincodec.h>

#include <cmath>
#include <cstring>

namespace {

template <typename T>
struct ComPtr {
  T* p = nullptr;
  ~ComPtr() {
    if (p != nullptr) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() const { return p; }
};

struct FormatFacts {
  const GUID* format;
  bool gray;
  int depth;
};

// clang-format off
const FormatFacts kKnownFormats[] = {
  {&GUID_WICPixelFormat8bppGray,      true,  8}, {&GUID_WICPixelFormat16bppGray,       true,  16},
  {&GUID_WICPixelFormat32bppGrayFloat, true, 32}, {&GUID_WICPixelFormatBlackWhite,     true,  8},
  {&GUID_WICPixelFormat48bppRGB,      false, 16}, {&GUID_WICPixelFormat64bppRGBA,      false, 16},
  {&GUID_WICPixelFormat48bppBGR,      false, 16}, {&GUID_WICPixelFormat64bppBGRA,      false, 16},
  {&GUID_WICPixelFormat128bppRGBAFloat, false, 32}, {&GUID_WICPixelFormat96bppRGBFloat, false, 32},
  {&GUID_WICPixelFormat128bppRGBFloat, false, 32},
};
// clang-format on

std::string HresultText(const char* what, HRESULT result) {
  char text[160];
  snprintf(text, sizeof text, "%s (0x%08lX)", what, static_cast<unsigned long>(result));
  return text;
}

bool Fail(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

void DescribeSource(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, ImageFileInfo* info) {
  WICPixelFormatGUID format;
  frame->GetPixelFormat(&format);
  for (const FormatFacts& facts : kKnownFormats) {
    if (IsEqualGUID(format, *facts.format)) {
      info->gray = facts.gray;
      info->depth = facts.depth;
    }
  }
  ComPtr<IWICComponentInfo> component;
  ComPtr<IWICPixelFormatInfo2> pixelInfo;
  BOOL transparency = FALSE;
  if (SUCCEEDED(factory->CreateComponentInfo(format, &component)) &&
      SUCCEEDED(component->QueryInterface(IID_IWICPixelFormatInfo2, reinterpret_cast<void**>(&pixelInfo))) &&
      SUCCEEDED(pixelInfo->SupportsTransparency(&transparency))) {
    info->alpha = transparency != FALSE;
  }
}

void ReadEmbeddedProfile(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, ImageFileInfo* info) {
  ComPtr<IWICColorContext> context;
  UINT count = 0;
  if (FAILED(factory->CreateColorContext(&context)) || FAILED(frame->GetColorContexts(1, &context.p, &count)) || count == 0) return;
  WICColorContextType type;
  UINT size = 0;
  if (FAILED(context->GetType(&type)) || type != WICColorContextProfile || FAILED(context->GetProfileBytes(0, nullptr, &size))) return;
  info->iccProfile.resize(size);
  if (FAILED(context->GetProfileBytes(size, info->iccProfile.data(), &size))) info->iccProfile.clear();
}

// Formats of written files, with the document's channels; 8-bit colour in blue-first order, the
// order every WIC encoder takes.
struct FileFormat {
  const GUID* format;
  int channels;
  bool blueFirst;
};

FileFormat FileFormatOf(const DocumentImage& document) {
  bool gray = document.colourPlanes == 1 && !document.transparency;
  switch (document.bytesPerSample) {
    case 1:
      if (gray) return {&GUID_WICPixelFormat8bppGray, 1, false};
      return document.transparency ? FileFormat{&GUID_WICPixelFormat32bppBGRA, 4, true} : FileFormat{&GUID_WICPixelFormat24bppBGR, 3, true};
    case 2:
      // 16-bit colour always carries an (opaque) alpha: one layout for every 16-bit colour file.
      if (gray) return {&GUID_WICPixelFormat16bppGray, 1, false};
      return {&GUID_WICPixelFormat64bppRGBA, 4, false};
    default:
      return {&GUID_WICPixelFormat128bppRGBAFloat, 4, false};
  }
}

// One RGBA pixel's channel c as the host stores it: 8-bit, 16-bit 0..32768 or float.
void StoreSample(const uint8_t* rgba, int c, int depth, uint8_t* out) {
  if (depth == 8) {
    *out = rgba[c];
  } else if (depth == 16) {
    uint16_t v;
    memcpy(&v, rgba + 2 * c, 2);
    uint16_t host = uint16_t((uint32_t(v) * 32768 + 32767) / 65535);
    memcpy(out, &host, 2);
  } else {
    memcpy(out, rgba + 4 * c, 4);
  }
}

int SixteenBitChannels(const WICPixelFormatGUID& format) {
  if (IsEqualGUID(format, GUID_WICPixelFormat16bppGray)) return 1;
  if (IsEqualGUID(format, GUID_WICPixelFormat48bppRGB)) return 3;
  if (IsEqualGUID(format, GUID_WICPixelFormat64bppRGBA)) return 4;
  return 0;
}

// Widens native 16-bit gray, RGB or RGBA pixels (rows without padding) to RGBA.
void WidenSixteenBit(int channels, const std::vector<uint8_t>& native, size_t pixels, std::vector<uint8_t>* rgba) {
  rgba->resize(pixels * 8);
  const auto* in = reinterpret_cast<const uint16_t*>(native.data());
  auto* out = reinterpret_cast<uint16_t*>(rgba->data());
  for (size_t i = 0; i < pixels; ++i) {
    for (int c = 0; c < 4; ++c) out[i * 4 + c] = c == 3 && channels < 4 ? 65535 : in[i * channels + (channels == 1 ? 0 : c)];
  }
}

// RGBA at the depth. 8-bit goes through BGRA, the converter format every WIC has; 16-bit files
// are read in their own layout; other sources at 16 or 32 bits are widened from 8.
HRESULT DecodeToRgba(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, int depth, UINT width, UINT height,
                     std::vector<uint8_t>* rgba) {
  size_t pixels = size_t(width) * height;
  WICPixelFormatGUID native;
  frame->GetPixelFormat(&native);
  int channels = SixteenBitChannels(native);
  if (depth == 16 && channels > 0) {
    std::vector<uint8_t> raw(pixels * 2 * size_t(channels));
    HRESULT hr = frame->CopyPixels(nullptr, width * 2 * UINT(channels), UINT(raw.size()), raw.data());
    if (SUCCEEDED(hr)) WidenSixteenBit(channels, raw, pixels, rgba);
    return hr;
  }
  ComPtr<IWICFormatConverter> converter;
  HRESULT hr = factory->CreateFormatConverter(&converter);
  if (SUCCEEDED(hr)) hr = converter->Initialize(frame, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                                WICBitmapPaletteTypeCustom);
  std::vector<uint8_t> bgra(pixels * 4);
  if (SUCCEEDED(hr)) hr = converter->CopyPixels(nullptr, width * 4, UINT(bgra.size()), bgra.data());
  if (FAILED(hr)) return hr;
  rgba->resize(pixels * 4 * (depth / 8));
  for (size_t i = 0; i < pixels; ++i) {
    for (int c = 0; c < 4; ++c) {
      uint8_t v = bgra[i * 4 + (c == 3 ? 3 : 2 - c)];
      if (depth == 8) (*rgba)[i * 4 + c] = v;
      else if (depth == 16) reinterpret_cast<uint16_t*>(rgba->data())[i * 4 + c] = uint16_t(v * 257);
      else reinterpret_cast<float*>(rgba->data())[i * 4 + c] = float(v) / 255.0f;
    }
  }
  return S_OK;
}

}  // namespace

bool LoadImageFile(const std::wstring& path, int depth, int grayOverride, DocumentImage* document, ImageFileInfo* info,
                   std::string* error) {
  if (IsFloatMapPath(path)) {
    if (!LoadFloatMap(path, document, error)) return false;
    info->gray = document->colourPlanes == 1;
    info->depth = 32;
    info->alpha = false;
    bool asTheyAre = (depth == 0 || depth == 32) && (grayOverride < 0 || grayOverride == int(info->gray));
    return asTheyAre || Fail(error, "float maps are read as they are: --mode and --depth cannot convert them");
  }
  ComPtr<IWICImagingFactory> factory;
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return Fail(error, HresultText("the imaging component is not available", hr));
  hr = factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnLoad, &decoder);
  if (FAILED(hr) || FAILED(hr = decoder->GetFrame(0, &frame))) return Fail(error, HresultText("cannot read the image file", hr));
  UINT width = 0, height = 0;
  frame->GetSize(&width, &height);
  if (width == 0 || height == 0) return Fail(error, "the image file is empty");
  if (width > 32767 || height > 32767) return Fail(error, "the image is larger than 32767 pixels");
  DescribeSource(factory.p, frame.p, info);
  ReadEmbeddedProfile(factory.p, frame.p, info);
  if (depth != 0) info->depth = depth;
  if (grayOverride >= 0) info->gray = grayOverride != 0;
  std::vector<uint8_t> pixels;
  HRESULT decoded = DecodeToRgba(factory.p, frame.p, info->depth, width, height, &pixels);
  if (FAILED(decoded)) return Fail(error, HresultText("the image's pixel format cannot be converted", decoded));
  int pixelBytes = 4 * (info->depth / 8);
  *document = DocumentImage{};
  document->width = int32_t(width);
  document->height = int32_t(height);
  document->colourPlanes = info->gray ? 1 : 3;
  document->transparency = info->alpha;
  document->bytesPerSample = info->depth / 8;
  document->planes.assign(size_t(document->Planes()), std::vector<uint8_t>(size_t(width) * height * (info->depth / 8)));
  for (int p = 0; p < document->Planes(); ++p) {
    int channel = p == document->colourPlanes ? 3 : p;
    for (size_t i = 0; i < size_t(width) * height; ++i) {
      StoreSample(pixels.data() + i * pixelBytes, channel, info->depth, document->planes[size_t(p)].data() + i * (info->depth / 8));
    }
  }
  return true;
}

namespace {

// All interfaces are released on return, so that the file is closed before it is moved.
HRESULT EncodeFile(const std::wstring& path, bool tiff, const DocumentImage& document, const FileFormat& file,
                   const std::vector<uint8_t>& pixels, const std::vector<uint8_t>& iccProfile) {
  ComPtr<IWICImagingFactory> factory;
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  ComPtr<IWICColorContext> context;
  UINT rowBytes = UINT(document.width) * UINT(file.channels) * UINT(document.bytesPerSample);
  WICPixelFormatGUID format = *file.format;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(&factory));
  if (SUCCEEDED(hr)) hr = factory->CreateStream(&stream);
  if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
  if (SUCCEEDED(hr)) hr = factory->CreateEncoder(tiff ? GUID_ContainerFormatTiff : GUID_ContainerFormatPng, nullptr, &encoder);
  if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.p, WICBitmapEncoderNoCache);
  if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(&frame, nullptr);
  if (SUCCEEDED(hr)) hr = frame->Initialize(nullptr);
  if (SUCCEEDED(hr)) hr = frame->SetSize(UINT(document.width), UINT(document.height));
  if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
  if (SUCCEEDED(hr) && !IsEqualGUID(format, *file.format)) hr = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
  // A codec that cannot embed a profile still writes the pixels.
  if (SUCCEEDED(hr) && !iccProfile.empty() && SUCCEEDED(factory->CreateColorContext(&context)) &&
      SUCCEEDED(context->InitializeFromMemory(iccProfile.data(), UINT(iccProfile.size())))) {
    frame->SetColorContexts(1, &context.p);
  }
  if (SUCCEEDED(hr)) hr = frame->WritePixels(UINT(document.height), rowBytes, UINT(pixels.size()),
                                             const_cast<BYTE*>(pixels.data()));
  if (SUCCEEDED(hr)) hr = frame->Commit();
  if (SUCCEEDED(hr)) hr = encoder->Commit();
  return hr;
}

}  // namespace

// The file's samples of one pixel from the document's planes; 16-bit samples return to 0..65535.
void PackPixel(const DocumentImage& document, const FileFormat& file, size_t index, uint8_t* out) {
  int bytes = document.bytesPerSample;
  for (int c = 0; c < file.channels; ++c) {
    int plane = file.channels == 1 ? 0 : c == 3 ? document.colourPlanes : document.colourPlanes == 1 ? 0 : c;
    int position = file.blueFirst && c < 3 ? 2 - c : c;
    uint8_t* sample = out + position * bytes;
    if (c == 3 && !document.transparency) {
      const float one = 1.0f;
      memcpy(sample, bytes == 4 ? static_cast<const void*>(&one) : "\xFF\xFF", size_t(bytes));
      continue;
    }
    const uint8_t* in = document.planes[size_t(plane)].data() + index * bytes;
    if (bytes == 2) {
      uint16_t v;
      memcpy(&v, in, 2);
      uint16_t wide = v >= 32768 ? 65535 : uint16_t((uint32_t(v) * 65535 + 16384) / 32768);
      memcpy(sample, &wide, 2);
    } else {
      memcpy(sample, in, size_t(bytes));
    }
  }
}

bool SaveImageFile(const std::wstring& path, const DocumentImage& document, const std::vector<uint8_t>& iccProfile,
                   std::string* error) {
  bool tiff = path.size() > 4 && (_wcsicmp(path.c_str() + path.size() - 4, L".tif") == 0 ||
                                  (path.size() > 5 && _wcsicmp(path.c_str() + path.size() - 5, L".tiff") == 0));
  if (IsFloatMapPath(path)) return SaveFloatMap(path, document, error);
  if (document.bytesPerSample == 4) return Fail(error, "32-bit documents are written as float maps: name a .pfm output");
  // Wine's PNG encoder garbles 16-bit samples (its decoder reads them right), so refuse rather
  // than write a wrong file.
  if (document.bytesPerSample == 2 && !tiff) return Fail(error, "16-bit documents are written as TIFF: name a .tif output");
  FileFormat file = FileFormatOf(document);
  size_t pixelBytes = size_t(file.channels) * document.bytesPerSample;
  std::vector<uint8_t> pixels(size_t(document.width) * document.height * pixelBytes);
  for (size_t i = 0; i < size_t(document.width) * document.height; ++i) PackPixel(document, file, i, pixels.data() + i * pixelBytes);
  std::wstring scratch = path + L".partial";
  HRESULT hr = EncodeFile(scratch, tiff, document, file, pixels, iccProfile);
  bool written = SUCCEEDED(hr);
  if (!written) {
    DeleteFileW(scratch.c_str());
    return Fail(error, HresultText("the output file could not be written", hr));
  }
  if (!MoveFileExW(scratch.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileW(scratch.c_str());
    return Fail(error, "the output file could not be put in place");
  }
  return true;
}
