// Image records uploaded into texture sets and drawn back: every pixel where it belongs at every
// sample type, through every upload path, scaled sets, bottom-up sets, and the failure reports.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "PreviewGLFixture.h"
#include "preview/TextureSet.h"

namespace {

struct UploadCase {
  const char* name;
  int32_t mode;
  bool pixelBuffers;
  bool vertexBuffers;
  bool powerOfTwo;
};

const UploadCase kUploadCases[] = {
    {"Bytes", plugInModeRGBColor, false, false, false},
    {"Shorts", plugInModeRGB48, false, false, false},
    {"Floats", plugInModeRGB96, false, false, false},
    {"Halves", kImageModeHalf, false, false, false},
    {"BytesThroughBuffers", plugInModeRGBColor, true, true, false},
    {"ShortsThroughBuffers", plugInModeRGB48, true, true, false},
    {"FloatsThroughPixelBuffer", plugInModeRGB96, true, false, false},
    {"BytesPowerOfTwo", plugInModeRGBColor, false, false, true},
    {"ShortsPowerOfTwoThroughBuffers", plugInModeRGB48, true, true, true},
    {"FloatsPowerOfTwo", plugInModeRGB96, false, true, true},
};

class TextureSetImageTest : public PreviewGLFixture {
 protected:
  void UseBuffers(bool pixelBuffers, bool vertexBuffers, bool powerOfTwo) {
    gOpenGLDrawing.UsePixelBufferObjects = pixelBuffers;
    gOpenGLDrawing.UseVertexBufferObjects = vertexBuffers;
    gOpenGLDrawing.MustUsePowerOfTwoSizedTextures = powerOfTwo;
    ASSERT_TRUE(CreateTextureSetPixelBuffer(&m_Set, GL_STATIC_DRAW));
    ASSERT_TRUE(CreateTextureSetVertexBuffer(&m_Set, GL_STATIC_DRAW));
  }
  void DrawSet(TextureSet* set, double translateX = 0.0, double translateY = 0.0) {
    UseNearestFilters(set);
    ClearTarget();
    glLoadIdentity();
    glTranslated(translateX, translateY, 0.0);
    EXPECT_TRUE(DrawImageTextureSet(*set));
    glLoadIdentity();
    ReadTarget();
  }
  // Window pixels against the record: (x, y) of the window shows the record's (x + dx, y + dy)
  // inside `inside` (window coordinates) and the clear colour elsewhere.
  int CountWrongPixels(const ImageRecord& image, const ImageRect& inside, int dx, int dy, int tolerance) {
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        bool in = x >= inside.left && x < inside.right && y >= inside.top && y < inside.bottom;
        Rgba16 expected = in ? StoredAt(image, x + dx, y + dy) : ClearValue();
        if (Matches(ReadAt(x, y), expected, tolerance)) continue;
        if (++wrong <= 5) {
          ADD_FAILURE() << "pixel " << x << ", " << y << ": " << Describe(ReadAt(x, y)) << " instead of " << Describe(expected);
        }
      }
    }
    return wrong;
  }
};

class TextureSetUploadTest : public TextureSetImageTest, public ::testing::WithParamInterface<UploadCase> {};

// Halves and floats pass through the conversion to the texture's 16-bit samples.
int ToleranceOf(int32_t mode) { return mode == plugInModeRGB96 || mode == kImageModeHalf ? 1 : 0; }

}  // namespace

TEST_P(TextureSetUploadTest, ManyTilesDrawEveryPixelOfTheImageWithoutSeams) {
  const UploadCase& c = GetParam();
  UseBuffers(c.pixelBuffers, c.vertexBuffers, c.powerOfTwo);
  SetMaximumTextureSizeForTests(64);
  ImageRecord& image = MakeImage(ImageRect{0, 0, kWidth, kHeight}, c.mode, PatternAt);
  ASSERT_TRUE(CreateTextureSetFromImage(&m_Set, image, image.rectangle));
  ASSERT_EQ(m_Set.tileCount, 5 * 4);
  EXPECT_EQ(m_Set.vertexBufferCurrent, c.vertexBuffers);
  DrawSet(&m_Set);
  EXPECT_EQ(CountWrongPixels(image, ImageRect{0, 0, kWidth, kHeight}, 0, 0, ToleranceOf(c.mode)), 0);
  EXPECT_TRUE(Failures().empty()) << Failures().front();
}

