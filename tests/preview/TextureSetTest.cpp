// The tiling of texture sets: the largest texture the driver allocates, tile grids with their
// overlaps, quads and texture coordinates, kept and dropped textures, buffer objects and freeing.
#include <gtest/gtest.h>

#include "PreviewGLFixture.h"
#include "preview/TextureSet.h"

namespace {

class TextureSetTest : public PreviewGLFixture {
 protected:
  void ExpectTile(int index, const ImageRect& expected) {
    const SubImage& tile = m_Set.Tiles()[index];
    EXPECT_EQ(tile.tile.left, expected.left) << "tile " << index;
    EXPECT_EQ(tile.tile.top, expected.top) << "tile " << index;
    EXPECT_EQ(tile.tile.right, expected.right) << "tile " << index;
    EXPECT_EQ(tile.tile.bottom, expected.bottom) << "tile " << index;
    EXPECT_EQ(tile.tileWidth, expected.Width());
    EXPECT_EQ(tile.tileHeight, expected.Height());
  }
  const TexturedVertex* Quad(int index) const { return m_Set.Vertices() + index * 4; }
};

}  // namespace

TEST_F(TextureSetTest, TilesOverlapByTwoPixelsAndAdvanceByTheMaximumLessTwo) {
  ASSERT_FALSE(gOpenGLDrawing.MustUsePowerOfTwoSizedTextures) << "llvmpipe takes any texture size";
  ASSERT_TRUE(SubdivideImage(ImageRect{0, 0, 300, 200}, &m_Set, 128, 128));
  ASSERT_EQ(m_Set.tileCount, 6);
  const int lefts[] = {0, 126, 252}, rights[] = {128, 254, 300};
  const int tops[] = {0, 126}, bottoms[] = {128, 200};
  for (int row = 0; row < 2; ++row) {
    for (int column = 0; column < 3; ++column) {
      int index = row * 3 + column;
      ExpectTile(index, ImageRect{lefts[column], tops[row], rights[column], bottoms[row]});
      EXPECT_EQ(m_Set.Tiles()[index].textureWidth, m_Set.Tiles()[index].tileWidth);
      EXPECT_EQ(m_Set.Tiles()[index].textureHeight, m_Set.Tiles()[index].tileHeight);
      EXPECT_TRUE(m_Set.Tiles()[index].isNew);
    }
  }
  EXPECT_TRUE(SameRect(m_Set.covered, ImageRect{0, 0, 300, 200}));
  EXPECT_EQ(m_Set.fullWidth, 300);
  EXPECT_EQ(m_Set.fullHeight, 200);
  EXPECT_TRUE(Failures().empty());
}

TEST_F(TextureSetTest, QuadsStopOnePixelShortOnlyWhereTilesMeet) {
  ASSERT_TRUE(SubdivideImage(ImageRect{10, 20, 310, 220}, &m_Set, 128, 128));
  ASSERT_EQ(m_Set.tileCount, 6);
  for (int row = 0; row < 2; ++row) {
    for (int column = 0; column < 3; ++column) {
      int index = row * 3 + column;
      const SubImage& tile = m_Set.Tiles()[index];
      const TexturedVertex* quad = Quad(index);
      double left = tile.tile.left + (column > 0 ? 1 : 0), right = tile.tile.right - (column < 2 ? 1 : 0);
      double top = tile.tile.top + (row > 0 ? 1 : 0), bottom = tile.tile.bottom - (row < 1 ? 1 : 0);
      // Top left, bottom left, bottom right, top right.
      EXPECT_EQ(quad[0].x, left) << index;
      EXPECT_EQ(quad[0].y, top) << index;
      EXPECT_EQ(quad[1].x, left) << index;
      EXPECT_EQ(quad[1].y, bottom) << index;
      EXPECT_EQ(quad[2].x, right) << index;
      EXPECT_EQ(quad[2].y, bottom) << index;
      EXPECT_EQ(quad[3].x, right) << index;
      EXPECT_EQ(quad[3].y, top) << index;
      for (int corner = 0; corner < 4; ++corner) {
        EXPECT_DOUBLE_EQ(quad[corner].s, (quad[corner].x - tile.tile.left) / tile.textureWidth);
        EXPECT_DOUBLE_EQ(quad[corner].t, (quad[corner].y - tile.tile.top) / tile.textureHeight);
      }
    }
  }
  // Neighbours meet in the middle of their overlap.
  EXPECT_EQ(Quad(0)[2].x, Quad(1)[0].x);
  EXPECT_EQ(Quad(0)[2].x, 10 + 127);
  EXPECT_EQ(Quad(0)[1].y, Quad(3)[0].y);
  EXPECT_EQ(Quad(0)[1].y, 20 + 127);
}

