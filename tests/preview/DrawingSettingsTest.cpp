// The drawing settings: vendor classification, the default setting, the flag and frame buffer
// rules over capability tables, the fixed formats of the Microsoft renderer, and the whole
// characterisation on this machine's driver with its log blocks.
#include <gtest/gtest.h>

#include <string>

#include "OpenGLTestWindow.h"
#include "TestSupport.h"
#include "preview/OpenGLContext.h"
#include "preview/OpenGLSettings.h"

namespace {

struct VendorCase {
  const char* text;
  int vendor;
};

class VendorTest : public ::testing::TestWithParam<VendorCase> {};

TEST_P(VendorTest, ClassifiesByUpperCasedPrefix) {
  EXPECT_EQ(ClassifyOpenGLVendor(GetParam().text), GetParam().vendor) << (GetParam().text ? GetParam().text : "null");
}

INSTANTIATE_TEST_SUITE_P(
    Vendors, VendorTest,
    ::testing::Values(VendorCase{"ATI Technologies Inc.", VENDOR_ATI}, VendorCase{"NVIDIA Corporation", VENDOR_NVIDIA},
                      VendorCase{"nvidia corporation", VENDOR_NVIDIA}, VendorCase{"Intel Corporation", VENDOR_INTEL},
                      VendorCase{"Intel", VENDOR_INTEL}, VendorCase{"Microsoft Corporation", VENDOR_MICROSOFT},
                      VendorCase{"Mesa Project", VENDOR_MESA}, VendorCase{"Mesa", VENDOR_MESA},
                      VendorCase{"VMware, Inc.", VENDOR_VMWARE}, VendorCase{"ASUS Graphics", VENDOR_ASUS},
                      VendorCase{"ATIX Labs", VENDOR_OTHER}, VendorCase{"Mesa/X.org", VENDOR_OTHER},
                      VendorCase{"VMware Inc.", VENDOR_OTHER}, VendorCase{"Apple", VENDOR_OTHER},
                      VendorCase{"", VENDOR_OTHER}, VendorCase{nullptr, VENDOR_UNKNOWN}));

struct DefaultCase {
  bool accelerated;
  bool openGL20;
  const char* vendor;
  const char* renderer;
  int setting;
};

class DefaultSettingTest : public ::testing::TestWithParam<DefaultCase> {};

TEST_P(DefaultSettingTest, FollowsAccelerationVersionAndVendor) {
  const DefaultCase& c = GetParam();
  int setting = DefaultOpenGLSetting(c.accelerated, c.openGL20, c.vendor, c.renderer);
  EXPECT_EQ(setting, c.setting) << c.vendor << " / " << c.renderer;
  EXPECT_GE(setting, OPTIMIZE_FOR_QUALITY);
  EXPECT_LE(setting, OPTIMIZE_NONE);
}

INSTANTIATE_TEST_SUITE_P(
    Machines, DefaultSettingTest,
    ::testing::Values(DefaultCase{false, true, "NVIDIA Corporation", "GeForce GTX 1080", OPTIMIZE_NONE},
                      DefaultCase{false, false, "Microsoft Corporation", "GDI Generic", OPTIMIZE_NONE},
                      DefaultCase{true, true, "Mesa", "llvmpipe (LLVM 15.0.6, 256 bits)", OPTIMIZE_FOR_QUALITY},
                      DefaultCase{true, false, "Mesa", "llvmpipe", OPTIMIZE_FOR_COMPATIBILITY},
                      DefaultCase{true, true, "ATI Technologies Inc.", "Radeon HD 5700", OPTIMIZE_FOR_QUALITY},
                      DefaultCase{true, true, "ATI Technologies Inc.", "RADEON X1950 PRO", OPTIMIZE_FOR_QUALITY},
                      DefaultCase{true, true, "ATI Technologies Inc.", "1950 Series", OPTIMIZE_FOR_QUALITY},
                      DefaultCase{true, true, "ATI Technologies Inc.", "FireGL V3100", OPTIMIZE_FOR_COMPATIBILITY},
                      DefaultCase{true, false, "ATI Technologies Inc.", "Radeon 9200", OPTIMIZE_FOR_COMPATIBILITY},
                      DefaultCase{true, true, "NVIDIA Corporation", "GeForce 8600 GT/PCI/SSE2", OPTIMIZE_FOR_SPEED},
                      DefaultCase{true, true, "NVIDIA Corporation", "GeForce 8600 GT/PCIe/SSE2", OPTIMIZE_FOR_QUALITY},
                      DefaultCase{true, false, "NVIDIA Corporation", "GeForce4 MX", OPTIMIZE_FOR_COMPATIBILITY},
                      DefaultCase{true, true, "Intel", "Mesa Intel(R) UHD Graphics 620", OPTIMIZE_FOR_QUALITY},
                      DefaultCase{true, true, nullptr, nullptr, OPTIMIZE_FOR_QUALITY},
                      DefaultCase{true, false, nullptr, nullptr, OPTIMIZE_FOR_COMPATIBILITY}));

OpenGLCapabilities Capable() {
  OpenGLCapabilities caps;
  caps.accelerated = true;
  caps.vendor = VENDOR_NVIDIA;
  caps.gl14 = caps.gl15 = caps.gl20 = caps.gl21 = caps.gl30 = caps.gl31 = caps.gl32 = true;
  caps.vertexBufferObject = caps.pixelBufferObject = caps.textureNonPowerOfTwo = true;
  caps.framebufferObject = caps.textureMultisample = true;
  return caps;
}

class SettingFlagsTest : public ::testing::TestWithParam<int> {};

TEST_P(SettingFlagsTest, CompatibilityAndSoftwareSettingsDisableAdvancedPathsOnCapableHardware) {
  int setting = GetParam();
  bool advanced = setting == OPTIMIZE_FOR_QUALITY || setting == OPTIMIZE_FOR_SPEED;
  OpenGLDrawingFlags flags;
  DecideDrawingFlags(Capable(), setting, &flags);
  DecideFBOSupport(Capable(), setting, 8, &flags);
  EXPECT_FALSE(flags.UseOffscreenBitmap);
  EXPECT_EQ(flags.UseShaderProgram, advanced);
  EXPECT_EQ(flags.UseVertexBufferObjects, advanced);
  EXPECT_EQ(flags.UsePixelBufferObjects, advanced);
  EXPECT_EQ(flags.UseMipMappedTextures, advanced);
  EXPECT_EQ(flags.UseFrameBufferObjects, advanced);
  EXPECT_EQ(flags.MustUsePowerOfTwoSizedTextures, !advanced);
  EXPECT_EQ(flags.multisampleMode, setting == OPTIMIZE_FOR_QUALITY ? MULTISAMPLE_TEXTURE : MULTISAMPLE_NONE);
  EXPECT_EQ(flags.maximumSamples, setting == OPTIMIZE_FOR_QUALITY ? 8 : 0);
}

INSTANTIATE_TEST_SUITE_P(Settings, SettingFlagsTest,
                         ::testing::Values(OPTIMIZE_FOR_QUALITY, OPTIMIZE_FOR_SPEED, OPTIMIZE_FOR_COMPATIBILITY,
                                           OPTIMIZE_NONE));

TEST(DrawingFlagsTest, SoftwareFormatDrawsOffscreenWithPowerOfTwoTexturesAndNoShaders) {
  OpenGLCapabilities caps = Capable();
  caps.accelerated = false;
  OpenGLDrawingFlags flags;
  DecideDrawingFlags(caps, OPTIMIZE_FOR_QUALITY, &flags);
  DecideFBOSupport(caps, OPTIMIZE_FOR_QUALITY, 8, &flags);
  EXPECT_TRUE(flags.UseOffscreenBitmap);
  EXPECT_FALSE(flags.UseShaderProgram);
  EXPECT_FALSE(flags.UseVertexBufferObjects);
  EXPECT_FALSE(flags.UseMipMappedTextures);
  EXPECT_FALSE(flags.UseFrameBufferObjects);
  EXPECT_TRUE(flags.MustUsePowerOfTwoSizedTextures);
  EXPECT_EQ(flags.maximumSamples, 0);
}

TEST(DrawingFlagsTest, BufferObjectsFollowVersionOrExtension) {
  OpenGLCapabilities caps;
  caps.accelerated = true;
  caps.gl14 = true;
  OpenGLDrawingFlags flags;
  DecideDrawingFlags(caps, OPTIMIZE_FOR_QUALITY, &flags);
  EXPECT_FALSE(flags.UseVertexBufferObjects);
  caps.vertexBufferObject = true;
  DecideDrawingFlags(caps, OPTIMIZE_FOR_QUALITY, &flags);
  EXPECT_TRUE(flags.UseVertexBufferObjects);
  EXPECT_FALSE(flags.UsePixelBufferObjects);
  caps.gl15 = caps.gl20 = true;
  caps.vertexBufferObject = false;
  DecideDrawingFlags(caps, OPTIMIZE_FOR_QUALITY, &flags);
  EXPECT_TRUE(flags.UseVertexBufferObjects);
  EXPECT_FALSE(flags.UsePixelBufferObjects);
  caps.pixelBufferObject = true;
  DecideDrawingFlags(caps, OPTIMIZE_FOR_QUALITY, &flags);
  EXPECT_TRUE(flags.UsePixelBufferObjects);
  caps.pixelBufferObject = false;
  caps.gl21 = true;
  DecideDrawingFlags(caps, OPTIMIZE_FOR_QUALITY, &flags);
  EXPECT_TRUE(flags.UsePixelBufferObjects);
  EXPECT_FALSE(flags.UseMipMappedTextures) << "mipmaps need OpenGL 3.0 or GL_ARB_framebuffer_object";
}

TEST(DrawingFlagsTest, PowerOfTwoTexturesByVersionVendorAndExtension) {
  OpenGLCapabilities caps;
  caps.accelerated = true;
  EXPECT_TRUE(MustUsePowerOfTwoTextures(caps, OPTIMIZE_FOR_QUALITY)) << "below OpenGL 1.4";
  caps.gl14 = true;
  EXPECT_TRUE(MustUsePowerOfTwoTextures(caps, OPTIMIZE_FOR_QUALITY));
  caps.textureNonPowerOfTwo = true;
  EXPECT_FALSE(MustUsePowerOfTwoTextures(caps, OPTIMIZE_FOR_QUALITY));
  caps.gl15 = caps.gl20 = true;
  caps.textureNonPowerOfTwo = false;
  caps.vendor = VENDOR_ATI;
  EXPECT_FALSE(MustUsePowerOfTwoTextures(caps, OPTIMIZE_FOR_SPEED));
  caps.vendor = VENDOR_NVIDIA;
  EXPECT_TRUE(MustUsePowerOfTwoTextures(caps, OPTIMIZE_FOR_SPEED));
  caps.textureNonPowerOfTwo = true;
  EXPECT_FALSE(MustUsePowerOfTwoTextures(caps, OPTIMIZE_FOR_SPEED));
  EXPECT_TRUE(MustUsePowerOfTwoTextures(caps, OPTIMIZE_FOR_COMPATIBILITY));
  EXPECT_TRUE(MustUsePowerOfTwoTextures(caps, OPTIMIZE_NONE));
}

TEST(FrameBufferSupportTest, ModeFollowsVersionExtensionsAndSamples) {
  OpenGLCapabilities caps;
  caps.accelerated = true;
  OpenGLDrawingFlags flags;
  DecideFBOSupport(caps, OPTIMIZE_FOR_QUALITY, 4, &flags);
  EXPECT_FALSE(flags.UseFrameBufferObjects) << "OpenGL 1.x without extensions";
  caps.framebufferObject = true;
  DecideFBOSupport(caps, OPTIMIZE_FOR_QUALITY, 4, &flags);
  EXPECT_TRUE(flags.UseFrameBufferObjects);
  EXPECT_EQ(flags.multisampleMode, MULTISAMPLE_NONE) << "no GL_MAX_SAMPLES without 3.0 or texture multisample";
  caps.gl30 = true;
  DecideFBOSupport(caps, OPTIMIZE_FOR_QUALITY, 4, &flags);
  EXPECT_EQ(flags.multisampleMode, MULTISAMPLE_RENDERBUFFER);
  EXPECT_EQ(flags.maximumSamples, 4);
  DecideFBOSupport(caps, OPTIMIZE_FOR_QUALITY, 1, &flags);
  EXPECT_EQ(flags.multisampleMode, MULTISAMPLE_NONE);
  EXPECT_EQ(flags.maximumSamples, 0);
  caps.gl31 = caps.textureMultisample = true;
  DecideFBOSupport(caps, OPTIMIZE_FOR_QUALITY, 4, &flags);
  EXPECT_EQ(flags.multisampleMode, MULTISAMPLE_TEXTURE);
  DecideFBOSupport(caps, OPTIMIZE_FOR_SPEED, 4, &flags);
  EXPECT_TRUE(flags.UseFrameBufferObjects);
  EXPECT_EQ(flags.multisampleMode, MULTISAMPLE_NONE);
  EXPECT_EQ(flags.maximumSamples, 0);
}

TEST(TextureFormatTest, MicrosoftRendererGetsEightBitFormatsForAllDepths) {
  TextureFormat format8, format16, format32;
  ASSERT_TRUE(FixedTextureFormatsForVendor(VENDOR_MICROSOFT, &format8, &format16, &format32));
  for (const TextureFormat& format : {format8, format16, format32}) {
    EXPECT_EQ(format.internalFormat, GL_RGBA8);
    EXPECT_EQ(format.bytesPerPixel, 4u);
    EXPECT_EQ(format.dataType, GLenum(GL_UNSIGNED_BYTE));
  }
  for (int vendor = VENDOR_UNKNOWN; vendor <= VENDOR_OTHER; ++vendor) {
    if (vendor == VENDOR_MICROSOFT) continue;
    TextureFormat untouched{1, 2, 3};
    EXPECT_FALSE(FixedTextureFormatsForVendor(vendor, &untouched, &untouched, &untouched)) << vendor;
    EXPECT_EQ(untouched.internalFormat, 1);
  }
}

TEST(TextureFormatTest, PreviewColourFormatIsSixteenBitOnlyWhenAcceleratedAtQualityOrSpeed) {
  OpenGLDrawingFlags saved = gOpenGLDrawing;
  int savedSetting = gOpenGLSettings.m_OpenGLDrawingMode;
  gOpenGLDrawing.format8 = TextureFormat{GL_RGBA8, 4, GL_UNSIGNED_BYTE};
  gOpenGLDrawing.format16 = TextureFormat{GL_RGBA16F, 8, GL_HALF_FLOAT};
  gOpenGLDrawing.accelerated = true;
  for (int setting : {1, 2, 3, 4}) {
    gOpenGLSettings.m_OpenGLDrawingMode = setting;
    EXPECT_EQ(PreviewColorTextureFormat().internalFormat, setting <= 2 ? GL_RGBA16F : GL_RGBA8) << setting;
  }
  gOpenGLSettings.m_OpenGLDrawingMode = 1;
  gOpenGLDrawing.accelerated = false;
  EXPECT_EQ(PreviewColorTextureFormat().internalFormat, GL_RGBA8);
  gOpenGLDrawing.accelerated = true;
  gOpenGLDrawing.format16 = TextureFormat{GL_RGBA8, 4, GL_UNSIGNED_SHORT};
  EXPECT_EQ(PreviewColorTextureFormat().dataType, GLenum(GL_UNSIGNED_BYTE));
  gOpenGLDrawing = saved;
  gOpenGLSettings.m_OpenGLDrawingMode = savedSetting;
}

TEST(DrawingSettingsNamesTest, NamesSettingsFormatsAndTypes) {
  EXPECT_STREQ(OpenGLSettingName(OPTIMIZE_FOR_QUALITY), "OPTIMIZE_FOR_QUALITY");
  EXPECT_STREQ(OpenGLSettingName(OPTIMIZE_NONE), "OPTIMIZE_NONE");
  EXPECT_STREQ(OpenGLSettingName(0), "Unrecognized Setting");
  EXPECT_STREQ(OpenGLSettingName(5), "Unrecognized Setting");
  EXPECT_STREQ(InternalFormatName(GL_RGBA16F), "GL_RGBA16F");
  EXPECT_STREQ(InternalFormatName(GL_ALPHA4), "GL_ALPHA4");
  EXPECT_STREQ(InternalFormatName(GL_RGBA32F), "GL_RGBA32F");
  EXPECT_STREQ(InternalFormatName(0x1234), "Unrecognized");
  char buffer[32];
  EXPECT_STREQ(DataTypeName(GL_HALF_FLOAT, buffer, sizeof buffer), "GL_HALF_FLOAT");
  EXPECT_STREQ(DataTypeName(GL_4_BYTES, buffer, sizeof buffer), "GL_4_BYTES");
  EXPECT_STREQ(DataTypeName(0x1234, buffer, sizeof buffer), "Unrecognized: 0x1234");
}

// A real context on this machine's driver, the settings in a registry key of the test's own.
class CharacterizationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Key = L"Software\\Vellbrook Software\\HalvornPro\\Tests\\Characterization-" + std::to_wstring(GetCurrentProcessId());
    SetOpenGLSettingsKeyForTests(m_Key.c_str());
    m_Window = CreateOpenGLTestWindow(64, 64);
    ASSERT_NE(m_Window, nullptr);
  }
  void TearDown() override {
    if (m_Context.kind != OPENGL_CONTEXT_INVALID) ReleaseOpenGLContext(&m_Context);
    DestroyWindow(m_Window);
    SetOpenGLSettingsKeyForTests(nullptr);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_Key.c_str());
    gOpenGLSettings = OpenGLSettingsRecord{};
    gOpenGLDrawing = OpenGLDrawingFlags{};
  }
  bool MakeContext(bool forceSoftware) {
    PIXELFORMATDESCRIPTOR descriptor{};
    int number = SelectPixelFormat(m_Window, forceSoftware, &descriptor, &m_Accelerated);
    if (forceSoftware) {
      CreateBitmapContextWithBitmap(&m_Context, m_Window, ClientRectOf(m_Window), number, descriptor);
    } else {
      CreateScreenContext(&m_Context, m_Window, ClientRectOf(m_Window), number, descriptor);
    }
    return m_Context.kind != OPENGL_CONTEXT_INVALID;
  }
  std::wstring m_Key;
  HWND m_Window = nullptr;
  bool m_Accelerated = false;
  OpenGLContext m_Context;
};

