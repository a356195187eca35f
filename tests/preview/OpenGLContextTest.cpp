// The three kinds of rendering context and the hidden one: each is created, draws what it is
// told, is released with every handle it made, and fails cleanly with its own message.
#include <gtest/gtest.h>

#include "OpenGLTestWindow.h"
#include "TestSupport.h"
#include "preview/GlewContexts.h"
#include "preview/OpenGLContext.h"
#include "preview/ScreenBitmaps.h"

namespace {

class OpenGLContextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Window = CreateOpenGLTestWindow(64, 48);
    ASSERT_NE(m_Window, nullptr);
    m_GdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  }
  void TearDown() override {
    if (m_Context.kind != OPENGL_CONTEXT_INVALID) ReleaseOpenGLContext(&m_Context);
    FreeContextBitmap(&gBackgroundBitmap);
    DestroyWindow(m_Window);
  }
  int Select(bool forceSoftware) {
    bool accelerated = false;
    int number = SelectPixelFormat(m_Window, forceSoftware, &m_Descriptor, &accelerated);
    EXPECT_EQ(accelerated, !forceSoftware);
    return number;
  }
  // Windows counts the process's GDI objects; Wine does not (it answers 0), where the handle
  // checks of each test carry the weight.
  void ExpectGdiObjectsAsBefore() {
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), m_GdiObjects);
  }

  HWND m_Window = nullptr;
  DWORD m_GdiObjects = 0;
  PIXELFORMATDESCRIPTOR m_Descriptor{};
  OpenGLContext m_Context;
};

uint32_t BitmapPixel(const ContextBitmap& bitmap, int x, int row) {
  return static_cast<const uint32_t*>(bitmap.pixels)[size_t(row) * size_t(bitmap.width) + size_t(x)] & 0x00FFFFFFu;
}

}  // namespace

TEST_F(OpenGLContextTest, ScreenContextDrawsAndReleases) {
  int number = Select(false);
  ASSERT_GT(number, 0);
  ReportCapture capture;
  CreateScreenContext(&m_Context, m_Window, ClientRectOf(m_Window), number, m_Descriptor);
  ASSERT_EQ(m_Context.kind, OPENGL_CONTEXT_SCREEN);
  EXPECT_EQ(m_Context.window, m_Window);
  EXPECT_EQ(wglGetCurrentContext(), m_Context.renderingContext);
  EXPECT_NE(FindGlewContextSlot(m_Context.renderingContext), nullptr);
  ClearToColor(1.0f, 0.0f, 0.0f);
  EXPECT_EQ(ReadGLPixel(10, 10), 0xFF0000FFu);
  EXPECT_TRUE(FailureReports(capture).empty());
  EXPECT_TRUE(capture.HasReportContaining("OpenGL Implementation for Rendering Context 0x"));

  HGLRC renderingContext = m_Context.renderingContext;
  ReleaseOpenGLContext(&m_Context);
  EXPECT_EQ(m_Context.kind, OPENGL_CONTEXT_INVALID);
  EXPECT_EQ(m_Context.window, nullptr);
  EXPECT_EQ(m_Context.renderingContext, nullptr);
  EXPECT_EQ(wglGetCurrentContext(), nullptr);
  EXPECT_EQ(FindGlewContextSlot(renderingContext), nullptr);
  EXPECT_TRUE(FailureReports(capture).empty());
  ExpectGdiObjectsAsBefore();
}

TEST_F(OpenGLContextTest, ProjectionPutsOriginTopLeft) {
  int number = Select(false);
  ASSERT_GT(number, 0);
  CreateScreenContext(&m_Context, m_Window, ClientRectOf(m_Window), number, m_Descriptor);
  ASSERT_EQ(m_Context.kind, OPENGL_CONTEXT_SCREEN);
  ClearToColor(0.0f, 0.0f, 0.0f);
  glColor3f(0.0f, 0.0f, 1.0f);
  glRecti(0, 0, 8, 4);  // the top-left corner in window pixels, y downwards
  glFinish();
  int height = ClientRectOf(m_Window).bottom;
  EXPECT_EQ(ReadGLPixel(2, height - 2), 0x0000FFFFu);  // framebuffer rows count from the bottom
  EXPECT_EQ(ReadGLPixel(2, 2), 0x000000FFu);
  EXPECT_EQ(ReadGLPixel(12, height - 2), 0x000000FFu);
}