TEST_F(TextureSetTest, PowerOfTwoTileOf300By200UsesA512By256Texture) {
  gOpenGLDrawing.MustUsePowerOfTwoSizedTextures = true;
  ASSERT_TRUE(SubdivideImage(ImageRect{0, 0, 300, 200}, &m_Set, 512, 512));
  ASSERT_EQ(m_Set.tileCount, 1);
  const SubImage& tile = m_Set.Tiles()[0];
  EXPECT_EQ(tile.tileWidth, 300);
  EXPECT_EQ(tile.tileHeight, 200);
  EXPECT_EQ(tile.textureWidth, 512);
  EXPECT_EQ(tile.textureHeight, 256);
  EXPECT_TRUE(SameRect(tile.textureRect, ImageRect{0, 0, 512, 256}));
  EXPECT_TRUE(SameRect(m_Set.covered, ImageRect{0, 0, 512, 256}));
  const TexturedVertex* quad = Quad(0);
  EXPECT_EQ(quad[0].s, 0.0);
  EXPECT_EQ(quad[0].t, 0.0);
  EXPECT_DOUBLE_EQ(quad[2].s, 300.0 / 512.0);
  EXPECT_DOUBLE_EQ(quad[2].t, 200.0 / 256.0);
  EXPECT_EQ(quad[2].x, 300.0);
  EXPECT_EQ(quad[2].y, 200.0);
}

TEST_F(TextureSetTest, BottomUpSetsCountTheVerticalTextureCoordinateFromTheBottom) {
  m_Set.bottomUp = true;
  ASSERT_TRUE(SubdivideImage(ImageRect{0, 0, 300, 200}, &m_Set, 128, 128));
  const TexturedVertex* first = Quad(0);
  EXPECT_DOUBLE_EQ(first[0].t, 1.0) << "the tile's top row is its texture's last";
  EXPECT_DOUBLE_EQ(first[1].t, 1.0 / 128.0) << "the quad stops a pixel above the next tile";
  const TexturedVertex* below = Quad(3);
  EXPECT_DOUBLE_EQ(below[0].t, (200.0 - 127.0) / 74.0);
  EXPECT_DOUBLE_EQ(below[1].t, 0.0);
}

TEST_F(TextureSetTest, GrowingASetKeepsTexturesThatFitAndAddsNewOnes) {
  SetMaximumTextureSizeForTests(128);
  ImageRecord& first = MakeImage(ImageRect{0, 0, 300, 200}, plugInModeRGB48, PatternAt);
  ImageRecord& second = MakeImage(ImageRect{0, 0, 300, 200}, plugInModeRGB48, OtherPatternAt);
  ASSERT_TRUE(CreateTextureSetFromImage(&m_Set, first, ImageRect{0, 0, 254, 128}));
  ASSERT_EQ(m_Set.tileCount, 2);
  GLuint kept[2] = {m_Set.Tiles()[0].texture, m_Set.Tiles()[1].texture};

  ASSERT_TRUE(CreateTextureSetFromImage(&m_Set, second, ImageRect{0, 0, 300, 200}));
  ASSERT_EQ(m_Set.tileCount, 6);
  EXPECT_EQ(m_Set.Tiles()[0].texture, kept[0]);
  EXPECT_EQ(m_Set.Tiles()[1].texture, kept[1]);
  for (int i = 2; i < 6; ++i) {
    GLuint name = m_Set.Tiles()[i].texture;
    EXPECT_NE(name, 0u);
    EXPECT_NE(name, kept[0]);
    EXPECT_NE(name, kept[1]);
    EXPECT_TRUE(glIsTexture(name));
    EXPECT_FALSE(m_Set.Tiles()[i].isNew);
  }
  // The kept textures now hold the second picture.
  UseNearestFilters(&m_Set);
  ClearTarget();
  ASSERT_TRUE(DrawImageTextureSet(m_Set));
  ReadTarget();
  for (auto [x, y] : {std::pair{5, 5}, std::pair{127, 60}, std::pair{200, 100}, std::pair{299, 199}}) {
    EXPECT_TRUE(PixelIs(x, y, StoredAt(second, x, y))) << x << ", " << y;
  }

  // Shrinking gives the dropped tiles' textures back.
  GLuint dropped = m_Set.Tiles()[5].texture;
  ASSERT_TRUE(CreateTextureSetFromImage(&m_Set, first, ImageRect{0, 0, 254, 128}));
  EXPECT_EQ(m_Set.tileCount, 2);
  EXPECT_EQ(m_Set.Tiles()[0].texture, kept[0]);
  EXPECT_FALSE(glIsTexture(dropped));
  EXPECT_TRUE(Failures().empty());
}

