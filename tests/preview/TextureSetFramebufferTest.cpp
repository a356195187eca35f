// Rectangles of the framebuffer copied into texture sets and drawn back where they were: straight
// copies, read-backs through pixel buffers, power-of-two padding, the software display gamma.
#include <gtest/gtest.h>

#include <cmath>

#include "PreviewGLFixture.h"
#include "preview/TextureSet.h"

namespace {

constexpr double kGammaExponent = 1.0 / 2.2;
const ImageRect kCopied{37, 23, 271, 181};

struct CopyCase {
  const char* name;
  bool pixelBuffers;
  bool powerOfTwo;
};

const CopyCase kCopyCases[] = {
    {"Straight", false, false},
    {"ThroughPixelBuffer", true, false},
    {"PowerOfTwo", false, true},
    {"PowerOfTwoThroughPixelBuffer", true, true},
};

class TextureSetFramebufferTest : public PreviewGLFixture {
 protected:
  void UseBuffers(bool pixelBuffers, bool powerOfTwo) {
    gOpenGLDrawing.UsePixelBufferObjects = pixelBuffers;
    gOpenGLDrawing.MustUsePowerOfTwoSizedTextures = powerOfTwo;
    ASSERT_TRUE(CreateTextureSetPixelBuffer(&m_Set, GL_DYNAMIC_DRAW));
    ASSERT_TRUE(CreateTextureSetVertexBuffer(&m_Set, GL_DYNAMIC_DRAW));
  }
  // Copies the rectangle, clears, and draws the set back with the identity transform.
  void CopyClearAndDrawBack(const ImageRect& rectangle) {
    ASSERT_TRUE(CreateTextureSetFromFramebuffer(&m_Set, rectangle, kHeight));
    UseNearestFilters(&m_Set);
    ClearTarget();
    glLoadIdentity();
    ASSERT_TRUE(DrawImageTextureSet(m_Set));
    ReadTarget();
  }
  // Inside the rectangle the expected picture, elsewhere the clear colour.
  // Gamma-corrected samples are rounded twice more: `units` widens the tolerance for them.
  int CountWrongPixels(const ImageRect& inside, PictureFunction picture, int tolerance, int units = 1) {
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        bool in = x >= inside.left && x < inside.right && y >= inside.top && y < inside.bottom;
        Rgba16 expected = in ? picture(x, y) : ClearValue();
        if (Matches(ReadAt(x, y), expected, tolerance, units)) continue;
        if (++wrong <= 5) {
          ADD_FAILURE() << "pixel " << x << ", " << y << ": " << Describe(ReadAt(x, y)) << " instead of " << Describe(expected);
        }
      }
    }
    return wrong;
  }
};

class TextureSetCopyTest : public TextureSetFramebufferTest, public ::testing::WithParamInterface<CopyCase> {};

Rgba16 GammaCorrectedPatternAt(int x, int y) {
  Rgba16 p = PatternAt(x, y);
  for (int s = 0; s < 3; ++s) p[s] = uint16_t(std::lround(std::pow(p[s] / 65535.0, kGammaExponent) * 65535.0));
  return p;
}

// Through 8-bit samples: the read-back rounds to bytes, the gamma works on bytes.
Rgba16 GammaCorrectedBytePatternAt(int x, int y) {
  Rgba16 p = PatternAt(x, y);
  for (int s = 0; s < 4; ++s) {
    double byte = std::lround(p[s] / 257.0);
    if (s < 3) byte = std::lround(std::pow(byte / 255.0, kGammaExponent) * 255.0);
    p[s] = uint16_t(byte * 257);
  }
  return p;
}

}  // namespace

TEST_P(TextureSetCopyTest, RectangleReappearsWhereItWasAcrossManyTiles) {
  UseBuffers(GetParam().pixelBuffers, GetParam().powerOfTwo);
  SetMaximumTextureSizeForTests(64);
  PaintTarget(PatternAt);
  CopyClearAndDrawBack(kCopied);
  EXPECT_EQ(m_Set.tileCount, 4 * 3);
  EXPECT_TRUE(m_Set.bottomUp);
  EXPECT_EQ(CountWrongPixels(kCopied, PatternAt, 0), 0);
  EXPECT_TRUE(Failures().empty()) << Failures().front();
}

TEST_P(TextureSetCopyTest, ASecondCopyUpdatesTheKeptTextures) {
  UseBuffers(GetParam().pixelBuffers, GetParam().powerOfTwo);
  SetMaximumTextureSizeForTests(64);
  PaintTarget(PatternAt);
  ASSERT_TRUE(CreateTextureSetFromFramebuffer(&m_Set, kCopied, kHeight));
  GLuint texture = m_Set.Tiles()[5].texture;
  PaintTarget(OtherPatternAt);
  CopyClearAndDrawBack(kCopied);
  EXPECT_EQ(m_Set.Tiles()[5].texture, texture);
  EXPECT_EQ(CountWrongPixels(kCopied, OtherPatternAt, 0), 0);
}

TEST_P(TextureSetCopyTest, AppliedGammaRaisesEveryColourSample) {
  UseBuffers(GetParam().pixelBuffers, GetParam().powerOfTwo);
  SetMaximumTextureSizeForTests(64);
  m_Set.applyGamma = true;
  m_Set.gammaExponent = kGammaExponent;
  PaintTarget(PatternAt);
  CopyClearAndDrawBack(kCopied);
  EXPECT_EQ(CountWrongPixels(kCopied, GammaCorrectedPatternAt, 1, 2), 0);
  // Kept textures get the gamma too.
  PaintTarget(PatternAt);
  CopyClearAndDrawBack(kCopied);
  EXPECT_EQ(CountWrongPixels(kCopied, GammaCorrectedPatternAt, 1, 2), 0);
}

