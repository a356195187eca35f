// The preview's frame buffer objects: drawing into them at every multisample mode, resolving and
// copying the result into a texture set, storage growth, and the reports of refused storage.
#include <gtest/gtest.h>

#include "PreviewGLFixture.h"
#include "preview/FrameBufferObjects.h"
#include "preview/TextureSet.h"

namespace {

class FrameBufferObjectsTest : public PreviewGLFixture {
 protected:
  void TearDown() override {
    if (m_Context.kind != OPENGL_CONTEXT_INVALID) DestroyFrameBufferObjects(&m_Objects);
    PreviewGLFixture::TearDown();
  }
  GLint BoundFramebuffer(GLenum binding = GL_DRAW_FRAMEBUFFER_BINDING) {
    GLint name = -1;
    glGetIntegerv(binding, &name);
    return name;
  }
  // Two flat rectangles on a cleared frame, on whole pixels so that multisampling changes nothing.
  void DrawScene() {
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    glColor4f(1.0f, 0.6f, 0.2f, 1.0f);
    glRectd(20, 30, 120, 90);
    glColor4f(0.0f, 1.0f, 0.0f, 1.0f);
    glRectd(150, 100, 280, 190);
    glPopAttrib();
  }
  void ExpectScene() {
    EXPECT_TRUE(PixelIs(20, 30, ClearValue(1.0f, 0.6f, 0.2f, 1.0f)));
    EXPECT_TRUE(PixelIs(119, 89, ClearValue(1.0f, 0.6f, 0.2f, 1.0f)));
    EXPECT_TRUE(PixelIs(120, 89, ClearValue(0.0f, 0.0f, 0.0f, 1.0f)));
    EXPECT_TRUE(PixelIs(19, 30, ClearValue(0.0f, 0.0f, 0.0f, 1.0f)));
    EXPECT_TRUE(PixelIs(150, 100, ClearValue(0.0f, 1.0f, 0.0f, 1.0f)));
    EXPECT_TRUE(PixelIs(279, 189, ClearValue(0.0f, 1.0f, 0.0f, 1.0f)));
    EXPECT_TRUE(PixelIs(280, 189, ClearValue(0.0f, 0.0f, 0.0f, 1.0f)));
  }
  FrameBufferObjects m_Objects;
};

class FrameBufferModeTest : public FrameBufferObjectsTest, public ::testing::WithParamInterface<int> {};

}  // namespace

TEST_P(FrameBufferModeTest, DrawingResolvesAndArrivesInTheTextureSet) {
  int mode = GetParam();
  ASSERT_GE(gOpenGLDrawing.maximumSamples, 4) << "llvmpipe multisamples";
  ASSERT_TRUE(CreateFrameBufferObjects(&m_Objects, mode, gOpenGLDrawing.maximumSamples));
  EXPECT_EQ(m_Objects.samples, mode == MULTISAMPLE_NONE ? 0 : 4);
  EXPECT_EQ(m_Objects.multisampleRenderbuffer != 0, mode == MULTISAMPLE_RENDERBUFFER);
  EXPECT_EQ(m_Objects.multisampleTexture != 0, mode == MULTISAMPLE_TEXTURE);
  EXPECT_EQ(m_Objects.internalFormat, PreviewColorTextureFormat().internalFormat);

  ASSERT_TRUE(AttachFBOForRenderingPreparation(&m_Objects, kWidth, kHeight));
  EXPECT_TRUE(m_Objects.attached);
  GLint drawing = mode == MULTISAMPLE_NONE ? GLint(m_Objects.mainFramebuffer) : GLint(m_Objects.multisampleFramebuffer);
  EXPECT_EQ(BoundFramebuffer(), drawing);
  DrawScene();
  ASSERT_TRUE(ResolveFBO(&m_Objects));
  EXPECT_EQ(BoundFramebuffer(GL_READ_FRAMEBUFFER_BINDING), GLint(m_Objects.mainFramebuffer));
  SetMaximumTextureSizeForTests(128);
  ASSERT_TRUE(CreateTextureSetFromFramebuffer(&m_Set, ImageRect{0, 0, kWidth, kHeight}, kHeight));
  ReleaseFBOForRendering(&m_Objects);
  EXPECT_FALSE(m_Objects.attached);
  EXPECT_EQ(BoundFramebuffer(), 0);

  BindRenderTarget();
  ClearTarget();
  UseNearestFilters(&m_Set);
  ASSERT_TRUE(DrawImageTextureSet(m_Set));
  ReadTarget();
  ExpectScene();
  EXPECT_TRUE(Failures().empty()) << Failures().front();
}