TEST_F(TextureSetTest, ATileThatOutgrowsItsTextureGetsANewOne) {
  SetMaximumTextureSizeForTests(128);
  ImageRecord& image = MakeImage(ImageRect{0, 0, 300, 200}, plugInModeRGBColor, PatternAt);
  ASSERT_TRUE(CreateTextureSetFromImage(&m_Set, image, ImageRect{0, 0, 100, 100}));
  GLuint small = m_Set.Tiles()[0].texture;
  ASSERT_TRUE(CreateTextureSetFromImage(&m_Set, image, ImageRect{0, 0, 120, 100}));
  EXPECT_NE(m_Set.Tiles()[0].texture, small);
  EXPECT_FALSE(glIsTexture(small));
  EXPECT_EQ(m_Set.Tiles()[0].textureWidth, 120);
}

TEST_F(TextureSetTest, AnImageOfExactlyTheMaximumSizeIsOneTileWithAFullQuad) {
  SetMaximumTextureSizeForTests(128);
  ImageRecord& image = MakeImage(ImageRect{0, 0, 128, 128}, plugInModeRGBColor, PatternAt);
  ASSERT_TRUE(CreateTextureSetFromImage(&m_Set, image, image.rectangle));
  ASSERT_EQ(m_Set.tileCount, 1);
  const TexturedVertex* quad = Quad(0);
  EXPECT_EQ(quad[0].x, 0.0);
  EXPECT_EQ(quad[0].y, 0.0);
  EXPECT_EQ(quad[2].x, 128.0);
  EXPECT_EQ(quad[2].y, 128.0);
  EXPECT_EQ(quad[2].s, 1.0);
  EXPECT_EQ(quad[2].t, 1.0);
  UseNearestFilters(&m_Set);
  ClearTarget();
  ASSERT_TRUE(DrawImageTextureSet(m_Set));
  ReadTarget();
  EXPECT_TRUE(PixelIs(127, 127, StoredAt(image, 127, 127)));
  EXPECT_TRUE(PixelIs(128, 127, ClearValue()));
}

TEST_F(TextureSetTest, OnePixelImageIsOneTile) {
  for (bool powerOfTwo : {false, true}) {
    gOpenGLDrawing.MustUsePowerOfTwoSizedTextures = powerOfTwo;
    ImageRecord& image = MakeImage(ImageRect{0, 0, 1, 1}, plugInModeRGBColor, PatternAt);
    ASSERT_TRUE(CreateTextureSetFromImage(&m_Set, image, image.rectangle));
    ASSERT_EQ(m_Set.tileCount, 1);
    EXPECT_EQ(m_Set.Tiles()[0].textureWidth, 1);
    EXPECT_EQ(m_Set.Tiles()[0].textureHeight, 1);
    ClearTarget();
    ASSERT_TRUE(DrawImageTextureSet(m_Set));
    ReadTarget();
    EXPECT_TRUE(PixelIs(0, 0, StoredAt(image, 0, 0)));
    EXPECT_TRUE(PixelIs(1, 0, ClearValue()));
    EXPECT_TRUE(PixelIs(0, 1, ClearValue()));
  }
}