// The format really holds the selected depth: a texture of it reports that red size.
GLint StoredRedBits(const TextureFormat& format) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, format.internalFormat, 16, 16, 0, GL_RGBA, format.dataType, nullptr);
  GLint red = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_RED_SIZE, &red);
  glDeleteTextures(1, &texture);
  return red;
}

std::string ReportStartingWith(const ReportCapture& capture, const char* start) {
  for (const CapturedReport& report : capture.Reports()) {
    if (report.text.rfind(start, 0) == 0) return report.text;
  }
  return std::string();
}

}  // namespace

TEST_F(CharacterizationTest, HardwareContextSelectsTexturesOfEachDepthAndLogsThem) {
  ASSERT_TRUE(MakeContext(false));
  ASSERT_TRUE(m_Accelerated);
  gOpenGLSettings.m_OpenGLDrawingMode = OPTIMIZE_FOR_QUALITY;
  ReportCapture capture;
  ASSERT_TRUE(InitializeOpenGLDrawingSettings(true));
  const OpenGLDrawingFlags& d = gOpenGLDrawing;
  EXPECT_EQ(d.format8.bytesPerPixel, 4u);
  EXPECT_EQ(d.format16.bytesPerPixel, 8u) << "llvmpipe stores 16-bit colour";
  EXPECT_EQ(d.format32.bytesPerPixel, 16u) << "llvmpipe stores float colour";
  EXPECT_EQ(StoredRedBits(d.format8), 8);
  EXPECT_EQ(StoredRedBits(d.format16), 16);
  EXPECT_EQ(StoredRedBits(d.format32), 32);
  EXPECT_TRUE(d.UseFrameBufferObjects);
  EXPECT_TRUE(d.UseShaderProgram);
  EXPECT_FALSE(d.UseOffscreenBitmap);
  EXPECT_GT(d.maxTextureWidth, 1024);
  EXPECT_GT(d.maxViewportWidth, 1024);
  EXPECT_STRNE(d.versionNumber, "");
  EXPECT_EQ(d.vendor, ClassifyOpenGLVendor(reinterpret_cast<const char*>(glGetString(GL_VENDOR))));
  EXPECT_TRUE(FailureReports(capture).empty()) << FailureReports(capture).front();

  std::string options = ReportStartingWith(capture, "OpenGL Options settings:\n\n");
  ASSERT_FALSE(options.empty());
  EXPECT_NE(options.find("\tOpenGL Optimization Setting = OPTIMIZE_FOR_QUALITY\n"), std::string::npos);
  EXPECT_NE(options.find("\tUseFrameBufferObjects = true\n"), std::string::npos);
  EXPECT_NE(options.find("\tUseOffscreenBitmap = false\n"), std::string::npos);
  std::string formats = ReportStartingWith(capture, "Selected Internal Texture Formats:\n\n");
  ASSERT_FALSE(formats.empty());
  char line[160];
  char type[32];
  snprintf(line, sizeof line, "\t16 bit color: Format = %s, Pixel Depth = 8 bytes, Data Type = %s\n",
           InternalFormatName(d.format16.internalFormat), DataTypeName(d.format16.dataType, type, sizeof type));
  EXPECT_NE(formats.find(line), std::string::npos) << formats;
  EXPECT_EQ(formats.find("Unrecognized"), std::string::npos) << formats;
}