TEST_P(TextureSetUploadTest, AnAreaOfAnOffsetRecordIsPlacedAtItsOwnCoordinates) {
  const UploadCase& c = GetParam();
  UseBuffers(c.pixelBuffers, c.vertexBuffers, c.powerOfTwo);
  SetMaximumTextureSizeForTests(64);
  ImageRecord& image = MakeImage(ImageRect{100, 50, 400, 250}, c.mode, PatternAt);
  // Partly outside the record: clipped to it.
  ASSERT_TRUE(CreateTextureSetFromImage(&m_Set, image, ImageRect{140, 80, 420, 240}));
  EXPECT_EQ(m_Set.Tiles()[0].tile.left, 140);
  EXPECT_EQ(m_Set.Tiles()[0].tile.top, 80);
  DrawSet(&m_Set, -100.0, -50.0);
  EXPECT_EQ(CountWrongPixels(image, ImageRect{40, 30, 300, 190}, 100, 50, ToleranceOf(c.mode)), 0);
}

TEST_P(TextureSetUploadTest, KeptTexturesAreUpdatedWithTheNextPicture) {
  const UploadCase& c = GetParam();
  UseBuffers(c.pixelBuffers, c.vertexBuffers, c.powerOfTwo);
  SetMaximumTextureSizeForTests(64);
  ImageRecord& first = MakeImage(ImageRect{0, 0, kWidth, kHeight}, c.mode, PatternAt);
  ImageRecord& second = MakeImage(ImageRect{0, 0, kWidth, kHeight}, c.mode, OtherPatternAt);
  ASSERT_TRUE(CreateTextureSetFromImage(&m_Set, first, first.rectangle));
  GLuint texture = m_Set.Tiles()[7].texture;
  ASSERT_TRUE(CreateTextureSetFromImage(&m_Set, second, second.rectangle));
  EXPECT_EQ(m_Set.Tiles()[7].texture, texture);
  DrawSet(&m_Set);
  EXPECT_EQ(CountWrongPixels(second, ImageRect{0, 0, kWidth, kHeight}, 0, 0, ToleranceOf(c.mode)), 0);
}

INSTANTIATE_TEST_SUITE_P(UploadPaths, TextureSetUploadTest, ::testing::ValuesIn(kUploadCases),
                         [](const ::testing::TestParamInfo<UploadCase>& info) { return std::string(info.param.name); });

TEST_F(TextureSetImageTest, BottomUpRecordsAreDrawnUpright) {
  for (bool pixelBuffers : {false, true}) {
    UseBuffers(pixelBuffers, false, false);
    SetMaximumTextureSizeForTests(64);
    ImageRecord& image = MakeImage(ImageRect{0, 0, kWidth, kHeight}, plugInModeRGBColor, PatternAt);
    m_OtherSet.bottomUp = true;
    if (pixelBuffers) {
      ASSERT_TRUE(CreateTextureSetPixelBuffer(&m_OtherSet, GL_STATIC_DRAW));
    }
    ASSERT_TRUE(CreateTextureSetFromImage(&m_OtherSet, image, image.rectangle));
    DrawSet(&m_OtherSet);
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) wrong += !Matches(ReadAt(x, y), StoredAt(image, x, kHeight - 1 - y));
    }
    EXPECT_EQ(wrong, 0) << "pixel buffers " << pixelBuffers;
    FreeTextureSet(&m_OtherSet);
  }
}