TEST_F(TextureSetTest, ColumnTallerThanTheDriversLimitIsSplitWithoutASeam) {
  GLint maximum = 0, unused = 0;
  ASSERT_TRUE(GetMaximumTextureSize(false, false, &maximum, &unused));
  ImageRecord& image = MakeImage(ImageRect{0, 0, 1, 30000}, plugInModeRGB48, PatternAt);
  ASSERT_TRUE(CreateTextureSetFromImage(&m_Set, image, image.rectangle));
  int advance = maximum - kTileOverlap;
  ASSERT_EQ(m_Set.tileCount, 1 + (30000 - maximum + advance - 1) / advance);
  ASSERT_GE(m_Set.tileCount, 2);
  EXPECT_EQ(m_Set.Tiles()[0].tile.bottom, maximum);
  EXPECT_EQ(m_Set.Tiles()[m_Set.tileCount - 1].tile.bottom, 30000);
  UseNearestFilters(&m_Set);
  // Each seam in the middle of the window in turn.
  for (int seam = 1; seam < m_Set.tileCount; ++seam) {
    EXPECT_EQ(m_Set.Tiles()[seam].tile.top, m_Set.Tiles()[seam - 1].tile.bottom - kTileOverlap);
    int firstRow = m_Set.Tiles()[seam].tile.top + 1 - kHeight / 2;
    ClearTarget();
    glTranslated(0.0, -double(firstRow), 0.0);
    ASSERT_TRUE(DrawImageTextureSet(m_Set));
    glLoadIdentity();
    ReadTarget();
    for (int y = 0; y < kHeight; ++y) {
      ASSERT_TRUE(PixelIs(0, y, StoredAt(image, 0, firstRow + y))) << "row " << firstRow + y;
      ASSERT_TRUE(PixelIs(1, y, ClearValue()));
    }
  }
}

TEST_F(TextureSetTest, MaximumTextureSizeIsTheLargestTheDriverReallyAllocates) {
  GLint width = 0, height = 0, driver = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &driver);
  EXPECT_EQ(driver, 16384) << "llvmpipe";
  // llvmpipe announces 16384 but refuses a 16384-square texture of half floats.
  ASSERT_EQ(PreviewColorTextureFormat().internalFormat, GL_RGBA16F);
  ASSERT_TRUE(GetMaximumTextureSize(false, false, &width, &height));
  EXPECT_EQ(width, 8192);
  EXPECT_EQ(height, 8192);
  // Bytes fit at the announced size.
  gOpenGLSettings.m_OpenGLDrawingMode = OPTIMIZE_FOR_COMPATIBILITY;
  ASSERT_TRUE(GetMaximumTextureSize(false, false, &width, &height));
  EXPECT_EQ(width, driver);
  EXPECT_EQ(height, driver);
}

TEST_F(TextureSetTest, ProbingHalvesWhileTheProxyIsRefusedButNotBelow64) {
  const std::pair<GLint, GLint> limits[] = {{1000, 512}, {128, 128}, {100, 64}, {64, 64}, {10, 64}};
  for (auto [limit, expected] : limits) {
    SetMaximumTextureSizeForTests(limit);
    GLint width = 0, height = 0;
    ASSERT_TRUE(GetMaximumTextureSize(false, false, &width, &height));
    EXPECT_EQ(width, expected) << "limit " << limit;
    EXPECT_EQ(height, expected) << "limit " << limit;
  }
  SetMaximumTextureSizeForTests(0);
  GLint width = 0, height = 0;
  ASSERT_TRUE(GetMaximumTextureSize(false, false, &width, &height));
  EXPECT_EQ(width, 8192) << "0 restores the probe";
}

TEST_F(TextureSetTest, MaximumIsClampedToTheViewportAndRoundedDownToPowersOfTwo) {
  GLint width = 0, height = 0;
  ASSERT_TRUE(GetMaximumTextureSize(false, true, &width, &height));
  EXPECT_EQ(width, kWidth);
  EXPECT_EQ(height, kHeight);
  ASSERT_TRUE(GetMaximumTextureSize(true, true, &width, &height));
  EXPECT_EQ(width, 256);
  EXPECT_EQ(height, 128);
  SetMaximumTextureSizeForTests(1000);
  ASSERT_TRUE(GetMaximumTextureSize(true, false, &width, &height));
  EXPECT_EQ(width, 512);
  SetMaximumTextureSizeForTests(0);
  ASSERT_TRUE(GetMaximumTextureSize(true, true, &width, &height));
  EXPECT_EQ(width, 256);
  glViewport(0, 0, 90, 70);
  ASSERT_TRUE(GetMaximumTextureSize(true, true, &width, &height));
  EXPECT_EQ(width, 64);
  EXPECT_EQ(height, 64);
}

