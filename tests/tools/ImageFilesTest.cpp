// The reference host's image files: every mode and depth through PNG, TIFF and float maps back to
// the same bit, ICC profiles carried through, the depth and mode conversions on reading, and
// damaged files refused with one line and no output.
// Sections: documents and profiles made here; round trips and compression levels; profiles;
// conversions and other TIFF layouts; damaged files; the host as a program.
#include <gtest/gtest.h>

#include <lcms2.h>
#include <objbase.h>
#include <tiffio.h>

#include <cmath>
#include <cstring>

#include "DocumentImage.h"
#include "FilePixels.h"
#include "ImageFiles.h"
#include "TestSupport.h"
#include "WicFiles.h"

namespace {

// Every sample value of the depth somewhere in each plane (16-bit: all of 0..32768), each plane
// shifted so that the planes differ; float samples include values outside 0..1.
DocumentImage MakeEveryValueDocument(int colourPlanes, bool transparency, int bytesPerSample) {
  DocumentImage d = MakeTestDocument(257, 131, colourPlanes, transparency, bytesPerSample, false);
  for (int p = 0; p < d.Planes(); ++p) {
    for (size_t i = 0; i < d.planes[size_t(p)].size() / size_t(bytesPerSample); ++i) {
      uint8_t* at = d.planes[size_t(p)].data() + i * size_t(bytesPerSample);
      size_t k = i + size_t(p) * 1013;
      if (bytesPerSample == 1) {
        *at = uint8_t(k % 256);
      } else if (bytesPerSample == 2) {
        uint16_t v = uint16_t(k % 32769);
        memcpy(at, &v, 2);
      } else {
        float v = float(k % 5000) / 1999.0f - 0.5f;
        memcpy(at, &v, 4);
      }
    }
  }
  return d;
}

std::vector<uint8_t> ProfileBytes(cmsHPROFILE profile) {
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  std::vector<uint8_t> bytes(size);
  cmsSaveProfileToMem(profile, bytes.data(), &size);
  cmsCloseProfile(profile);
  return bytes;
}

std::vector<uint8_t> StandardRgbProfile() { return ProfileBytes(cmsCreate_sRGBProfile()); }

std::vector<uint8_t> GrayProfile() {
  cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.2);
  std::vector<uint8_t> bytes = ProfileBytes(cmsCreateGrayProfile(cmsD50_xyY(), curve));
  cmsFreeToneCurve(curve);
  return bytes;
}

struct FileCase {
  const wchar_t* extension;
  int colourPlanes;
  bool transparency;
  int bytes;
};

std::string NameOf(const FileCase& c) {
  std::wstring extension = c.extension;
  return std::string(extension.begin(), extension.end()) + " " + (c.colourPlanes == 1 ? "gray" : "rgb") +
         (c.transparency ? "+alpha " : " ") + std::to_string(c.bytes * 8) + "-bit";
}

// clang-format off
const FileCase kFileCases[] = {
  {L"png", 1, false, 1}, {L"png", 1, true, 1}, {L"png", 3, false, 1}, {L"png", 3, true, 1},
  {L"png", 1, false, 2}, {L"png", 1, true, 2}, {L"png", 3, false, 2}, {L"png", 3, true, 2},
  {L"tif", 1, false, 1}, {L"tif", 1, true, 1}, {L"tif", 3, false, 1}, {L"tif", 3, true, 1},
  {L"tif", 1, false, 2}, {L"tif", 1, true, 2}, {L"tif", 3, false, 2}, {L"tif", 3, true, 2},
  {L"tif", 1, false, 4}, {L"tif", 1, true, 4}, {L"tif", 3, false, 4}, {L"tif", 3, true, 4},
  {L"pfm", 1, false, 4}, {L"pfm", 3, false, 4},
};
// clang-format on

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

}  // namespace

// WIC is a COM server: the test thread joins an apartment for the files that go through it.
class ImageFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    folder = MakeScratchFolder(L"imagefiles");
  }
  void TearDown() override {
    RemoveFolderTree(folder);
    CoUninitialize();
  }
  std::wstring Path(const std::wstring& name) const { return folder + L"\\" + name; }

  std::wstring folder;
};