INSTANTIATE_TEST_SUITE_P(CopyPaths, TextureSetCopyTest, ::testing::ValuesIn(kCopyCases),
                         [](const ::testing::TestParamInfo<CopyCase>& info) { return std::string(info.param.name); });

TEST_F(TextureSetFramebufferTest, EightBitTexturesGetTheGammaOnBytes) {
  gOpenGLSettings.m_OpenGLDrawingMode = OPTIMIZE_FOR_COMPATIBILITY;
  ASSERT_EQ(PreviewColorTextureFormat().dataType, GLenum(GL_UNSIGNED_BYTE));
  for (bool pixelBuffers : {false, true}) {
    UseBuffers(pixelBuffers, true);
    m_Set.applyGamma = true;
    m_Set.gammaExponent = kGammaExponent;
    PaintTarget(PatternAt);
    CopyClearAndDrawBack(kCopied);
    EXPECT_EQ(CountWrongPixels(kCopied, GammaCorrectedBytePatternAt, 0), 0) << "pixel buffers " << pixelBuffers;
    FreeTextureSet(&m_Set);
  }
}

TEST_F(TextureSetFramebufferTest, WindowBackBufferIsCopiedAsWell) {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDrawBuffer(GL_BACK);
  glReadBuffer(GL_BACK);
  SetMaximumTextureSizeForTests(64);
  PaintTarget(PatternAt);
  ASSERT_TRUE(CreateTextureSetFromFramebuffer(&m_Set, kCopied, kHeight));
  UseNearestFilters(&m_Set);
  // A clear colour that bytes hold exactly.
  ClearTarget(0.2f, 0.4f, 0.6f, 1.0f);
  ASSERT_TRUE(DrawImageTextureSet(m_Set));
  ReadTarget();
  int wrong = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      bool in = x >= kCopied.left && x < kCopied.right && y >= kCopied.top && y < kCopied.bottom;
      Rgba16 expected = in ? PatternAt(x, y) : ClearValue(0.2f, 0.4f, 0.6f, 1.0f);
      // The window holds bytes.
      for (int s = 0; s < 4; ++s) expected[s] = uint16_t(std::lround(expected[s] / 257.0) * 257);
      wrong += !Matches(ReadAt(x, y), expected);
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(TextureSetFramebufferTest, RectangleBeyondTheFramebufferIsClippedToIt) {
  PaintTarget(PatternAt);
  CopyClearAndDrawBack(ImageRect{-10, 150, 100, 260});
  EXPECT_EQ(m_Set.Tiles()[0].tile.left, 0);
  EXPECT_EQ(m_Set.Tiles()[0].tile.bottom, kHeight);
  EXPECT_EQ(CountWrongPixels(ImageRect{0, 150, 100, kHeight}, PatternAt, 0), 0);
}

TEST_F(TextureSetFramebufferTest, EmptyRectangleIsRefused) {
  EXPECT_FALSE(CreateTextureSetFromFramebuffer(&m_Set, ImageRect{10, 10, 10, 50}, kHeight));
  EXPECT_FALSE(CreateTextureSetFromFramebuffer(&m_Set, ImageRect{10, 210, 50, 250}, kHeight));
  EXPECT_TRUE(m_Capture->HasReport("Creation of Texture Set from framebuffer Failed"));
  EXPECT_EQ(m_Set.tileCount, 0);
}

TEST_F(TextureSetFramebufferTest, PendingOpenGLErrorIsReportedOnEntry) {
  glEnable(GL_TEXTURE_2D + 1);
  EXPECT_FALSE(CreateTextureSetFromFramebuffer(&m_Set, kCopied, kHeight));
  EXPECT_TRUE(m_Capture->HasReport("Error on entry into CreateTextureSetFromFramebuffer()"));
}

TEST_F(TextureSetFramebufferTest, ReadBackThatCannotGetMemorySetsTheResult) {
  UseBuffers(false, false);
  m_Set.applyGamma = true;
  m_Set.gammaExponent = kGammaExponent;
  FailBufferAllocationsAfter(2, 1);  // the tile and vertex arrays succeed
  EXPECT_FALSE(CreateTextureSetFromFramebuffer(&m_Set, kCopied, kHeight));
  EXPECT_EQ(m_Result, kOutOfMemory);
  EXPECT_TRUE(m_Capture->HasReport("ReallocateBuffer failed in CreateTextureSetFromFramebuffer(), *gResult set to -108."));
}

TEST_F(TextureSetFramebufferTest, PaddedCopyThatCannotGetMemorySetsTheResult) {
  UseBuffers(false, true);
  FailBufferAllocationsAfter(3, 1);  // tile and vertex arrays and the read-back succeed
  EXPECT_FALSE(CreateTextureSetFromFramebuffer(&m_Set, kCopied, kHeight));
  EXPECT_EQ(m_Result, kOutOfMemory);
  EXPECT_TRUE(m_Capture->HasReport(
      "ReallocateBuffer failed in CreateTextureSetFromFramebuffer() when MustUsePowerOfTwoSizedTextures, *gResult set to -108."));
  m_Result = 0;
  PaintTarget(PatternAt);
  CopyClearAndDrawBack(kCopied);
  EXPECT_EQ(CountWrongPixels(kCopied, PatternAt, 0), 0) << "the next frame tries again";
}