TEST_F(OpenGLContextTest, BitmapContextDrawsIntoBackgroundBitmap) {
  int number = Select(true);
  ASSERT_GT(number, 0);
  ReportCapture capture;
  CreateBitmapContext(&m_Context, m_Window, ClientRectOf(m_Window), number, m_Descriptor);
  ASSERT_EQ(m_Context.kind, OPENGL_CONTEXT_BITMAP);
  ASSERT_NE(gBackgroundBitmap.bitmap, nullptr);
  EXPECT_EQ(gBackgroundBitmap.width, 64);
  EXPECT_EQ(gBackgroundBitmap.height, 48);
  EXPECT_NE(gSavedDCState, 0);
  EXPECT_EQ(GetCurrentObject(m_Context.deviceContext, OBJ_BITMAP), gBackgroundBitmap.bitmap);
  ClearToColor(0.0f, 1.0f, 0.0f);
  GdiFlush();
  EXPECT_EQ(BitmapPixel(gBackgroundBitmap, 5, 5), 0x0000FF00u);
  EXPECT_EQ(BitmapPixel(gBackgroundBitmap, 63, 47), 0x0000FF00u);
  EXPECT_TRUE(FailureReports(capture).empty());

  HDC memoryContext = m_Context.deviceContext;
  ReleaseOpenGLContext(&m_Context);
  EXPECT_EQ(m_Context.kind, OPENGL_CONTEXT_INVALID);
  EXPECT_EQ(GetObjectType(memoryContext), 0u);
  EXPECT_EQ(gSavedDCState, 0);
  EXPECT_EQ(GetObjectType(gBackgroundBitmap.bitmap), DWORD(OBJ_BITMAP));  // the preview frees it, not the context
  EXPECT_TRUE(FailureReports(capture).empty());
}

TEST_F(OpenGLContextTest, SecondBitmapContextRemakesBackgroundBitmap) {
  int number = Select(true);
  ASSERT_GT(number, 0);
  CreateBitmapContext(&m_Context, m_Window, ClientRectOf(m_Window), number, m_Descriptor);
  ASSERT_EQ(m_Context.kind, OPENGL_CONTEXT_BITMAP);
  HBITMAP first = gBackgroundBitmap.bitmap;
  OpenGLContext second;
  ReportCapture capture;
  CreateBitmapContext(&second, m_Window, RECT{0, 0, 32, 16}, number, m_Descriptor);
  ASSERT_EQ(second.kind, OPENGL_CONTEXT_BITMAP);
  EXPECT_EQ(gBackgroundBitmap.width, 32);
  EXPECT_EQ(GetObjectType(first), 0u);
  EXPECT_EQ(GetCurrentObject(second.deviceContext, OBJ_BITMAP), gBackgroundBitmap.bitmap);
  ClearToColor(0.0f, 0.0f, 1.0f);
  GdiFlush();
  EXPECT_EQ(BitmapPixel(gBackgroundBitmap, 31, 15), 0x000000FFu);
  EXPECT_TRUE(FailureReports(capture).empty());
  ReleaseOpenGLContext(&second);
}

TEST_F(OpenGLContextTest, BitmapContextWithOwnBitmapDrawsAndFreesIt) {
  int number = Select(true);
  ASSERT_GT(number, 0);
  ReportCapture capture;
  CreateBitmapContextWithBitmap(&m_Context, m_Window, ClientRectOf(m_Window), number, m_Descriptor);
  ASSERT_EQ(m_Context.kind, OPENGL_CONTEXT_BITMAP);
  ASSERT_NE(m_Context.ownBitmap.bitmap, nullptr);
  EXPECT_EQ(gBackgroundBitmap.bitmap, nullptr);
  EXPECT_EQ(gSavedDCState, 0);
  ClearToColor(1.0f, 1.0f, 0.0f);
  GdiFlush();
  EXPECT_EQ(BitmapPixel(m_Context.ownBitmap, 20, 20), 0x00FFFF00u);
  EXPECT_TRUE(FailureReports(capture).empty());

  HBITMAP bitmap = m_Context.ownBitmap.bitmap;
  HDC memoryContext = m_Context.deviceContext;
  ReleaseOpenGLContext(&m_Context);
  EXPECT_EQ(GetObjectType(bitmap), 0u);
  EXPECT_EQ(GetObjectType(memoryContext), 0u);
  EXPECT_EQ(m_Context.ownBitmap.bitmap, nullptr);
  EXPECT_TRUE(FailureReports(capture).empty());
  ExpectGdiObjectsAsBefore();
}

