// A real preview context for the texture set and frame buffer tests: a 300 x 200 window with a
// screen context, the drawing settings characterised on this driver, and a 16-bit render target
// of the same size drawn into with the layer's y-down projection. Also the test pictures.
#pragma once
#include <windows.h>

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "OpenGLTestWindow.h"
#include "PITypes.h"
#include "TestSupport.h"
#include "core/BufferManager.h"
#include "core/GammaTables.h"
#include "core/ImageRecord.h"
#include "core/RunResult.h"
#include "core/SampleTables.h"
#include "preview/OpenGLContext.h"
#include "preview/OpenGLSettings.h"
#include "preview/TextureSet.h"

using Rgba16 = std::array<uint16_t, 4>;

// A picture in which every pixel differs from its neighbours in every channel, alpha included.
inline Rgba16 PatternAt(int x, int y) {
  return Rgba16{uint16_t((x * 263 + y * 7 + 300) & 0xFFFF), uint16_t((y * 331 + x * 3 + 1000) & 0xFFFF),
                uint16_t((x * y * 13 + 4000) & 0xFFFF), uint16_t(0xFFFF - ((x + y) % 7) * 2000)};
}

// A second picture, for updates of kept textures.
inline Rgba16 OtherPatternAt(int x, int y) {
  Rgba16 p = PatternAt(y + 17, x + 5);
  return Rgba16{uint16_t(65535 - p[0]), p[2], p[1], uint16_t(0xFFFF - (x % 3) * 1000)};
}

// Smooth in x and y, so that filtered drawing can be predicted.
inline Rgba16 GradientAt(int x, int y) {
  return Rgba16{uint16_t(x * 400), uint16_t(y * 600), uint16_t(20000 + x * 50 + y * 50), 0xFFFF};
}

using PictureFunction = Rgba16 (*)(int x, int y);

// Writes the picture into the record in its own sample format (its rectangle's coordinates).
inline void FillRecord(ImageRecord* image, PictureFunction picture) {
  for (int y = image->rectangle.top; y < image->rectangle.bottom; ++y) {
    for (int x = image->rectangle.left; x < image->rectangle.right; ++x) {
      Rgba16 p = picture(x, y);
      uint8_t* pixel = image->Pixel(x, y);
      switch (image->pixelType) {
        case GL_UNSIGNED_BYTE:
          pixel[0] = uint8_t(p[2] >> 8);  // blue, green, red, alpha
          pixel[1] = uint8_t(p[1] >> 8);
          pixel[2] = uint8_t(p[0] >> 8);
          pixel[3] = uint8_t(p[3] >> 8);
          break;
        case GL_UNSIGNED_SHORT:
          for (int s = 0; s < 4; ++s) reinterpret_cast<uint16_t*>(pixel)[s] = p[s];
          break;
        case GL_FLOAT:
          for (int s = 0; s < 4; ++s) reinterpret_cast<float*>(pixel)[s] = float(p[s] / 65535.0);
          break;
        case GL_HALF_FLOAT:
          for (int s = 0; s < 4; ++s) reinterpret_cast<uint16_t*>(pixel)[s] = FloatToHalf(float(p[s] / 65535.0));
          break;
      }
    }
  }
}

// What the record holds at (x, y) as red, green, blue, alpha on a 16-bit scale.
inline Rgba16 StoredAt(const ImageRecord& image, int x, int y) {
  const uint8_t* pixel = image.Pixel(x, y);
  Rgba16 value{};
  for (int s = 0; s < 4; ++s) {
    switch (image.pixelType) {
      case GL_UNSIGNED_BYTE:
        value[s] = uint16_t(pixel[s == 3 ? 3 : 2 - s] * 257);
        break;
      case GL_UNSIGNED_SHORT:
        value[s] = reinterpret_cast<const uint16_t*>(pixel)[s];
        break;
      case GL_FLOAT:
        value[s] = uint16_t(std::lround(reinterpret_cast<const float*>(pixel)[s] * 65535.0));
        break;
      case GL_HALF_FLOAT:
        value[s] = uint16_t(std::lround(HalfToFloat(reinterpret_cast<const uint16_t*>(pixel)[s]) * 65535.0));
        break;
    }
  }
  return value;
}

