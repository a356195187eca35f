// The four GLEW slots: one per rendering context, refused for a fifth, freed with the context,
// and restored into GLEW's globals whenever their context becomes current.
#include <gtest/gtest.h>

#include <GL/glew.h>
#include <GL/wglew.h>

#include <cstring>
#include <deque>
#include <vector>

#include "OpenGLTestWindow.h"
#include "TestSupport.h"
#include "core/BufferManager.h"
#include "preview/GlewContexts.h"
#include "preview/GlewStateTable.h"
#include "preview/OpenGLContext.h"

namespace {

class GlewContextsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (OpenGLContext& context : m_Contexts) {
      if (context.kind != OPENGL_CONTEXT_INVALID) ReleaseOpenGLContext(&context);
    }
    for (HWND window : m_Windows) DestroyWindow(window);
  }
  // A screen context on a window of its own, current.
  OpenGLContext& NewContext() {
    HWND window = CreateOpenGLTestWindow(32, 32);
    m_Windows.push_back(window);
    PIXELFORMATDESCRIPTOR descriptor{};
    bool accelerated = false;
    int number = SelectPixelFormat(window, false, &descriptor, &accelerated);
    m_Contexts.emplace_back();
    CreateScreenContext(&m_Contexts.back(), window, ClientRectOf(window), number, descriptor);
    return m_Contexts.back();
  }
  std::vector<HWND> m_Windows;
  std::deque<OpenGLContext> m_Contexts;  // references stay valid as contexts are added
};

size_t EntryIndexOf(const void* address) {
  for (size_t i = 0; i < kGlewStateEntryCount; ++i) {
    if (kGlewStateEntries[i].address == address) return i;
  }
  return kGlewStateEntryCount;
}

size_t OffsetOfEntry(size_t index) {
  size_t offset = 0;
  for (size_t i = 0; i < index; ++i) offset += kGlewStateEntries[i].size;
  return offset;
}

}  // namespace

TEST(GlewStateTableTest, CoversEntryPointsFlagsAndWindowsExtensions) {
  EXPECT_LT(EntryIndexOf(&__glewGenBuffers), kGlewStateEntryCount);
  EXPECT_LT(EntryIndexOf(&__GLEW_VERSION_2_0), kGlewStateEntryCount);
  EXPECT_LT(EntryIndexOf(&__GLEW_ARB_framebuffer_object), kGlewStateEntryCount);
  EXPECT_LT(EntryIndexOf(&__wglewChoosePixelFormatARB), kGlewStateEntryCount);
  EXPECT_EQ(kGlewStateEntries[EntryIndexOf(&__glewGenBuffers)].size, sizeof(void*));
  EXPECT_EQ(kGlewStateEntries[EntryIndexOf(&__GLEW_VERSION_2_0)].size, sizeof(GLboolean));
  size_t sum = 0;
  for (size_t i = 0; i < kGlewStateEntryCount; ++i) sum += kGlewStateEntries[i].size;
  EXPECT_EQ(GlewContextStateSize(), sum);
}

TEST_F(GlewContextsTest, FourContextsGetSlotsAndAFifthIsRefused) {
  ReportCapture capture;
  for (int i = 0; i < kGlewContextSlotCount; ++i) {
    OpenGLContext& context = NewContext();
    ASSERT_EQ(context.kind, OPENGL_CONTEXT_SCREEN) << i;
    GlewContextSlot* slot = FindGlewContextSlot(context.renderingContext);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot->state.size, GlewContextStateSize());
  }
  EXPECT_TRUE(FailureReports(capture).empty());
  OpenGLContext& fifth = NewContext();
  EXPECT_EQ(fifth.kind, OPENGL_CONTEXT_INVALID);
  EXPECT_TRUE(capture.HasReport("CreateGLEWContext() - The GLEW context descriptor array is full."));

  // Releasing one frees its slot for the next context.
  HGLRC released = m_Contexts[1].renderingContext;
  ReleaseOpenGLContext(&m_Contexts[1]);
  EXPECT_EQ(FindGlewContextSlot(released), nullptr);
  OpenGLContext& again = NewContext();
  EXPECT_EQ(again.kind, OPENGL_CONTEXT_SCREEN);
  EXPECT_NE(FindGlewContextSlot(again.renderingContext), nullptr);
}