TEST_F(TextureSetTest, PendingOpenGLErrorFailsTheDetermination) {
  glEnable(GL_TEXTURE_2D + 1);  // not a capability: GL_INVALID_ENUM
  GLint width = 0, height = 0;
  EXPECT_FALSE(GetMaximumTextureSize(false, false, &width, &height));
  EXPECT_TRUE(m_Capture->HasReport("Determination of maximum texture size failed."));
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << "the error is taken, not left for the next step";
}

TEST_F(TextureSetTest, MaximumOfTwoPixelsIsRefusedRatherThanTilingForever) {
  EXPECT_FALSE(SubdivideImage(ImageRect{0, 0, 300, 200}, &m_Set, kTileOverlap, 128));
  EXPECT_FALSE(SubdivideImage(ImageRect{0, 0, 300, 200}, &m_Set, 128, 1));
  EXPECT_FALSE(SubdivideImage(ImageRect{5, 5, 5, 100}, &m_Set, 128, 128));
  EXPECT_TRUE(m_Capture->HasReport("Subdivision of specified image Failed"));
  EXPECT_EQ(m_Set.tileCount, 0);
  ASSERT_TRUE(SubdivideImage(ImageRect{0, 0, 7, 4}, &m_Set, 3, 3));
  EXPECT_EQ(m_Set.tileCount, 5 * 2) << "three-pixel tiles advance one pixel at a time";
}

TEST_F(TextureSetTest, PendingOpenGLErrorIsReportedOnEntryToSubdivision) {
  glEnable(GL_TEXTURE_2D + 1);
  EXPECT_FALSE(SubdivideImage(ImageRect{0, 0, 300, 200}, &m_Set, 128, 128));
  EXPECT_TRUE(m_Capture->HasReport("Error on entry into SubdivideImage()"));
}

TEST_F(TextureSetTest, TileArrayGrowthFailureSetsTheResultAndKeepsTheSet) {
  FailNextBufferAllocations(1);
  EXPECT_FALSE(SubdivideImage(ImageRect{0, 0, 300, 200}, &m_Set, 128, 128));
  EXPECT_EQ(m_Result, kOutOfMemory);
  EXPECT_TRUE(m_Capture->HasReport(
      "ReallocateBufferPreserveContents failed in CreateTextureSetFromImage() for SubImageDescArray, *gResult set to -108."));
  EXPECT_EQ(m_Set.tileCount, 0);

  m_Result = 0;
  FailBufferAllocationsAfter(1, 1);
  EXPECT_FALSE(SubdivideImage(ImageRect{0, 0, 300, 200}, &m_Set, 64, 64));
  EXPECT_EQ(m_Result, kOutOfMemory);
  EXPECT_TRUE(m_Capture->HasReport(
      "ReallocateBufferPreserveContents failed in CreateTextureSetFromImage() for VertexDescArray, *gResult set to -108."));
  EXPECT_EQ(m_Set.tileCount, 0);

  m_Result = 0;
  EXPECT_TRUE(SubdivideImage(ImageRect{0, 0, 300, 200}, &m_Set, 64, 64)) << "the next frame tries again";
  EXPECT_EQ(m_Set.tileCount, 20);
}