TEST_F(ImageFiles, EveryModeAndDepthReturnsToTheSameBit) {
  for (const FileCase& c : kFileCases) {
    SCOPED_TRACE(NameOf(c));
    DocumentImage original = MakeEveryValueDocument(c.colourPlanes, c.transparency, c.bytes);
    std::wstring path = Path(std::wstring(L"every.") + c.extension);
    std::string error;
    ASSERT_TRUE(SaveImageFile(path, original, {}, &error)) << error;
    DocumentImage back;
    ImageFileInfo info;
    ASSERT_TRUE(LoadImageFile(path, 0, -1, &back, &info, &error)) << error;
    EXPECT_EQ(info.gray, c.colourPlanes == 1);
    EXPECT_EQ(info.alpha, c.transparency);
    EXPECT_EQ(info.depth, c.bytes * 8);
    EXPECT_EQ(back.width, original.width);
    EXPECT_EQ(back.height, original.height);
    EXPECT_EQ(back.colourPlanes, original.colourPlanes);
    EXPECT_EQ(back.transparency, original.transparency);
    EXPECT_TRUE(back.planes == original.planes);
  }
}

// Tall enough for the fast levels to deflate in several pieces (PNG) and strips (TIFF).
TEST_F(ImageFiles, EveryCompressionLevelReadsBackAndHigherLevelsAreSmaller) {
  DocumentImage original = MakeTestDocument(200, 1500, 3, true, 2, false);
  for (const wchar_t* extension : {L"png", L"tif"}) {
    std::vector<size_t> sizes;
    for (int level : {0, 1, 9}) {
      std::wstring path = Path(L"level" + std::to_wstring(level) + L"." + extension);
      std::string error;
      ASSERT_TRUE(SaveImageFile(path, original, {}, &error, level)) << error;
      DocumentImage back;
      ImageFileInfo info;
      ASSERT_TRUE(LoadImageFile(path, 0, -1, &back, &info, &error)) << error;
      EXPECT_TRUE(back.planes == original.planes) << level;
      sizes.push_back(ReadWholeFile(path).size());
    }
    EXPECT_GT(sizes[0], sizes[1] * 2) << "level 0 stores the samples";
    EXPECT_LE(sizes[2], sizes[1]);
  }
  // Another decoder (the imaging component's) reads the pieces joined into one stream.
  DocumentImage eightBit = MakeTestDocument(300, 700, 3, false, 1, false);
  std::string error;
  ASSERT_TRUE(SaveImageFile(Path(L"pieces.png"), eightBit, {}, &error)) << error;
  FilePixels decoded;
  std::vector<uint8_t> profile;
  ASSERT_TRUE(ReadWicFile(Path(L"pieces.png"), &decoded, &profile, &error)) << error;
  DocumentImage throughWic;
  DocumentFromFilePixels(decoded, 8, false, &throughWic);
  EXPECT_TRUE(throughWic.planes == eightBit.planes);
  EXPECT_FALSE(SaveImageFile(Path(L"level10.png"), original, {}, &error, 10));
  EXPECT_EQ(error, "the compression level runs from 0 to 9");
}

TEST_F(ImageFiles, TheIccProfileIsCarriedInAndOut) {
  std::vector<uint8_t> rgb = StandardRgbProfile(), gray = GrayProfile();
  ASSERT_GT(rgb.size(), 128u);
  ASSERT_GT(gray.size(), 128u);
  struct ProfileCase {
    const wchar_t* name;
    int colourPlanes;
    int bytes;
    const std::vector<uint8_t>* profile;
  };
  for (const ProfileCase& c : {ProfileCase{L"rgb8.png", 3, 1, &rgb}, ProfileCase{L"rgb16.png", 3, 2, &rgb},
                               ProfileCase{L"gray8.png", 1, 1, &gray}, ProfileCase{L"rgb16.tif", 3, 2, &rgb},
                               ProfileCase{L"gray32.tif", 1, 4, &gray}}) {
    std::string error;
    ASSERT_TRUE(SaveImageFile(Path(c.name), MakeTestDocument(40, 30, c.colourPlanes, false, c.bytes, false), *c.profile, &error)) << error;
    DocumentImage back;
    ImageFileInfo info;
    ASSERT_TRUE(LoadImageFile(Path(c.name), 0, -1, &back, &info, &error)) << error;
    EXPECT_TRUE(info.iccProfile == *c.profile) << std::string(c.name, c.name + wcslen(c.name));
  }
  std::string error;
  ASSERT_TRUE(SaveImageFile(Path(L"none.png"), MakeTestDocument(40, 30, 3, false, 1, false), {}, &error)) << error;
  DocumentImage back;
  ImageFileInfo info;
  info.iccProfile = rgb;
  ASSERT_TRUE(LoadImageFile(Path(L"none.png"), 0, -1, &back, &info, &error)) << error;
  EXPECT_TRUE(info.iccProfile.empty()) << "a file without a profile hands none on";
}