TEST_F(GlewContextsTest, SwitchingRestoresEachContextsOwnState) {
  OpenGLContext& first = NewContext();
  OpenGLContext& second = NewContext();
  ASSERT_EQ(first.kind, OPENGL_CONTEXT_SCREEN);
  ASSERT_EQ(second.kind, OPENGL_CONTEXT_SCREEN);
  // Mark the first context's saved entry point, so that which state is live can be told apart.
  size_t index = EntryIndexOf(&__glewGenBuffers);
  GlewContextSlot* firstSlot = FindGlewContextSlot(first.renderingContext);
  auto* saved = static_cast<unsigned char*>(firstSlot->state.block) + OffsetOfEntry(index);
  PFNGLGENBUFFERSPROC genuine;
  std::memcpy(&genuine, saved, sizeof genuine);
  ASSERT_NE(genuine, nullptr);
  auto marker = reinterpret_cast<PFNGLGENBUFFERSPROC>(uintptr_t(0x1234));
  std::memcpy(saved, &marker, sizeof marker);

  ASSERT_TRUE(MakeOpenGLContextCurrent(second.deviceContext, second.renderingContext));
  EXPECT_EQ(glewGetContext(), FindGlewContextSlot(second.renderingContext));
  EXPECT_EQ(__glewGenBuffers, genuine);
  ASSERT_TRUE(MakeOpenGLContextCurrent(first.deviceContext, first.renderingContext));
  EXPECT_EQ(glewGetContext(), firstSlot);
  EXPECT_EQ(__glewGenBuffers, marker);
  std::memcpy(saved, &genuine, sizeof genuine);
  ASSERT_TRUE(MakeOpenGLContextCurrent(second.deviceContext, second.renderingContext));
  ASSERT_TRUE(MakeOpenGLContextCurrent(first.deviceContext, first.renderingContext));

  // The restored entry points work for the context they belong to.
  GLuint buffer = 0;
  glGenBuffers(1, &buffer);
  EXPECT_NE(buffer, 0u);
  glDeleteBuffers(1, &buffer);
  EXPECT_TRUE(GLEW_VERSION_2_0);
}

TEST_F(GlewContextsTest, LookupWithoutCurrentContextReportsAndGivesNull) {
  wglMakeCurrent(nullptr, nullptr);
  ReportCapture capture;
  EXPECT_EQ(glewGetContext(), nullptr);
  EXPECT_TRUE(capture.HasReport("glewGetContext() - Failed to obtain OpenGL rendering context from current context."));
  EXPECT_FALSE(CreateGLEWContext());
  EXPECT_TRUE(capture.HasReport("CreateGLEWContext() - Failed to obtain OpenGL rendering context from current context."));
}

TEST_F(GlewContextsTest, ContextWithoutSlotIsReported) {
  HWND window = CreateOpenGLTestWindow(16, 16);
  m_Windows.push_back(window);
  PIXELFORMATDESCRIPTOR descriptor{};
  bool accelerated = false;
  int number = SelectPixelFormat(window, false, &descriptor, &accelerated);
  HDC deviceContext = GetDC(window);
  ASSERT_TRUE(SetPixelFormat(deviceContext, number, &descriptor));
  HGLRC bare = wglCreateContext(deviceContext);
  ASSERT_TRUE(MakeOpenGLContextCurrent(deviceContext, bare));
  ReportCapture capture;
  EXPECT_EQ(glewGetContext(), nullptr);
  char expected[128];
  snprintf(expected, sizeof expected,
           "glewGetContext() - Failed to find GLEW context descriptor for OpenGL current context 0x%X.",
           unsigned(uintptr_t(bare)));
  EXPECT_TRUE(capture.HasReport(expected));
  ASSERT_TRUE(CreateGLEWContext());
  EXPECT_FALSE(CreateGLEWContext());
  snprintf(expected, sizeof expected,
           "CreateGLEWContext() - A GLEW context for OpenGL rendering context 0x%X already exists.",
           unsigned(uintptr_t(bare)));
  EXPECT_TRUE(capture.HasReport(expected));
  DeleteGLEWContext(bare);
  EXPECT_EQ(FindGlewContextSlot(bare), nullptr);
  DeleteGLEWContext(bare);
  snprintf(expected, sizeof expected,
           "DeleteGLEWContext() - Failed to obtain GLEW context for OpenGL rendering context 0x%X.",
           unsigned(uintptr_t(bare)));
  EXPECT_TRUE(capture.HasReport(expected));
  wglMakeCurrent(nullptr, nullptr);
  wglDeleteContext(bare);
  ReleaseDC(window, deviceContext);
}

TEST_F(GlewContextsTest, OutOfMemoryForStateFailsTheContext) {
  FailNextBufferAllocations(1);
  ReportCapture capture;
  OpenGLContext& context = NewContext();
  FailNextBufferAllocations(0);
  EXPECT_EQ(context.kind, OPENGL_CONTEXT_INVALID);
  EXPECT_TRUE(capture.HasReport("CreateGLEWContext() - Can't allocate memory for GLEW context."));
  EXPECT_EQ(wglGetCurrentContext(), nullptr);
  OpenGLContext& next = NewContext();
  EXPECT_EQ(next.kind, OPENGL_CONTEXT_SCREEN) << "the failed context kept a slot";
}