TEST_F(CharacterizationTest, CompatibilitySettingOnHardwareUsesOnlyBasicPaths) {
  ASSERT_TRUE(MakeContext(false));
  gOpenGLSettings.m_OpenGLDrawingMode = OPTIMIZE_FOR_COMPATIBILITY;
  ASSERT_TRUE(InitializeOpenGLDrawingSettings(true));
  const OpenGLDrawingFlags& d = gOpenGLDrawing;
  EXPECT_FALSE(d.UseShaderProgram);
  EXPECT_FALSE(d.UseVertexBufferObjects);
  EXPECT_FALSE(d.UsePixelBufferObjects);
  EXPECT_FALSE(d.UseFrameBufferObjects);
  EXPECT_FALSE(d.UseMipMappedTextures);
  EXPECT_TRUE(d.MustUsePowerOfTwoSizedTextures);
  EXPECT_EQ(PreviewColorTextureFormat().internalFormat, d.format8.internalFormat);
}

TEST_F(CharacterizationTest, UnsetSettingOnSoftwareFormatBecomesSoftwareAndIsStored) {
  ASSERT_TRUE(MakeContext(true));
  ASSERT_FALSE(m_Accelerated);
  gOpenGLSettings.m_OpenGLDrawingMode = OPTIMIZE_UNSET;
  ASSERT_TRUE(InitializeOpenGLDrawingSettings(false));
  EXPECT_EQ(gOpenGLSettings.m_OpenGLDrawingMode, OPTIMIZE_NONE);
  EXPECT_EQ(gOpenGLSettings.storedDrawingMode, OPTIMIZE_NONE);
  OpenGLSettingsRecord stored;
  ASSERT_TRUE(ReadOpenGLRegistryData(&stored));
  EXPECT_EQ(stored.m_OpenGLDrawingMode, OPTIMIZE_NONE);
  const OpenGLDrawingFlags& d = gOpenGLDrawing;
  EXPECT_TRUE(d.UseOffscreenBitmap);
  EXPECT_FALSE(d.UseShaderProgram);
  EXPECT_TRUE(d.MustUsePowerOfTwoSizedTextures);
  EXPECT_EQ(StoredRedBits(d.format8), 8);
}