// A 16-bit file read at 8 and 32 bits, and as gray; the samples are full white, black and mid grey.
TEST_F(ImageFiles, ReadingConvertsDepthAndMode) {
  DocumentImage original = MakeTestDocument(3, 1, 3, false, 2, false);
  const uint16_t values[3] = {32768, 0, 16384};
  for (int p = 0; p < 3; ++p) {
    for (int x = 0; x < 3; ++x) memcpy(original.Sample(p, x, 0), &values[(x + p) % 3], 2);
  }
  std::string error;
  ASSERT_TRUE(SaveImageFile(Path(L"deep.png"), original, {}, &error)) << error;
  DocumentImage eight, gray, floats;
  ImageFileInfo info;
  ASSERT_TRUE(LoadImageFile(Path(L"deep.png"), 8, -1, &eight, &info, &error)) << error;
  EXPECT_EQ(eight.bytesPerSample, 1);
  EXPECT_EQ(eight.planes[0], (std::vector<uint8_t>{255, 0, 128}));
  EXPECT_EQ(eight.planes[1], (std::vector<uint8_t>{0, 128, 255}));
  ASSERT_TRUE(LoadImageFile(Path(L"deep.png"), 0, 1, &gray, &info, &error)) << error;
  EXPECT_TRUE(info.gray);
  ASSERT_EQ(gray.colourPlanes, 1);
  EXPECT_EQ(gray.planes[0], original.planes[0]) << "a gray document takes the red channel";
  ASSERT_TRUE(LoadImageFile(Path(L"deep.png"), 32, -1, &floats, &info, &error)) << error;
  float first = 0;
  memcpy(&first, floats.planes[0].data(), 4);
  EXPECT_EQ(first, 1.0f);
  // Float samples beyond white are clipped when a float file is read at 16 bits.
  DocumentImage bright = MakeTestDocument(2, 1, 1, false, 4, false);
  const float samples[2] = {2.5f, -1.0f};
  memcpy(bright.planes[0].data(), samples, 8);
  ASSERT_TRUE(SaveImageFile(Path(L"bright.tif"), bright, {}, &error)) << error;
  DocumentImage clipped;
  ASSERT_TRUE(LoadImageFile(Path(L"bright.tif"), 16, -1, &clipped, &info, &error)) << error;
  uint16_t whiteBlack[2];
  memcpy(whiteBlack, clipped.planes[0].data(), 4);
  EXPECT_EQ(whiteBlack[0], 32768);
  EXPECT_EQ(whiteBlack[1], 0);
}

// libtiff writes a tiled, planar 16-bit RGB file here, the layout other programs choose.
TEST_F(ImageFiles, TiledPlanarTiffIsRead) {
  std::wstring path = Path(L"tiled.tif");
  TIFF* tiff = TIFFOpenW(path.c_str(), "w");
  ASSERT_NE(tiff, nullptr);
  const uint32_t width = 40, height = 20;
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 16);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_SEPARATE);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(tiff, TIFFTAG_TILEWIDTH, 16);
  TIFFSetField(tiff, TIFFTAG_TILELENGTH, 16);
  std::vector<uint16_t> tile(16 * 16);
  auto value = [](uint32_t x, uint32_t y, uint16_t plane) { return uint16_t(x * 1000 + y * 3 + plane * 20000); };
  for (uint16_t plane = 0; plane < 3; ++plane) {
    for (uint32_t ty = 0; ty < height; ty += 16) {
      for (uint32_t tx = 0; tx < width; tx += 16) {
        for (uint32_t i = 0; i < tile.size(); ++i) tile[i] = value(tx + i % 16, ty + i / 16, plane);
        ASSERT_GE(TIFFWriteTile(tiff, tile.data(), tx, ty, 0, plane), 0);
      }
    }
  }
  TIFFClose(tiff);
  DocumentImage document;
  ImageFileInfo info;
  std::string error;
  ASSERT_TRUE(LoadImageFile(path, 0, -1, &document, &info, &error)) << error;
  ASSERT_EQ(document.width, 40);
  EXPECT_EQ(info.depth, 16);
  for (uint16_t plane = 0; plane < 3; ++plane) {
    for (uint32_t y = 0; y < height; ++y) {
      for (uint32_t x = 0; x < width; ++x) {
        uint16_t host;
        memcpy(&host, document.Sample(plane, x, y), 2);
        ASSERT_EQ(host, uint16_t((uint32_t(value(x, y, plane)) * 32768 + 32767) / 65535)) << plane << " " << x << " " << y;
      }
    }
  }
}