TEST_F(OpenGLContextTest, BadPixelFormatLeavesInvalidContext) {
  int number = Select(false);
  ASSERT_GT(number, 0);
  ReportCapture capture;
  CreateScreenContext(&m_Context, m_Window, ClientRectOf(m_Window), 100000, m_Descriptor);
  EXPECT_EQ(m_Context.kind, OPENGL_CONTEXT_INVALID);
  EXPECT_EQ(m_Context.renderingContext, nullptr);
  EXPECT_TRUE(capture.HasReport("CreateScreenContext():  Could not SetPixelFormat for OpenGL use."));
  EXPECT_EQ(wglGetCurrentContext(), nullptr);
}

TEST_F(OpenGLContextTest, EmptyViewportFailsBitmapKindsWithoutLeaks) {
  int number = Select(true);
  ASSERT_GT(number, 0);
  ReportCapture capture;
  CreateBitmapContext(&m_Context, m_Window, RECT{0, 0, 0, 0}, number, m_Descriptor);
  EXPECT_EQ(m_Context.kind, OPENGL_CONTEXT_INVALID);
  EXPECT_TRUE(capture.HasReport("Failed to create new screen bitmap"));
  EXPECT_EQ(gSavedDCState, 0);
  CreateBitmapContextWithBitmap(&m_Context, m_Window, RECT{0, 0, 0, 0}, number, m_Descriptor);
  EXPECT_EQ(m_Context.kind, OPENGL_CONTEXT_INVALID);
  EXPECT_TRUE(capture.HasReport("CreateBitmapContextWithBitmap() - Failed to create context bitmap."));
  EXPECT_EQ(m_Context.deviceContext, nullptr);
  ExpectGdiObjectsAsBefore();
}

TEST_F(OpenGLContextTest, ReleaseRefusesInvalidAndUnknownKinds) {
  ReportCapture capture;
  OpenGLContext invalid;
  ReleaseOpenGLContext(&invalid);
  EXPECT_TRUE(capture.HasReport("ReleaseOpenGLContext() - Invalid OpenGLContext specified."));
  OpenGLContext unknown;
  unknown.kind = 7;
  ReleaseOpenGLContext(&unknown);
  EXPECT_TRUE(capture.HasReport("ReleaseOpenGLContext() - Unrecognized OpenGLContext type specified, Type = 7."));
  EXPECT_EQ(unknown.kind, 7);
}

TEST_F(OpenGLContextTest, ImplementationLogNamesVersionVendorAndExtensions) {
  int number = Select(false);
  ASSERT_GT(number, 0);
  ReportCapture capture;
  CreateScreenContext(&m_Context, m_Window, ClientRectOf(m_Window), number, m_Descriptor);
  ASSERT_EQ(m_Context.kind, OPENGL_CONTEXT_SCREEN);
  std::string log;
  for (const CapturedReport& report : capture.Reports()) {
    if (report.text.rfind("OpenGL Implementation for Rendering Context", 0) == 0) log = report.text;
  }
  ASSERT_FALSE(log.empty());
  std::string version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  std::string number_ = version.substr(0, version.find(' '));
  EXPECT_NE(log.find("\tOpenGL Version " + number_ + " ("), std::string::npos) << log.substr(0, 300);
  EXPECT_NE(log.find("\tOpenGL Vendor '" + std::string(reinterpret_cast<const char*>(glGetString(GL_VENDOR))) + "'"),
            std::string::npos);
  EXPECT_NE(log.find("\n          GL_ARB_texture_non_power_of_two\n"), std::string::npos);
  EXPECT_NE(log.find("GLEW_VERSION_X_X support is 4.40\n\n"), std::string::npos) << "llvmpipe offers OpenGL 4.5";
}