TEST_F(TextureSetTest, VertexBufferHoldsTheVerticesOfThePresentTiles) {
  ASSERT_TRUE(gOpenGLDrawing.UseVertexBufferObjects);
  ASSERT_TRUE(CreateTextureSetVertexBuffer(&m_Set, GL_STATIC_DRAW));
  ASSERT_NE(m_Set.vertexBuffer, 0u);
  SetMaximumTextureSizeForTests(64);
  ImageRecord& image = MakeImage(ImageRect{0, 0, 300, 200}, plugInModeRGBColor, PatternAt);
  ASSERT_TRUE(CreateTextureSetFromImage(&m_Set, image, image.rectangle));
  ASSERT_TRUE(m_Set.vertexBufferCurrent);
  size_t bytes = size_t(m_Set.tileCount) * 4 * sizeof(TexturedVertex);
  std::vector<TexturedVertex> stored(size_t(m_Set.tileCount) * 4);
  glBindBuffer(GL_ARRAY_BUFFER, m_Set.vertexBuffer);
  glGetBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(bytes), stored.data());
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  EXPECT_EQ(memcmp(stored.data(), m_Set.Vertices(), bytes), 0);
  EXPECT_GE(m_Set.vertexBufferSize, bytes);

  // A bare subdivision leaves the buffer behind; drawing then takes the vertices from memory.
  ASSERT_TRUE(SubdivideImage(ImageRect{0, 0, 100, 100}, &m_Set, 64, 64));
  EXPECT_FALSE(m_Set.vertexBufferCurrent);
  ASSERT_TRUE(UpdateVertexBuffer(&m_Set));
  EXPECT_TRUE(m_Set.vertexBufferCurrent);
}

TEST_F(TextureSetTest, BufferObjectsAreNotMadeWhereTheFlagsForbidThem) {
  gOpenGLDrawing.UseVertexBufferObjects = false;
  gOpenGLDrawing.UsePixelBufferObjects = false;
  EXPECT_TRUE(CreateTextureSetVertexBuffer(&m_Set, GL_DYNAMIC_DRAW));
  EXPECT_TRUE(CreateTextureSetPixelBuffer(&m_Set, GL_DYNAMIC_DRAW));
  EXPECT_EQ(m_Set.vertexBuffer, 0u);
  EXPECT_EQ(m_Set.pixelBuffer, 0u);
  gOpenGLDrawing.UsePixelBufferObjects = true;
  EXPECT_TRUE(CreateTextureSetPixelBuffer(&m_Set, GL_DYNAMIC_DRAW));
  EXPECT_NE(m_Set.pixelBuffer, 0u);
  EXPECT_EQ(m_Set.pixelBufferUsage, GLenum(GL_DYNAMIC_DRAW));
}

TEST_F(TextureSetTest, UpdatingAVertexBufferThatIsNotThereIsReported) {
  ASSERT_TRUE(SubdivideImage(ImageRect{0, 0, 300, 200}, &m_Set, 128, 128));
  EXPECT_FALSE(UpdateVertexBuffer(&m_Set));
  EXPECT_TRUE(m_Capture->HasReport("UpdateVertexBuffer() called with invalid texture."));
}

TEST_F(TextureSetTest, FreeingASetDeletesItsTexturesBuffersAndArrays) {
  ASSERT_TRUE(CreateTextureSetVertexBuffer(&m_Set, GL_STATIC_DRAW));
  ASSERT_TRUE(CreateTextureSetPixelBuffer(&m_Set, GL_STATIC_DRAW));
  SetMaximumTextureSizeForTests(64);
  ImageRecord& image = MakeImage(ImageRect{0, 0, 300, 200}, plugInModeRGBColor, PatternAt);
  ASSERT_TRUE(CreateTextureSetFromImage(&m_Set, image, image.rectangle));
  std::vector<GLuint> textures;
  for (int i = 0; i < m_Set.tileCount; ++i) textures.push_back(m_Set.Tiles()[i].texture);
  GLuint vertexBuffer = m_Set.vertexBuffer, pixelBuffer = m_Set.pixelBuffer;
  uint64_t usageBefore = GetBufferStatistics().currentUsage;
  FreeTextureSet(&m_Set);
  for (GLuint texture : textures) EXPECT_FALSE(glIsTexture(texture)) << texture;
  EXPECT_FALSE(glIsBuffer(vertexBuffer));
  EXPECT_FALSE(glIsBuffer(pixelBuffer));
  EXPECT_EQ(m_Set.tileCount, 0);
  EXPECT_EQ(m_Set.tiles.block, nullptr);
  EXPECT_EQ(m_Set.vertices.block, nullptr);
  EXPECT_LT(GetBufferStatistics().currentUsage, usageBefore);
  EXPECT_TRUE(DrawImageTextureSet(m_Set)) << "an empty set draws nothing";
}