// Other programs may store premultiplied (associated) alpha; the host's transparency is straight.
TEST_F(ImageFiles, AssociatedAlphaIsDividedOut) {
  std::wstring path = Path(L"associated.tif");
  TIFF* tiff = TIFFOpenW(path.c_str(), "w");
  ASSERT_NE(tiff, nullptr);
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 3);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, 1);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 4);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  const uint16_t associated[] = {EXTRASAMPLE_ASSOCALPHA};
  TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, associated);
  uint8_t row[12] = {100, 50, 0, 128, 0, 0, 0, 0, 30, 60, 90, 255};
  ASSERT_GE(TIFFWriteScanline(tiff, row, 0, 0), 0);
  TIFFClose(tiff);
  DocumentImage document;
  ImageFileInfo info;
  std::string error;
  ASSERT_TRUE(LoadImageFile(path, 0, -1, &document, &info, &error)) << error;
  ASSERT_TRUE(info.alpha);
  EXPECT_EQ(document.planes[0], (std::vector<uint8_t>{199, 0, 30}));  // 100 * 255 / 128, rounded
  EXPECT_EQ(document.planes[1], (std::vector<uint8_t>{100, 0, 60}));
  EXPECT_EQ(document.planes[3], (std::vector<uint8_t>{128, 0, 255}));
}

// A 3 x 2 BMP made byte by byte: 24-bit, rows bottom-up in blue-green-red, padded to 4 bytes.
TEST_F(ImageFiles, OtherFormatsAreReadThroughTheImagingComponent) {
  auto le32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  std::string pixels;
  const uint8_t rows[2][9] = {{10, 20, 30, 40, 50, 60, 70, 80, 90}, {255, 0, 0, 0, 255, 0, 0, 0, 255}};  // bottom row first
  for (const auto& row : rows) pixels += std::string(reinterpret_cast<const char*>(row), 9) + std::string(3, '\0');
  std::string bmp = "BM" + le32(54 + uint32_t(pixels.size())) + le32(0) + le32(54) + le32(40) + le32(3) + le32(2) +
                    std::string{1, 0, 24, 0} + le32(0) + le32(uint32_t(pixels.size())) + le32(2835) + le32(2835) + le32(0) +
                    le32(0) + pixels;
  WriteWholeFile(Path(L"small.bmp"), bmp);
  DocumentImage document;
  ImageFileInfo info;
  std::string error;
  ASSERT_TRUE(LoadImageFile(Path(L"small.bmp"), 0, -1, &document, &info, &error)) << error;
  EXPECT_EQ(info.depth, 8);
  EXPECT_FALSE(info.gray);
  EXPECT_FALSE(info.alpha);
  ASSERT_EQ(document.width, 3);
  EXPECT_EQ(document.planes[0], (std::vector<uint8_t>{0, 0, 255, 30, 60, 90}));  // red: the top row, then the bottom one
  EXPECT_EQ(document.planes[2], (std::vector<uint8_t>{255, 0, 0, 10, 40, 70}));
}