TEST_F(CharacterizationTest, UnsetOrUnknownSettingOnHardwareIsCharacterised) {
  ASSERT_TRUE(MakeContext(false));
  for (int stored : {int(OPTIMIZE_UNSET), 9, -1}) {
    gOpenGLSettings.m_OpenGLDrawingMode = stored;
    ASSERT_TRUE(InitializeOpenGLDrawingSettings(true));
    EXPECT_EQ(gOpenGLSettings.m_OpenGLDrawingMode, OPTIMIZE_FOR_QUALITY) << stored << ": OpenGL 4.5 on llvmpipe";
    OpenGLSettingsRecord read;
    ASSERT_TRUE(ReadOpenGLRegistryData(&read));
    EXPECT_EQ(read.m_OpenGLDrawingMode, OPTIMIZE_FOR_QUALITY);
  }
}

TEST_F(CharacterizationTest, DefaultWithoutContextDependsOnlyOnForcedSoftware) {
  ASSERT_EQ(wglGetCurrentContext(), nullptr);
  EXPECT_EQ(ChooseDefaultOpenGLSetting(true, true), OPTIMIZE_NONE);
  EXPECT_EQ(ChooseDefaultOpenGLSetting(true, false), OPTIMIZE_UNSET);
  ASSERT_TRUE(MakeContext(false));
  EXPECT_EQ(ChooseDefaultOpenGLSetting(true, false), OPTIMIZE_FOR_QUALITY);
  EXPECT_EQ(ChooseDefaultOpenGLSetting(false, false), OPTIMIZE_NONE);
  EXPECT_EQ(ChooseDefaultOpenGLSetting(true, true), OPTIMIZE_NONE);
}
