// Every frame is converted to 8-bit BGRA, the converter format every WIC has, and reduced to gray
// and to no alpha when its own pixel format says so.
#include "WicFiles.h"

#include <windows.h>
#include <wincodec.h>

#include <cstdio>

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

const GUID* const kGrayFormats[] = {&GUID_WICPixelFormat8bppGray, &GUID_WICPixelFormat16bppGray, &GUID_WICPixelFormat32bppGrayFloat,
                                    &GUID_WICPixelFormatBlackWhite, &GUID_WICPixelFormat2bppGray, &GUID_WICPixelFormat4bppGray};

std::string HresultText(const char* what, HRESULT result) {
  char text[160];
  snprintf(text, sizeof text, "%s (0x%08lX)", what, static_cast<unsigned long>(result));
  return text;
}

bool Fail(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

bool IsGrayFormat(const WICPixelFormatGUID& format) {
  for (const GUID* gray : kGrayFormats) {
    if (IsEqualGUID(format, *gray)) return true;
  }
  return false;
}

bool SupportsTransparency(IWICImagingFactory* factory, const WICPixelFormatGUID& format) {
  ComPtr<IWICComponentInfo> component;
  ComPtr<IWICPixelFormatInfo2> pixelInfo;
  BOOL transparency = FALSE;
  return SUCCEEDED(factory->CreateComponentInfo(format, &component)) &&
         SUCCEEDED(component->QueryInterface(IID_IWICPixelFormatInfo2, reinterpret_cast<void**>(&pixelInfo))) &&
         SUCCEEDED(pixelInfo->SupportsTransparency(&transparency)) && transparency != FALSE;
}

void ReadEmbeddedProfile(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, std::vector<uint8_t>* iccProfile) {
  ComPtr<IWICColorContext> context;
  UINT count = 0;
  iccProfile->clear();
  if (FAILED(factory->CreateColorContext(&context)) || FAILED(frame->GetColorContexts(1, &context.p, &count)) || count == 0) return;
  WICColorContextType type;
  UINT size = 0;
  if (FAILED(context->GetType(&type)) || type != WICColorContextProfile || FAILED(context->GetProfileBytes(0, nullptr, &size))) return;
  iccProfile->resize(size);
  if (FAILED(context->GetProfileBytes(size, iccProfile->data(), &size))) iccProfile->clear();
}

HRESULT DecodeToBgra(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, FilePixels* bgra) {
  ComPtr<IWICFormatConverter> converter;
  HRESULT hr = factory->CreateFormatConverter(&converter);
  if (SUCCEEDED(hr)) hr = converter->Initialize(frame, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                                WICBitmapPaletteTypeCustom);
  if (SUCCEEDED(hr)) hr = converter->CopyPixels(nullptr, UINT(bgra->RowBytes()), UINT(bgra->samples.size()), bgra->samples.data());
  return hr;
}

// BGRA to the channels kept, red first.
void KeepChannels(const FilePixels& bgra, FilePixels* pixels) {
  size_t count = size_t(bgra.width) * bgra.height;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* in = bgra.samples.data() + i * 4;
    uint8_t* out = pixels->samples.data() + i * size_t(pixels->channels);
    const uint8_t rgba[4] = {in[2], in[1], in[0], in[3]};
    int colour = pixels->Gray() ? 1 : 3;
    for (int c = 0; c < colour; ++c) out[c] = rgba[c];
    if (pixels->Alpha()) out[colour] = rgba[3];
  }
}

}  // namespace

bool ReadWicFile(const std::wstring& path, FilePixels* pixels, std::vector<uint8_t>* iccProfile, std::string* error) {
  ComPtr<IWICImagingFactory> factory;
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return Fail(error, HresultText("the imaging component is not available", hr));
  hr = factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnLoad, &decoder);
  if (FAILED(hr) || FAILED(hr = decoder->GetFrame(0, &frame))) return Fail(error, HresultText("cannot read the image file", hr));
  UINT width = 0, height = 0;
  WICPixelFormatGUID format;
  if (FAILED(hr = frame->GetSize(&width, &height)) || FAILED(hr = frame->GetPixelFormat(&format))) {
    return Fail(error, HresultText("cannot read the image file", hr));
  }
  FilePixels bgra;
  if (!AllocateFilePixels(width, height, 4, 8, &bgra, error)) return false;
  if (FAILED(hr = DecodeToBgra(factory.p, frame.p, &bgra))) return Fail(error, HresultText("the image's pixels cannot be decoded", hr));
  bool alpha = SupportsTransparency(factory.p, format);
  if (!AllocateFilePixels(width, height, (IsGrayFormat(format) ? 1 : 3) + (alpha ? 1 : 0), 8, pixels, error)) return false;
  KeepChannels(bgra, pixels);
  ReadEmbeddedProfile(factory.p, frame.p, iccProfile);
  return true;
}