TEST_P(FrameBufferModeTest, StorageGrowsWithTheFrameAndIsKeptForSmallerOnes) {
  ASSERT_TRUE(CreateFrameBufferObjects(&m_Objects, GetParam(), gOpenGLDrawing.maximumSamples));
  ASSERT_TRUE(AttachFBOForRenderingPreparation(&m_Objects, 100, 80));
  EXPECT_EQ(m_Objects.width, 100);
  EXPECT_EQ(m_Objects.height, 80);
  ReleaseFBOForRendering(&m_Objects);
  ASSERT_TRUE(AttachFBOForRenderingPreparation(&m_Objects, 90, 120));
  EXPECT_EQ(m_Objects.width, 100);
  EXPECT_EQ(m_Objects.height, 120);
  GLint width = 0;
  glBindRenderbuffer(GL_RENDERBUFFER, m_Objects.mainRenderbuffer);
  glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_WIDTH, &width);
  EXPECT_EQ(width, 100);
  ReleaseFBOForRendering(&m_Objects);
  ASSERT_TRUE(AttachFBOForRenderingPreparation(&m_Objects, 50, 50));
  EXPECT_EQ(m_Objects.width, 100) << "a smaller frame keeps the storage";
  EXPECT_EQ(m_Objects.height, 120);
  ReleaseFBOForRendering(&m_Objects);
}

std::string MultisampleModeName(const ::testing::TestParamInfo<int>& info) {
  const char* names[] = {"None", "Renderbuffer", "Texture"};
  return names[info.param];
}

INSTANTIATE_TEST_SUITE_P(MultisampleModes, FrameBufferModeTest,
                         ::testing::Values(MULTISAMPLE_NONE, MULTISAMPLE_RENDERBUFFER, MULTISAMPLE_TEXTURE),
                         MultisampleModeName);

TEST_F(FrameBufferObjectsTest, SamplesAreAtMostFourAndNoneBelowTwo) {
  ASSERT_TRUE(CreateFrameBufferObjects(&m_Objects, MULTISAMPLE_RENDERBUFFER, 16));
  EXPECT_EQ(m_Objects.samples, 4);
  DestroyFrameBufferObjects(&m_Objects);
  ASSERT_TRUE(CreateFrameBufferObjects(&m_Objects, MULTISAMPLE_TEXTURE, 2));
  EXPECT_EQ(m_Objects.samples, 2);
  DestroyFrameBufferObjects(&m_Objects);
  ASSERT_TRUE(CreateFrameBufferObjects(&m_Objects, MULTISAMPLE_RENDERBUFFER, 1));
  EXPECT_EQ(m_Objects.samples, 0);
  EXPECT_EQ(m_Objects.multisampleFramebuffer, 0u);
  EXPECT_EQ(m_Objects.multisampleRenderbuffer, 0u);
  ASSERT_TRUE(AttachFBOForRenderingPreparation(&m_Objects, 64, 64));
  EXPECT_EQ(BoundFramebuffer(), GLint(m_Objects.mainFramebuffer));
  ReleaseFBOForRendering(&m_Objects);
}

TEST_F(FrameBufferObjectsTest, ZeroSizeIsIncompleteAndTheFrameGoesOnWithoutIt) {
  ASSERT_TRUE(CreateFrameBufferObjects(&m_Objects, MULTISAMPLE_NONE, 0));
  EXPECT_FALSE(AttachFBOForRenderingPreparation(&m_Objects, 0, 0));
  EXPECT_TRUE(m_Capture->HasReport("Frame Buffer Object after render buffer attachment was incomplete. Status = 0x8CD6"))
      << (m_Capture->Reports().empty() ? "" : m_Capture->Reports().front().text);
  EXPECT_TRUE(m_Capture->HasReport("AttachFBOForRenderingPreparation() - Failed to fully prepare FBO and attachments for output."));
  EXPECT_FALSE(m_Objects.attached);
  EXPECT_EQ(BoundFramebuffer(), 0) << "drawn without the FBO";
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  ASSERT_TRUE(AttachFBOForRenderingPreparation(&m_Objects, 32, 32)) << "the next frame allocates afresh";
  ReleaseFBOForRendering(&m_Objects);
}