TEST(HiddenOpenGLContextTest, HardwareAllowedGivesScreenContext) {
  ReportCapture capture;
  OpenGLContext context;
  PIXELFORMATDESCRIPTOR descriptor{};
  bool accelerated = true;
  ASSERT_TRUE(CreateHiddenOpenGLContext(&context, &descriptor, &accelerated));
  EXPECT_TRUE(accelerated);
  EXPECT_EQ(context.kind, OPENGL_CONTEXT_SCREEN);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  EXPECT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), L"VBHideWnd", &windowClass));
  wchar_t className[32] = {};
  GetClassNameW(context.window, className, 32);
  EXPECT_STREQ(className, L"VBHideWnd");
  RECT client = ClientRectOf(context.window);
  EXPECT_EQ(client.right, 16);
  EXPECT_EQ(client.bottom, 16);
  EXPECT_FALSE(IsWindowVisible(context.window));
  ClearToColor(0.0f, 1.0f, 1.0f);
  EXPECT_EQ(ReadGLPixel(8, 8), 0x00FFFFFFu);
  EXPECT_TRUE(capture.HasReport("CreateHiddenWindow()\n\n"));
  EXPECT_TRUE(capture.HasReport("CreateScreenContext()\n\n"));
  EXPECT_TRUE(FailureReports(capture).empty());

  HWND window = context.window;
  EXPECT_TRUE(DestroyHiddenOpenGLContext(&context));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(GetClassInfoExW(GetModuleHandleW(nullptr), L"VBHideWnd", &windowClass)) << "class left registered";
  EXPECT_TRUE(FailureReports(capture).empty());
}

TEST(HiddenOpenGLContextTest, SoftwareGivesBitmapContextOfWindowSize) {
  ReportCapture capture;
  OpenGLContext context;
  PIXELFORMATDESCRIPTOR descriptor{};
  bool accelerated = false;
  ASSERT_TRUE(CreateHiddenOpenGLContext(&context, &descriptor, &accelerated));
  EXPECT_FALSE(accelerated);
  EXPECT_EQ(context.kind, OPENGL_CONTEXT_BITMAP);
  EXPECT_EQ(context.ownBitmap.width, 16);
  EXPECT_EQ(context.ownBitmap.height, 16);
  EXPECT_NE(descriptor.dwFlags & PFD_GENERIC_FORMAT, 0u);
  EXPECT_TRUE(capture.HasReport("CreateBitmapContextWithBitmap()\n\n"));
  ClearToColor(1.0f, 0.0f, 1.0f);
  GdiFlush();
  EXPECT_EQ(static_cast<const uint32_t*>(context.ownBitmap.pixels)[0] & 0xFFFFFFu, 0x00FF00FFu);
  HBITMAP bitmap = context.ownBitmap.bitmap;
  EXPECT_TRUE(DestroyHiddenOpenGLContext(&context));
  EXPECT_EQ(GetObjectType(bitmap), 0u);
  EXPECT_TRUE(FailureReports(capture).empty());
}

TEST(HiddenOpenGLContextTest, TwoHiddenWindowsShareTheClassUntilTheLast) {
  HWND first = CreateHiddenWindow();
  HWND second = CreateHiddenWindow();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  EXPECT_TRUE(DestroyHiddenWindow(first));
  EXPECT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), L"VBHideWnd", &windowClass));
  EXPECT_TRUE(DestroyHiddenWindow(second));
  EXPECT_FALSE(GetClassInfoExW(GetModuleHandleW(nullptr), L"VBHideWnd", &windowClass));
}

TEST(HiddenOpenGLContextTest, InvalidContextIsRefused) {
  ReportCapture capture;
  OpenGLContext context;
  EXPECT_FALSE(DestroyHiddenOpenGLContext(&context));
  EXPECT_TRUE(capture.HasReport("DestroyHiddenOpenGLContext() - An invalid OpenGL context was specified."));
}
