// X window dumps decoded from synthetic files in both header byte orders, both pixel byte orders
// and both pixel sizes, with colour maps and padded lines skipped, and the crop to a window.
#include <gtest/gtest.h>

#include <cstring>

#include "XwdCapture.h"

namespace {

struct DumpShape {
  bool bigEndianHeader = true;
  bool msbFirstPixels = false;
  int bitsPerPixel = 32;
  uint32_t redMask = 0xFF0000, greenMask = 0x00FF00, blueMask = 0x0000FF;
  int width = 5, height = 3;
  int padBytes = 0;  // extra bytes at the end of every line
  int colours = 0;   // colour map entries between header and pixels
  std::string name = "root";
};

void PutWord(std::vector<uint8_t>* out, uint32_t value, bool bigEndian) {
  for (int i = 0; i < 4; ++i) out->push_back(uint8_t(value >> (bigEndian ? 24 - 8 * i : 8 * i)));
}

// A pixel value whose channels come from its position, so that every pixel differs.
void ColourAt(int x, int y, uint8_t rgb[3]) {
  rgb[0] = uint8_t(40 * x + 3);
  rgb[1] = uint8_t(70 * y + 5);
  rgb[2] = uint8_t(11 * (x + y) + 200);
}

uint32_t Place(uint8_t value, uint32_t mask) {
  int shift = 0;
  while (((mask >> shift) & 1) == 0) ++shift;
  return (uint32_t(value) << shift) & mask;
}

std::vector<uint8_t> MakeDump(const DumpShape& s) {
  std::vector<uint8_t> dump;
  int bytes = s.bitsPerPixel / 8;
  uint32_t line = uint32_t(s.width * bytes + s.padBytes);
  uint32_t header = uint32_t(100 + s.name.size() + 1);
  uint32_t fields[25] = {header, 7, 2, 24, uint32_t(s.width), uint32_t(s.height), 0, s.msbFirstPixels ? 1u : 0u, 32,
                         0, 32, uint32_t(s.bitsPerPixel), line, 4, s.redMask, s.greenMask, s.blueMask, 8, 256,
                         uint32_t(s.colours), uint32_t(s.width), uint32_t(s.height), 0, 0, 0};
  for (uint32_t field : fields) PutWord(&dump, field, s.bigEndianHeader);
  dump.insert(dump.end(), s.name.begin(), s.name.end());
  dump.push_back(0);
  dump.insert(dump.end(), size_t(s.colours) * 12, uint8_t(0xEE));
  for (int y = 0; y < s.height; ++y) {
    for (int x = 0; x < s.width; ++x) {
      uint8_t rgb[3];
      ColourAt(x, y, rgb);
      uint32_t pixel = Place(rgb[0], s.redMask) | Place(rgb[1], s.greenMask) | Place(rgb[2], s.blueMask);
      if (bytes == 4) pixel |= 0xFF000000u & ~(s.redMask | s.greenMask | s.blueMask);  // X leaves junk in the pad byte
      for (int i = 0; i < bytes; ++i)
        dump.push_back(uint8_t(pixel >> (s.msbFirstPixels ? 8 * (bytes - 1 - i) : 8 * i)));
    }
    dump.insert(dump.end(), size_t(s.padBytes), uint8_t(0x77));
  }
  return dump;
}

void ExpectPixels(const FilePixels& pixels, const DumpShape& s) {
  ASSERT_EQ(pixels.width, s.width);
  ASSERT_EQ(pixels.height, s.height);
  ASSERT_EQ(pixels.channels, 3);
  ASSERT_EQ(pixels.depth, 8);
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) {
      uint8_t rgb[3];
      ColourAt(x, y, rgb);
      const uint8_t* got = pixels.Row(y) + 3 * x;
      EXPECT_EQ(got[0], rgb[0]) << x << "," << y;
      EXPECT_EQ(got[1], rgb[1]) << x << "," << y;
      EXPECT_EQ(got[2], rgb[2]) << x << "," << y;
    }
}

}  // namespace

TEST(XwdDecoding, EveryByteOrderAndPixelSize) {
  for (bool bigHeader : {true, false})
    for (bool msbPixels : {false, true})
      for (int bits : {32, 24}) {
        SCOPED_TRACE(testing::Message() << "big header " << bigHeader << ", msb pixels " << msbPixels << ", " << bits);
        DumpShape shape;
        shape.bigEndianHeader = bigHeader;
        shape.msbFirstPixels = msbPixels;
        shape.bitsPerPixel = bits;
        std::vector<uint8_t> dump = MakeDump(shape);
        std::string error;
        EXPECT_EQ(XwdDumpSize(dump.data(), dump.size(), &error), dump.size()) << error;
        FilePixels pixels;
        ASSERT_TRUE(DecodeXwd(dump.data(), dump.size(), &pixels, &error)) << error;
        ExpectPixels(pixels, shape);
      }
}

TEST(XwdDecoding, MasksColourMapAndPaddedLines) {
  DumpShape shape;
  shape.redMask = 0x0000FF;  // a BGR visual
  shape.blueMask = 0xFF0000;
  shape.colours = 3;
  shape.padBytes = 6;
  shape.name = "a longer window name";
  std::vector<uint8_t> dump = MakeDump(shape);
  FilePixels pixels;
  std::string error;
  ASSERT_TRUE(DecodeXwd(dump.data(), dump.size(), &pixels, &error)) << error;
  ExpectPixels(pixels, shape);
}

