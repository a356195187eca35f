// Pixel format choice on a real window: hardware when allowed, the generic software format when
// forced, and the classification of formats by their flags.
#include <gtest/gtest.h>

#include "OpenGLTestWindow.h"
#include "TestSupport.h"
#include "preview/OpenGLContext.h"

namespace {

class PixelFormatTest : public ::testing::Test {
 protected:
  void SetUp() override { m_Window = CreateOpenGLTestWindow(); ASSERT_NE(m_Window, nullptr); }
  void TearDown() override { DestroyWindow(m_Window); }
  HWND m_Window = nullptr;
};

PIXELFORMATDESCRIPTOR Format(DWORD flags, BYTE colorBits = 32, BYTE alphaBits = 8, BYTE type = PFD_TYPE_RGBA) {
  PIXELFORMATDESCRIPTOR format{};
  format.nSize = sizeof format;
  format.dwFlags = flags;
  format.iPixelType = type;
  format.cColorBits = colorBits;
  format.cAlphaBits = alphaBits;
  return format;
}

}  // namespace

TEST_F(PixelFormatTest, WindowGetsDoubleBufferedHardwareFormat) {
  ReportCapture capture;
  PIXELFORMATDESCRIPTOR descriptor{};
  bool accelerated = false;
  int number = SelectPixelFormat(m_Window, false, &descriptor, &accelerated);
  ASSERT_GT(number, 0);
  EXPECT_TRUE(accelerated);
  EXPECT_EQ(descriptor.dwFlags & (PFD_GENERIC_FORMAT | PFD_GENERIC_ACCELERATED), 0u);
  EXPECT_NE(descriptor.dwFlags & PFD_DOUBLEBUFFER, 0u);
  EXPECT_NE(descriptor.dwFlags & PFD_DRAW_TO_WINDOW, 0u);
  EXPECT_EQ(descriptor.cColorBits, 32);
  EXPECT_GT(descriptor.cAlphaBits, 0);
  PIXELFORMATDESCRIPTOR described{};
  HDC deviceContext = GetDC(m_Window);
  ASSERT_NE(DescribePixelFormat(deviceContext, number, sizeof described, &described), 0);
  ReleaseDC(m_Window, deviceContext);
  EXPECT_EQ(described.dwFlags, descriptor.dwFlags);
  char expected[96];
  snprintf(expected, sizeof expected, "Selected pixel format = %d, GPU Acceleration = Yes.\n\n", number);
  EXPECT_TRUE(capture.HasReport("Getting number of pixel formats.\n\n"));
  EXPECT_TRUE(capture.HasReport(expected));
  EXPECT_TRUE(FailureReports(capture).empty());
}

TEST_F(PixelFormatTest, ForcedSoftwareGetsGenericBitmapFormat) {
  ReportCapture capture;
  PIXELFORMATDESCRIPTOR descriptor{};
  bool accelerated = true;
  int number = SelectPixelFormat(m_Window, true, &descriptor, &accelerated);
  ASSERT_GT(number, 0);
  EXPECT_FALSE(accelerated);
  EXPECT_NE(descriptor.dwFlags & PFD_GENERIC_FORMAT, 0u);
  EXPECT_EQ(descriptor.dwFlags & PFD_GENERIC_ACCELERATED, 0u);
  EXPECT_NE(descriptor.dwFlags & PFD_DRAW_TO_BITMAP, 0u);
  EXPECT_NE(descriptor.dwFlags & PFD_SUPPORT_GDI, 0u);
  EXPECT_EQ(descriptor.dwFlags & PFD_DOUBLEBUFFER, 0u);
  EXPECT_EQ(descriptor.cColorBits, 32);
  char expected[96];
  snprintf(expected, sizeof expected, "Selected pixel format = %d, GPU Acceleration = No.\n\n", number);
  EXPECT_TRUE(capture.HasReport(expected));
}