TEST_F(FrameBufferObjectsTest, RefusedStorageIsReportedForEachAttachment) {
  ASSERT_TRUE(CreateFrameBufferObjects(&m_Objects, MULTISAMPLE_NONE, 0));
  EXPECT_FALSE(AttachFBOForRenderingPreparation(&m_Objects, 100000, 16));
  EXPECT_TRUE(m_Capture->HasReport("Failed to allocate storage for the primary render buffer."));
  EXPECT_EQ(BoundFramebuffer(), 0);
  DestroyFrameBufferObjects(&m_Objects);

  // More samples than the driver grants: the primary storage succeeds, the multisampled fails.
  ASSERT_TRUE(CreateFrameBufferObjects(&m_Objects, MULTISAMPLE_RENDERBUFFER, 4));
  m_Objects.samples = 1024;
  EXPECT_FALSE(AttachFBOForRenderingPreparation(&m_Objects, 64, 64));
  EXPECT_TRUE(m_Capture->HasReport("Failed to allocate storage for the multisampling render buffer."));
  DestroyFrameBufferObjects(&m_Objects);

  ASSERT_TRUE(CreateFrameBufferObjects(&m_Objects, MULTISAMPLE_TEXTURE, 4));
  m_Objects.samples = 1024;
  EXPECT_FALSE(AttachFBOForRenderingPreparation(&m_Objects, 64, 64));
  EXPECT_TRUE(m_Capture->HasReport("Failed to reallocate storage for the multisampling texture."));
  EXPECT_FALSE(m_Objects.attached);
  EXPECT_EQ(BoundFramebuffer(), 0);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(FrameBufferObjectsTest, ResolvingWithoutAttachmentIsRefused) {
  ASSERT_TRUE(CreateFrameBufferObjects(&m_Objects, MULTISAMPLE_RENDERBUFFER, 4));
  EXPECT_FALSE(ResolveFBO(&m_Objects));
  EXPECT_TRUE(m_Capture->HasReport("ResolveFBO() - The frame buffer objects are not attached."));
}

TEST_F(FrameBufferObjectsTest, ResolveCoversTheWholeFrameEvenUnderAScissor) {
  ASSERT_TRUE(CreateFrameBufferObjects(&m_Objects, MULTISAMPLE_RENDERBUFFER, 4));
  ASSERT_TRUE(AttachFBOForRenderingPreparation(&m_Objects, kWidth, kHeight));
  DrawScene();
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 0, 10, 10);
  ASSERT_TRUE(ResolveFBO(&m_Objects));
  EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST)) << "the caller's scissor is left as it was";
  glDisable(GL_SCISSOR_TEST);
  ReadTarget();
  ExpectScene();
  ReleaseFBOForRendering(&m_Objects);
}

TEST_F(FrameBufferObjectsTest, DestroyingDeletesEveryObject) {
  ASSERT_TRUE(CreateFrameBufferObjects(&m_Objects, MULTISAMPLE_TEXTURE, 4));
  ASSERT_TRUE(AttachFBOForRenderingPreparation(&m_Objects, 32, 32));
  FrameBufferObjects names = m_Objects;
  DestroyFrameBufferObjects(&m_Objects);
  EXPECT_FALSE(glIsFramebuffer(names.mainFramebuffer));
  EXPECT_FALSE(glIsFramebuffer(names.multisampleFramebuffer));
  EXPECT_FALSE(glIsRenderbuffer(names.mainRenderbuffer));
  EXPECT_FALSE(glIsTexture(names.multisampleTexture));
  EXPECT_EQ(m_Objects.mainFramebuffer, 0u);
  EXPECT_EQ(BoundFramebuffer(), 0);
}

TEST_F(FrameBufferObjectsTest, SmallerFrameInLargerStorageIsCopiedFromTheViewportsRows) {
  ASSERT_TRUE(CreateFrameBufferObjects(&m_Objects, MULTISAMPLE_RENDERBUFFER, 4));
  ASSERT_TRUE(AttachFBOForRenderingPreparation(&m_Objects, kWidth + 100, kHeight + 100));
  ReleaseFBOForRendering(&m_Objects);
  // The window shrank: the frame keeps the larger storage and draws in its lower left.
  ASSERT_TRUE(AttachFBOForRenderingPreparation(&m_Objects, kWidth, kHeight));
  ASSERT_EQ(m_Objects.height, kHeight + 100);
  SetGLSize(RECT{0, 0, kWidth, kHeight});
  DrawScene();
  ASSERT_TRUE(ResolveFBO(&m_Objects));
  ASSERT_TRUE(CreateTextureSetFromFramebuffer(&m_Set, ImageRect{0, 0, kWidth, kHeight}, kHeight));
  ReleaseFBOForRendering(&m_Objects);
  BindRenderTarget();
  ClearTarget();
  UseNearestFilters(&m_Set);
  ASSERT_TRUE(DrawImageTextureSet(m_Set));
  ReadTarget();
  ExpectScene();
}