TEST(XwdDecoding, NarrowMasksAreScaledToFullRange) {
  DumpShape shape;
  shape.bitsPerPixel = 32;
  shape.width = 1;
  shape.height = 1;
  std::vector<uint8_t> dump = MakeDump(shape);
  // A 10-10-10 visual holding full red, no green, and half blue.
  uint32_t fields[3] = {0x3FF00000, 0x000FFC00, 0x000003FF};
  for (int i = 0; i < 3; ++i)
    for (int b = 0; b < 4; ++b) dump[4 * (14 + i) + b] = uint8_t(fields[i] >> (24 - 8 * b));
  uint32_t pixel = 0x3FF00000 | 0x200;
  size_t at = dump.size() - 4;
  for (int b = 0; b < 4; ++b) dump[at + b] = uint8_t(pixel >> (8 * b));
  FilePixels pixels;
  std::string error;
  ASSERT_TRUE(DecodeXwd(dump.data(), dump.size(), &pixels, &error)) << error;
  EXPECT_EQ(pixels.Row(0)[0], 255);
  EXPECT_EQ(pixels.Row(0)[1], 0);
  EXPECT_EQ(pixels.Row(0)[2], 128);
}

TEST(XwdDecoding, SizeIsUnknownUntilTheHeaderIsComplete) {
  std::vector<uint8_t> dump = MakeDump(DumpShape{});
  std::string error;
  EXPECT_EQ(XwdDumpSize(dump.data(), 60, &error), 0u);
  EXPECT_TRUE(error.empty());
  FilePixels pixels;
  EXPECT_FALSE(DecodeXwd(dump.data(), dump.size() - 1, &pixels, &error));
  EXPECT_EQ(error, "the dump is " + std::to_string(dump.size() - 1) + " bytes, not " + std::to_string(dump.size()));
}

TEST(XwdDecoding, RefusesWhatItCannotRead) {
  struct Case {
    int field;
    uint32_t value;
    const char* error;
  };
  const Case cases[] = {
      {1, 6, "not an X window dump of version 7"},
      {2, 1, "the dump is not a ZPixmap"},
      {11, 16, "the dump has 16 bits per pixel, not 24 or 32"},
      {12, 4, "the dump's lines are shorter than its width"},
      {14, 0, "the dump has no colour masks (not a true-colour visual)"},
      {4, 0, "the dump's size is out of range"},
      {0, 20, "the dump's header size is 20"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> dump = MakeDump(DumpShape{});
    for (int b = 0; b < 4; ++b) dump[4 * c.field + b] = uint8_t(c.value >> (24 - 8 * b));
    FilePixels pixels;
    std::string error;
    EXPECT_FALSE(DecodeXwd(dump.data(), dump.size(), &pixels, &error)) << c.error;
    EXPECT_EQ(error, c.error);
  }
}

TEST(XwdCrop, KeepsTheRectangleExactly) {
  FilePixels screen;
  std::string error;
  ASSERT_TRUE(AllocateFilePixels(10, 8, 3, 8, &screen, &error));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 10; ++x) {
      uint8_t* at = screen.Row(y) + 3 * x;
      at[0] = uint8_t(x);
      at[1] = uint8_t(y);
      at[2] = uint8_t(x * y);
    }
  FilePixels cropped;
  ASSERT_TRUE(CropFilePixels(screen, RECT{3, 2, 9, 8}, &cropped, &error)) << error;
  ASSERT_EQ(cropped.width, 6);
  ASSERT_EQ(cropped.height, 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) {
      const uint8_t* at = cropped.Row(y) + 3 * x;
      EXPECT_EQ(at[0], x + 3);
      EXPECT_EQ(at[1], y + 2);
      EXPECT_EQ(at[2], (x + 3) * (y + 2));
    }
  FilePixels whole;
  ASSERT_TRUE(CropFilePixels(screen, RECT{0, 0, 10, 8}, &whole, &error));
  EXPECT_EQ(whole.samples, screen.samples);
}

TEST(XwdCrop, RefusesRectanglesOffTheScreenOrEmpty) {
  FilePixels screen, cropped;
  std::string error;
  ASSERT_TRUE(AllocateFilePixels(10, 8, 3, 8, &screen, &error));
  EXPECT_FALSE(CropFilePixels(screen, RECT{5, 5, 5, 7}, &cropped, &error));
  EXPECT_EQ(error, "the rectangle is empty");
  EXPECT_FALSE(CropFilePixels(screen, RECT{-1, 0, 4, 4}, &cropped, &error));
  EXPECT_EQ(error, "the rectangle (-1,0)-(4,4) is not wholly on the 10x8 screen");
  EXPECT_FALSE(CropFilePixels(screen, RECT{2, 2, 11, 4}, &cropped, &error));
  EXPECT_FALSE(CropFilePixels(screen, RECT{2, 2, 4, 9}, &cropped, &error));
}

TEST(XwdCrop, AUniformCaptureIsRecognised) {
  FilePixels pixels;
  std::string error;
  ASSERT_TRUE(AllocateFilePixels(4, 3, 3, 8, &pixels, &error));
  EXPECT_TRUE(IsUniform(pixels));
  pixels.Row(2)[3 * 3 + 2] = 1;  // the last sample of the last pixel
  EXPECT_FALSE(IsUniform(pixels));
  pixels.Row(2)[3 * 3 + 2] = 0;
  pixels.Row(0)[0] = 9;  // the first pixel differs from all others
  EXPECT_FALSE(IsUniform(pixels));
}