inline std::string Describe(const Rgba16& p) {
  char text[64];
  snprintf(text, sizeof text, "(%u, %u, %u, %u)", p[0], p[1], p[2], p[3]);
  return text;
}

// What a texture of the preview's format may change in a 16-bit sample: nothing for integer
// samples of 16 bits, one unit in the last place of 11 significant bits for half floats (which is
// what llvmpipe selects for 16-bit colour).
inline int SampleTolerance(uint16_t expected) {
  if (PreviewColorTextureFormat().dataType != GL_HALF_FLOAT || expected == 0) return 0;
  int exponent = 0;
  std::frexp(expected / 65535.0, &exponent);
  return std::max(1, int(std::ceil(std::ldexp(65535.0, exponent - 11))));
}

// Every channel within `units` of the texture format's tolerance of the expected value, and
// `extra` more.
inline bool Matches(const Rgba16& got, const Rgba16& expected, int extra = 0, int units = 1) {
  for (int s = 0; s < 4; ++s) {
    if (std::abs(int(got[s]) - int(expected[s])) > units * SampleTolerance(expected[s]) + extra) return false;
  }
  return true;
}

// Exact placement is checked without the driver's filtering arithmetic: at 1:1 the two filters
// choose the same texels.
inline void UseNearestFilters(TextureSet* set) {
  set->minificationFilter = GL_NEAREST;
  set->magnificationFilter = GL_NEAREST;
}

class PreviewGLFixture : public ::testing::Test {
 protected:
  static constexpr int kWidth = 300;
  static constexpr int kHeight = 200;

  void SetUp() override {
    gResult = &m_Result;
    InitializeBufferManager();
    ASSERT_TRUE(CreateGammaTableMutex());
    m_Key = L"Software\\Vellbrook Software\\HalvornPro\\Tests\\TextureSets-" + std::to_wstring(GetCurrentProcessId());
    SetOpenGLSettingsKeyForTests(m_Key.c_str());
    m_Window = CreateOpenGLTestWindow(kWidth, kHeight);
    ASSERT_NE(m_Window, nullptr);
    PIXELFORMATDESCRIPTOR descriptor{};
    bool accelerated = false;
    int number = SelectPixelFormat(m_Window, false, &descriptor, &accelerated);
    CreateScreenContext(&m_Context, m_Window, ClientRectOf(m_Window), number, descriptor);
    ASSERT_EQ(m_Context.kind, OPENGL_CONTEXT_SCREEN);
    gOpenGLSettings.m_OpenGLDrawingMode = OPTIMIZE_FOR_QUALITY;
    ASSERT_TRUE(InitializeOpenGLDrawingSettings(accelerated));
    ASSERT_TRUE(MakeRenderTarget());
    SetLayerState();
    m_Capture = std::make_unique<ReportCapture>();
  }