TEST_F(TextureSetImageTest, BottomUpPowerOfTwoTilesArePaddedAboveTheirTopRow) {
  UseBuffers(false, false, true);
  m_Set.bottomUp = true;
  ImageRecord& image = MakeImage(ImageRect{0, 0, 100, 60}, plugInModeRGB48, PatternAt);
  ASSERT_TRUE(CreateTextureSetFromImage(&m_Set, image, image.rectangle));
  const SubImage& tile = m_Set.Tiles()[0];
  ASSERT_EQ(tile.textureWidth, 128);
  ASSERT_EQ(tile.textureHeight, 64);
  std::vector<uint16_t> texels = TextureTexels(tile);
  auto texel = [&](int x, int row) { return Rgba16{texels[(size_t(row) * 128 + x) * 4], texels[(size_t(row) * 128 + x) * 4 + 1],
                                                   texels[(size_t(row) * 128 + x) * 4 + 2], texels[(size_t(row) * 128 + x) * 4 + 3]}; };
  // The texture's rows are the record's stored rows, the picture's bottom first; the padding
  // repeats the last stored row, the picture's top, and the last column.
  EXPECT_TRUE(Matches(texel(0, 0), StoredAt(image, 0, 0))) << Describe(texel(0, 0));
  EXPECT_TRUE(Matches(texel(99, 59), StoredAt(image, 99, 59))) << Describe(texel(99, 59));
  EXPECT_TRUE(Matches(texel(127, 63), StoredAt(image, 99, 59))) << Describe(texel(127, 63));
  EXPECT_TRUE(Matches(texel(0, 63), StoredAt(image, 0, 59))) << Describe(texel(0, 63));
  DrawSet(&m_Set);
  int wrong = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      wrong += !Matches(ReadAt(x, y), x < 100 && y < 60 ? StoredAt(image, x, 59 - y) : ClearValue());
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(TextureSetImageTest, PowerOfTwoPaddingIsTheRecordsNeighboursWhereItHasThemElseTheEdgeRepeated) {
  UseBuffers(false, false, true);
  SetMaximumTextureSizeForTests(64);
  ImageRecord& image = MakeImage(ImageRect{0, 0, kWidth, kHeight}, plugInModeRGB48, PatternAt);
  // Column tiles at 0, 62, 124 and 186..240: the last is 54 wide in a 64 texture.
  ASSERT_TRUE(CreateTextureSetFromImage(&m_Set, image, ImageRect{0, 0, 240, 150}));
  const SubImage& inside = m_Set.Tiles()[3];
  ASSERT_EQ(inside.tileWidth, 54);
  ASSERT_EQ(inside.textureWidth, 64);
  std::vector<uint16_t> texels = TextureTexels(inside);
  const uint16_t* padding = &texels[size_t(60) * 4];
  Rgba16 neighbour = StoredAt(image, 186 + 60, 0);
  EXPECT_TRUE(Matches(Rgba16{padding[0], padding[1], padding[2], padding[3]}, neighbour))
      << "straight from the record, padding included";

  ASSERT_TRUE(CreateTextureSetFromImage(&m_OtherSet, image, ImageRect{0, 0, kWidth, kHeight}));
  const SubImage& edge = m_OtherSet.Tiles()[4];
  ASSERT_EQ(edge.tileWidth, 52);
  texels = TextureTexels(edge);
  padding = &texels[size_t(60) * 4];
  EXPECT_TRUE(Matches(Rgba16{padding[0], padding[1], padding[2], padding[3]}, StoredAt(image, 299, 0)))
      << "beyond the record the edge pixel is repeated";
}

TEST_F(TextureSetImageTest, ScaledSetCoversItsSizeDividedByTheScale) {
  ImageRecord& image = MakeImage(ImageRect{0, 0, 150, 100}, plugInModeRGB48, PatternAt);
  SetMaximumTextureSizeForTests(64);
  m_Set.scaled = true;
  m_Set.scaleX = m_Set.scaleY = 0.5;
  m_Set.magnificationFilter = GL_NEAREST;
  ASSERT_TRUE(CreateTextureSetFromImage(&m_Set, image, image.rectangle));
  DrawSet(&m_Set);
  int wrong = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) wrong += !Matches(ReadAt(x, y), StoredAt(image, x / 2, y / 2));
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(TextureSetImageTest, FilteredScaledDrawingIsSmoothAcrossTileBoundaries) {
  ImageRecord& image = MakeImage(ImageRect{0, 0, 150, 100}, plugInModeRGB48, GradientAt);
  SetMaximumTextureSizeForTests(64);
  m_Set.scaled = true;
  m_Set.scaleX = m_Set.scaleY = 0.5;
  ASSERT_EQ(m_Set.magnificationFilter, GL_LINEAR);
  ASSERT_TRUE(CreateTextureSetFromImage(&m_Set, image, image.rectangle));
  ClearTarget();
  ASSERT_TRUE(DrawImageTextureSet(m_Set));
  ReadTarget();
  // Bilinear filtering of a linear ramp is the ramp at the sample point, clamped at the image's
  // outer edges. A tile edge that clamped, or sampled a texel of the wrong tile, departs from it
  // by a quarter step or more (100 and 150 units).
  int wrong = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      double u = std::clamp((x + 0.5) * 0.5 - 0.5, 0.0, 149.0), v = std::clamp((y + 0.5) * 0.5 - 0.5, 0.0, 99.0);
      Rgba16 ramp{uint16_t(std::lround(u * 400.0)), uint16_t(std::lround(v * 600.0)), ReadAt(x, y)[2], 0xFFFF};
      if (Matches(ReadAt(x, y), ramp, 8)) continue;
      if (++wrong <= 5) ADD_FAILURE() << "pixel " << x << ", " << y << ": " << Describe(ReadAt(x, y)) << " off the ramp " << Describe(ramp);
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(TextureSetImageTest, UnknownSampleTypeIsRefused) {
  ImageRecord& image = MakeImage(ImageRect{0, 0, 20, 20}, plugInModeRGBColor, PatternAt);
  image.pixelType = GL_INT;
  EXPECT_FALSE(CreateTextureSetFromImage(&m_Set, image, image.rectangle));
  EXPECT_TRUE(m_Capture->HasReport("Creation of Texture Set from image Failed"));
  image.pixelType = GL_UNSIGNED_BYTE;
  EXPECT_FALSE(CreateTextureSetFromImage(&m_Set, image, ImageRect{30, 30, 40, 40})) << "outside the record";
  EXPECT_EQ(m_Set.tileCount, 0);
}

TEST_F(TextureSetImageTest, PendingOpenGLErrorIsReportedOnEntry) {
  ImageRecord& image = MakeImage(ImageRect{0, 0, 20, 20}, plugInModeRGBColor, PatternAt);
  glEnable(GL_TEXTURE_2D + 1);
  EXPECT_FALSE(CreateTextureSetFromImage(&m_Set, image, image.rectangle));
  EXPECT_TRUE(m_Capture->HasReport("Error on entry into CreateTextureSetFromImage()"));
  EXPECT_TRUE(CreateTextureSetFromImage(&m_Set, image, image.rectangle)) << "the error was taken";
}

TEST_F(TextureSetImageTest, PaddedCopyThatCannotGetMemorySetsTheResult) {
  UseBuffers(false, false, true);
  ImageRecord& image = MakeImage(ImageRect{0, 0, 100, 60}, plugInModeRGBColor, PatternAt);
  FailBufferAllocationsAfter(2, 1);  // the tile and vertex arrays succeed
  EXPECT_FALSE(CreateTextureSetFromImage(&m_Set, image, image.rectangle));
  EXPECT_EQ(m_Result, kOutOfMemory);
  EXPECT_TRUE(m_Capture->HasReport("ReallocateBuffer failed in CreateTextureSetFromImage(), *gResult set to -108."));
  EXPECT_EQ(m_Set.Tiles()[0].texture, 0u) << "no half-made texture is kept";
  m_Result = 0;
  EXPECT_TRUE(CreateTextureSetFromImage(&m_Set, image, image.rectangle));
  EXPECT_NE(m_Set.Tiles()[0].texture, 0u);
}

TEST_F(TextureSetImageTest, AnotherGrantedFormatIsOnlyAWarning) {
  // Mesa grants a generic compressed request as one particular compression.
  gOpenGLDrawing.format16.internalFormat = GL_COMPRESSED_RGBA;
  ImageRecord& image = MakeImage(ImageRect{0, 0, 100, 60}, plugInModeRGB48, GradientAt);
  ASSERT_TRUE(CreateTextureSetFromImage(&m_Set, image, image.rectangle));
  std::vector<CapturedReport> reports = m_Capture->Reports();
  ASSERT_EQ(reports.size(), 1u) << "one warning for the set, not one per tile";
  EXPECT_EQ(reports[0].title, "Debug - Warning");
  EXPECT_EQ(reports[0].style, kStyleWarning);
  EXPECT_EQ(reports[0].text.rfind("Unexpected internal texture format.  Desired 0x84EE, got 0x", 0), 0u) << reports[0].text;
  EXPECT_NE(m_Set.Tiles()[0].texture, 0u) << "the set goes on";
}

TEST_F(TextureSetImageTest, RecordWithoutPixelsIsRefused) {
  ImageRecord image;
  image.rectangle = image.allocation = ImageRect{0, 0, 10, 10};
  image.pixelFormat = GL_RGBA;
  image.pixelType = GL_UNSIGNED_BYTE;
  image.bytesPerSample = 1;
  image.allocatedWidth = 16;
  EXPECT_FALSE(CreateTextureSetFromImage(&m_Set, image, image.rectangle));
  EXPECT_TRUE(m_Capture->HasReport("Creation of Texture Set from image Failed"));
}

TEST_F(TextureSetImageTest, ABufferTheCallerLeftBoundDoesNotCaptureClientVertices) {
  gOpenGLDrawing.UseVertexBufferObjects = false;
  SetMaximumTextureSizeForTests(64);
  ImageRecord& image = MakeImage(ImageRect{0, 0, kWidth, kHeight}, plugInModeRGBColor, PatternAt);
  ASSERT_TRUE(CreateTextureSetFromImage(&m_Set, image, image.rectangle));
  GLuint stray = 0;
  glGenBuffers(1, &stray);
  glBindBuffer(GL_ARRAY_BUFFER, stray);
  std::vector<double> zeros(1024, 0.0);
  glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(zeros.size() * sizeof(double)), zeros.data(), GL_STATIC_DRAW);
  DrawSet(&m_Set);
  GLint bound = 0;
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bound);
  EXPECT_EQ(bound, GLint(stray)) << "the caller's binding is given back";
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glDeleteBuffers(1, &stray);
  EXPECT_EQ(CountWrongPixels(image, ImageRect{0, 0, kWidth, kHeight}, 0, 0, 0), 0);
}