// The kinds of damage each format can notice: a TIFF's samples carry no checksum (a changed
// byte in them reads as other pixels, in any reader), its structure does.
TEST_F(ImageFiles, DamagedFilesAreRefusedWithOneLine) {
  for (bool png : {true, false}) {
    std::wstring whole = Path(png ? L"whole.png" : L"whole.tif");
    std::string error;
    ASSERT_TRUE(SaveImageFile(whole, MakeTestDocument(200, 100, 3, false, 2, false), {}, &error)) << error;
    std::vector<uint8_t> bytes = ReadWholeFile(whole);
    std::string text(bytes.begin(), bytes.end());
    struct Damage {
      const char* what;
      std::string bytes;
    };
    std::vector<Damage> damages = {{"cut in its header", text.substr(0, 12)},
                                   {"cut in half", text.substr(0, text.size() / 2)},
                                   {"a wrong signature", text}};
    damages.back().bytes[png ? 1 : 2] ^= 0x5A;
    if (png) {
      damages.push_back({"cut short of its end chunk", text.substr(0, text.size() - 6)});
      damages.push_back({"flipped bytes in its pixels", text});
      for (size_t i = text.size() / 3; i < text.size() / 3 + 16; ++i) damages.back().bytes[i] = char(~text[i]);
    } else {
      damages.push_back({"a directory beyond its end", text});
      memcpy(damages.back().bytes.data() + 4, "\x00\xFF\xFF\x7F", 4);
    }
    for (const Damage& d : damages) {
      SCOPED_TRACE(std::string(d.what) + (png ? " png" : " tif"));
      std::wstring path = Path(png ? L"damaged.png" : L"damaged.tif");
      WriteWholeFile(path, d.bytes);
      DocumentImage document;
      ImageFileInfo info;
      error.clear();
      EXPECT_FALSE(LoadImageFile(path, 0, -1, &document, &info, &error));
      EXPECT_FALSE(error.empty());
      EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
  }
}

namespace {

ProcessResult RunHostOn(const std::wstring& in, const std::wstring& out, const std::wstring& more = L"") {
  std::wstring defaults = L" --play \"" + ExamplesPath() + L"\\default-settings.txt\"";
  return RunProcess(L"\"" + BuiltFilterHostPath() + L"\" \"" + BuiltPluginPath() + L"\"" + defaults + L" --in \"" + in + L"\" --out \"" +
                    out + L"\" " + more);
}

}  // namespace

// The whole host: a damaged file gives one line on stderr, status 1 and no output.
TEST_F(ImageFiles, TheHostRefusesDamagedFilesWithOneLineAndNoOutput) {
  std::string error;
  ASSERT_TRUE(SaveImageFile(Path(L"whole.png"), MakeTestDocument(64, 64, 3, false, 1, false), {}, &error)) << error;
  ASSERT_TRUE(SaveImageFile(Path(L"whole.tif"), MakeTestDocument(64, 64, 1, false, 2, false), {}, &error)) << error;
  for (const wchar_t* name : {L"whole.png", L"whole.tif"}) {
    std::vector<uint8_t> bytes = ReadWholeFile(Path(name));
    WriteWholeFile(Path(L"cut"), std::string(bytes.begin(), bytes.begin() + long(bytes.size() * 2 / 3)));
    std::wstring out = Path(L"out.png");
    ProcessResult run = RunHostOn(Path(L"cut"), out);
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_EQ(run.output.find("filterhost: the "), 0u) << run.output;
    EXPECT_EQ(run.output.find('\n'), run.output.size() - 1) << run.output;
    EXPECT_FALSE(FileExists(out));
    EXPECT_FALSE(FileExists(out + L".partial"));
  }
}

// 16-bit documents of both modes through the filter and out as PNG; 32-bit ones as TIFF.
TEST_F(ImageFiles, TheHostSavesSixteenBitGrayAndColourAsPngAndFloatAsTiff) {
  std::string error;
  struct Run {
    int colourPlanes;
    int bytes;
    const wchar_t* output;
  };
  for (const Run& r : {Run{1, 2, L"gray16.png"}, Run{3, 2, L"rgb16.png"}, Run{3, 4, L"rgb32.tif"}}) {
    DocumentImage original = MakeTestDocument(120, 80, r.colourPlanes, false, r.bytes, false);
    std::wstring in = Path(r.bytes == 4 ? L"in.pfm" : L"in.tif");
    ASSERT_TRUE(SaveImageFile(in, original, {}, &error)) << error;
    ProcessResult run = RunHostOn(in, Path(r.output), L"--set Lngt=0");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    DocumentImage written;
    ImageFileInfo info;
    ASSERT_TRUE(LoadImageFile(Path(r.output), 0, -1, &written, &info, &error)) << error;
    EXPECT_EQ(info.depth, r.bytes * 8);
    EXPECT_EQ(info.gray, r.colourPlanes == 1);
    EXPECT_FALSE(info.alpha);
    EXPECT_TRUE(written.planes == original.planes) << "Length 0 leaves the picture as it was";
  }
  ProcessResult floatPng = RunHostOn(Path(L"in.pfm"), Path(L"float.png"));
  EXPECT_EQ(floatPng.exitCode, 1);
  EXPECT_EQ(FirstLine(floatPng.output),
            "filterhost: 32-bit documents are written as TIFF or float maps: name a .tif or .pfm output");
  ProcessResult jpeg = RunHostOn(Path(L"in.tif"), Path(L"out.jpg"));
  EXPECT_EQ(jpeg.exitCode, 1);
  EXPECT_EQ(FirstLine(jpeg.output), "filterhost: the output's name must end in .png, .tif or .pfm");
  EXPECT_FALSE(FileExists(Path(L"float.png")));
}