  void TearDown() override {
    m_Capture.reset();
    SetMaximumTextureSizeForTests(0);
    if (m_Context.kind != OPENGL_CONTEXT_INVALID) {
      for (TextureSet* set : {&m_Set, &m_OtherSet}) FreeTextureSet(set);
      glBindFramebuffer(GL_FRAMEBUFFER, 0);
      if (m_Target != 0) glDeleteFramebuffers(1, &m_Target);
      if (m_TargetStorage != 0) glDeleteRenderbuffers(1, &m_TargetStorage);
      ReleaseOpenGLContext(&m_Context);
    }
    for (ImageRecord& image : m_Images) ReleaseImage(&image);
    if (m_Window != nullptr) DestroyWindow(m_Window);
    SetOpenGLSettingsKeyForTests(nullptr);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_Key.c_str());
    gOpenGLSettings = OpenGLSettingsRecord{};
    gOpenGLDrawing = OpenGLDrawingFlags{};
    ReleaseGammaTables();
    TerminateBufferManager();
    gResult = nullptr;
  }

  bool MakeRenderTarget() {
    glGenFramebuffers(1, &m_Target);
    glGenRenderbuffers(1, &m_TargetStorage);
    glBindRenderbuffer(GL_RENDERBUFFER, m_TargetStorage);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA16, kWidth, kHeight);
    BindRenderTarget();
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_TargetStorage);
    return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE && glGetError() == GL_NO_ERROR;
  }

  void BindRenderTarget() {
    glBindFramebuffer(GL_FRAMEBUFFER, m_Target);
    SetGLSize(RECT{0, 0, kWidth, kHeight});
  }

  // As the layer draws: textured, culled, no blending, white.
  void SetLayerState() {
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glDisable(GL_DITHER);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  }

  void ClearTarget(float red = 0.1f, float green = 0.2f, float blue = 0.3f, float alpha = 1.0f) {
    glClearColor(red, green, blue, alpha);
    glClear(GL_COLOR_BUFFER_BIT);
  }

  static Rgba16 ClearValue(float red = 0.1f, float green = 0.2f, float blue = 0.3f, float alpha = 1.0f) {
    return Rgba16{uint16_t(std::lround(red * 65535.0)), uint16_t(std::lround(green * 65535.0)),
                  uint16_t(std::lround(blue * 65535.0)), uint16_t(std::lround(alpha * 65535.0))};
  }

  // The bound read framebuffer, rows top-down as the layer's coordinates count them.
  void ReadTarget() {
    std::vector<uint16_t> bottomUp(size_t(kWidth) * kHeight * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_SHORT, bottomUp.data());
    m_Read.resize(bottomUp.size());
    for (int y = 0; y < kHeight; ++y) {
      std::copy_n(&bottomUp[size_t(kHeight - 1 - y) * kWidth * 4], kWidth * 4, &m_Read[size_t(y) * kWidth * 4]);
    }
  }
  Rgba16 ReadAt(int x, int y) const {
    const uint16_t* p = &m_Read[(size_t(y) * kWidth + x) * 4];
    return Rgba16{p[0], p[1], p[2], p[3]};
  }
  ::testing::AssertionResult PixelIs(int x, int y, const Rgba16& expected, int extra = 0) const {
    if (Matches(ReadAt(x, y), expected, extra)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel " << x << ", " << y << " is " << Describe(ReadAt(x, y)) << " instead of "
                                         << Describe(expected);
  }

  // Fills the bound framebuffer with a picture, without any texture set.
  void PaintTarget(PictureFunction picture) {
    std::vector<uint16_t> bottomUp(size_t(kWidth) * kHeight * 4);
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        Rgba16 p = picture(x, y);
        std::copy(p.begin(), p.end(), &bottomUp[(size_t(kHeight - 1 - y) * kWidth + x) * 4]);
      }
    }
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_TEXTURE_2D);
    glWindowPos2i(0, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glDrawPixels(kWidth, kHeight, GL_RGBA, GL_UNSIGNED_SHORT, bottomUp.data());
    glPopAttrib();
  }

  ImageRecord& MakeImage(const ImageRect& rectangle, int32_t mode, PictureFunction picture) {
    m_Images.emplace_back();
    ImageRecord& image = m_Images.back();
    EXPECT_TRUE(AllocateImage(&image, rectangle, rectangle, mode, nullptr, 1.0, false, false));
    if (image.pixels.block != nullptr) FillRecord(&image, picture);
    return image;
  }

  // Texels of a tile's texture, rows as the texture stores them.
  std::vector<uint16_t> TextureTexels(const SubImage& tile) {
    std::vector<uint16_t> texels(size_t(tile.textureWidth) * tile.textureHeight * 4);
    glBindTexture(GL_TEXTURE_2D, tile.texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_SHORT, texels.data());
    return texels;
  }

  std::vector<std::string> Failures() const { return FailureReports(*m_Capture); }

  int16_t m_Result = 0;
  std::wstring m_Key;
  HWND m_Window = nullptr;
  OpenGLContext m_Context;
  GLuint m_Target = 0, m_TargetStorage = 0;
  std::vector<uint16_t> m_Read;
  std::deque<ImageRecord> m_Images;  // references stay valid as images are added
  TextureSet m_Set, m_OtherSet;
  std::unique_ptr<ReportCapture> m_Capture;
};