TEST_F(PixelFormatTest, DestroyedWindowHasNoFormats) {
  HWND gone = CreateOpenGLTestWindow();
  DestroyWindow(gone);
  ReportCapture capture;
  PIXELFORMATDESCRIPTOR descriptor{};
  bool accelerated = true;
  EXPECT_EQ(SelectPixelFormat(gone, false, &descriptor, &accelerated), 0);
  EXPECT_TRUE(capture.HasReport("Can't obtain the number of pixel formats available."));
}

TEST_F(PixelFormatTest, MemoryContextGetsSoftwareFormatOfItsOwnNumbering) {
  PIXELFORMATDESCRIPTOR descriptor{};
  bool accelerated = true;
  int number = SelectPixelFormat(m_Window, true, &descriptor, &accelerated);
  ASSERT_GT(number, 0);
  HDC windowContext = GetDC(m_Window);
  HDC memoryContext = CreateCompatibleDC(windowContext);
  ReleaseDC(m_Window, windowContext);
  int matched = MatchBitmapPixelFormat(memoryContext, number, descriptor);
  PIXELFORMATDESCRIPTOR described{};
  ASSERT_NE(DescribePixelFormat(memoryContext, matched, sizeof described, &described), 0);
  EXPECT_TRUE(IsSoftwarePixelFormat(described));
  // A number past the memory DC's list is replaced, not passed on to SetPixelFormat.
  int count = DescribePixelFormat(memoryContext, 1, sizeof described, nullptr);
  int replaced = MatchBitmapPixelFormat(memoryContext, count + 1, descriptor);
  EXPECT_GE(replaced, 1);
  EXPECT_LE(replaced, count);
  DeleteDC(memoryContext);
}

struct FormatCase {
  const char* name;
  PIXELFORMATDESCRIPTOR format;
  bool hardware;
  bool software;
};

class PixelFormatClassTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(PixelFormatClassTest, ClassifiesByFlags) {
  EXPECT_EQ(IsHardwarePixelFormat(GetParam().format), GetParam().hardware) << GetParam().name;
  EXPECT_EQ(IsSoftwarePixelFormat(GetParam().format), GetParam().software) << GetParam().name;
}

constexpr DWORD kHardware = PFD_SUPPORT_OPENGL | PFD_DRAW_TO_WINDOW | PFD_DOUBLEBUFFER;
constexpr DWORD kSoftware = PFD_SUPPORT_OPENGL | PFD_GENERIC_FORMAT | PFD_DRAW_TO_BITMAP | PFD_SUPPORT_GDI;

INSTANTIATE_TEST_SUITE_P(
    Flags, PixelFormatClassTest,
    ::testing::Values(FormatCase{"hardware", Format(kHardware), true, false},
                      FormatCase{"software", Format(kSoftware), false, true},
                      FormatCase{"hardware single-buffered", Format(kHardware & ~PFD_DOUBLEBUFFER), false, false},
                      FormatCase{"hardware bitmap only", Format(PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER), false, false},
                      FormatCase{"generic accelerated", Format(kHardware | PFD_GENERIC_ACCELERATED), false, false},
                      FormatCase{"generic accelerated software", Format(kSoftware | PFD_GENERIC_ACCELERATED), false, false},
                      FormatCase{"software double-buffered", Format(kSoftware | PFD_DOUBLEBUFFER), false, false},
                      FormatCase{"software without GDI", Format(kSoftware & ~PFD_SUPPORT_GDI), false, false},
                      FormatCase{"needs palette", Format(kHardware | PFD_NEED_PALETTE), false, false},
                      FormatCase{"needs system palette", Format(kSoftware | PFD_NEED_SYSTEM_PALETTE), false, false},
                      FormatCase{"no OpenGL", Format(kHardware & ~PFD_SUPPORT_OPENGL), false, false},
                      FormatCase{"24-bit colour", Format(kHardware, 24, 8), false, false},
                      FormatCase{"no alpha", Format(kSoftware, 32, 0), false, false},
                      FormatCase{"colour index", Format(kHardware, 32, 8, PFD_TYPE_COLORINDEX), false, false}),
    [](const ::testing::TestParamInfo<FormatCase>& info) {
      std::string name = info.param.name;
      for (char& c : name) if (!isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });
