// The shader programs on this machine's driver (llvmpipe), through the GLSL and the ARB entry
// points: detection, the gamma and shape-scaling programs drawn and read back, failures to
// compile or link with their logs, activation rules, and release followed by a second start.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "OpenGLTestWindow.h"
#include "TestSupport.h"
#include "preview/GlewContexts.h"
#include "preview/OpenGLContext.h"
#include "preview/OpenGLSettings.h"
#include "preview/ShaderPrograms.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr int kTexels = 8;  // one texel per 8-pixel column of the window

// A GLEW capability flag pretended for the life of the guard.
class ScopedGlewFlag {
 public:
  ScopedGlewFlag(GLboolean& flag, GLboolean value) : m_Flag(flag), m_Saved(flag) { flag = value; }
  ~ScopedGlewFlag() { m_Flag = m_Saved; }
  ScopedGlewFlag(const ScopedGlewFlag&) = delete;
  ScopedGlewFlag& operator=(const ScopedGlewFlag&) = delete;

 private:
  GLboolean& m_Flag;
  GLboolean m_Saved;
};

struct Rgba {
  int r, g, b, a;
};

Rgba PixelAt(int column) {
  uint32_t pixel = ReadGLPixel(column * (kWidth / kTexels) + 4, kHeight / 2);
  return Rgba{int(pixel >> 24), int(pixel >> 16 & 0xFF), int(pixel >> 8 & 0xFF), int(pixel & 0xFF)};
}

int Level(double value) { return int(std::lround(std::fmin(std::fmax(value, 0.0), 1.0) * 255.0)); }

// A row of texels stretched over the whole window, nearest filtering, so that column i of the
// window shows texel i.
GLuint MakeRowTexture(GLint internalFormat, GLenum type, const void* texels) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, kTexels, 1, 0, GL_RGBA, type, texels);
  return texture;
}

void DrawWindowQuad() {
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_TEXTURE_2D);
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 0.0f);
  glVertex2f(0.0f, 0.0f);
  glTexCoord2f(0.0f, 1.0f);
  glVertex2f(0.0f, float(kHeight));
  glTexCoord2f(1.0f, 1.0f);
  glVertex2f(float(kWidth), float(kHeight));
  glTexCoord2f(1.0f, 0.0f);
  glVertex2f(float(kWidth), 0.0f);
  glEnd();
  glFinish();
}

// Linear test values: dark, mid and bright levels in every channel, alpha varying on its own.
std::vector<uint8_t> GammaTexels() {
  const int levels[kTexels] = {0, 3, 20, 64, 128, 180, 230, 255};
  std::vector<uint8_t> texels;
  for (int i = 0; i < kTexels; ++i) {
    texels.push_back(uint8_t(levels[i]));
    texels.push_back(uint8_t(levels[kTexels - 1 - i]));
    texels.push_back(uint8_t(levels[(i + 3) % kTexels]));
    texels.push_back(uint8_t(255 - 30 * i));
  }
  return texels;
}

class ShaderProgramsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_SavedSetting = gOpenGLSettings.m_OpenGLDrawingMode;
    m_SavedDrawing = gOpenGLDrawing;
    m_Window = CreateOpenGLTestWindow(kWidth, kHeight);
    ASSERT_NE(m_Window, nullptr);
    ASSERT_TRUE(NewContext());
    gOpenGLSettings.m_OpenGLDrawingMode = OPTIMIZE_FOR_QUALITY;
  }
  void TearDown() override {
    if (m_Context.kind != OPENGL_CONTEXT_INVALID) {
      MakeOpenGLContextCurrent(m_Context.deviceContext, m_Context.renderingContext);
      DestroyShaderPrograms();
      ReleaseOpenGLContext(&m_Context);
    } else {
      DestroyShaderPrograms();
    }
    SetDetectedShaderSupport(ShaderSupport{});
    if (m_Window != nullptr) DestroyWindow(m_Window);
    gOpenGLSettings.m_OpenGLDrawingMode = m_SavedSetting;
    gOpenGLDrawing = m_SavedDrawing;
  }
  bool NewContext() {
    PIXELFORMATDESCRIPTOR descriptor{};
    bool accelerated = false;
    int number = SelectPixelFormat(m_Window, false, &descriptor, &accelerated);
    if (number == 0 || !accelerated) return false;
    gOpenGLDrawing.accelerated = accelerated;
    CreateScreenContext(&m_Context, m_Window, ClientRectOf(m_Window), number, descriptor);
    return m_Context.kind == OPENGL_CONTEXT_SCREEN;
  }
  // Detection as a preview start runs it; for the ARB path the driver is taken for one without
  // OpenGL 2.0, so that detection itself chooses the ARB shader objects.
  void DetectPath(int type) {
    if (type == SHADER_TYPE_ARB) {
      ScopedGlewFlag withoutOpenGL20(__GLEW_VERSION_2_0, GL_FALSE);
      DetectShaderSupport();
    } else {
      DetectShaderSupport();
    }
  }
  // Detection, registration and creation as at a preview start.
  void StartShaders(int type) {
    DetectPath(type);
    ASSERT_EQ(DetectedShaderSupport().type, type);
    ASSERT_TRUE(RegisterBuiltInShaderPrograms());
    ASSERT_TRUE(CreateShaderProgram(kGammaShaderProgram));
    ASSERT_TRUE(CreateShaderProgram(kShapeScalingShaderProgram));
  }
  // The program object in use on the path: glUseProgram's or glUseProgramObjectARB's.
  static unsigned CurrentProgram(int type) {
    if (type == SHADER_TYPE_ARB) return glGetHandleARB(GL_PROGRAM_OBJECT_ARB);
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    return unsigned(current);
  }
  static unsigned ProgramObject(const ShaderProgram* variant) {
    return variant->extensionType == SHADER_TYPE_ARB ? variant->arbProgram : variant->glslProgram;
  }
  void ExpectGammaApplied(double exponent) {
    std::vector<uint8_t> texels = GammaTexels();
    for (int i = 0; i < kTexels; ++i) {
      Rgba pixel = PixelAt(i);
      const uint8_t* texel = &texels[size_t(i) * 4];
      EXPECT_NEAR(pixel.r, Level(std::pow(texel[0] / 255.0, exponent)), 1) << "texel " << i;
      EXPECT_NEAR(pixel.g, Level(std::pow(texel[1] / 255.0, exponent)), 1) << "texel " << i;
      EXPECT_NEAR(pixel.b, Level(std::pow(texel[2] / 255.0, exponent)), 1) << "texel " << i;
      EXPECT_NEAR(pixel.a, texel[3], 1) << "alpha is not gamma-corrected, texel " << i;
    }
  }
  void DrawGammaTexels() {
    std::vector<uint8_t> texels = GammaTexels();
    m_Texture = MakeRowTexture(GL_RGBA8, GL_UNSIGNED_BYTE, texels.data());
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    DrawWindowQuad();
    glDeleteTextures(1, &m_Texture);
  }

  // A one-variant test program of the given path, with one fragment stage, registered after the
  // built-in ones; the fixture keeps it alive as long as the registry holds it.
  ShaderProgram* RegisterTestProgram(int name, int type, const char* const* source) {
    m_TestStage = ShaderSourceList{GL_FRAGMENT_SHADER, source, 1, 0};
    int other = type == SHADER_TYPE_ARB ? SHADER_TYPE_GLSL : SHADER_TYPE_ARB;
    for (int i = 0; i < 2; ++i) {
      m_TestTable[i] = ShaderProgram{};
      m_TestTable[i].name = name;
      m_TestTable[i].extensionType = i == 0 ? other : type;
      m_TestTable[i].minimumVersion[0] = 1, m_TestTable[i].minimumVersion[1] = 10, m_TestTable[i].minimumVersion[2] = 59;
      m_TestTable[i].fragmentLists[0] = &m_TestStage;
    }
    EXPECT_TRUE(AddShaderProgram(m_TestTable, 2));
    EXPECT_EQ(SelectedShaderProgram(name), &m_TestTable[1]);
    return &m_TestTable[1];
  }

  HWND m_Window = nullptr;
  OpenGLContext m_Context;
  GLuint m_Texture = 0;
  int32_t m_SavedSetting = 0;
  OpenGLDrawingFlags m_SavedDrawing;
  ShaderSourceList m_TestStage;
  ShaderProgram m_TestTable[2];
};

class ShaderPathTest : public ShaderProgramsTest, public ::testing::WithParamInterface<int> {};

// The number after `label` in a report text.
unsigned NumberAfter(const std::string& text, const std::string& label) {
  size_t at = text.find(label);
  return at == std::string::npos ? 0u : unsigned(std::stoul(text.substr(at + label.size())));
}

// The one failure report that starts with `prefix`, or "".
std::string ReportStartingWith(const ReportCapture& capture, const std::string& prefix) {
  for (const std::string& text : FailureReports(capture)) {
    if (text.compare(0, prefix.size(), prefix) == 0) return text;
  }
  return "";
}

const char* const kUndeclaredNameSource[] = {"void main()\n{\tgl_FragColor = vec4(UndeclaredName);}"};
const char* const kWithoutMainSource[] = {"uniform vec4 Unused;"};
const char* const kWhiteSource[] = {"void main()\n{\tgl_FragColor = vec4(1.0);}"};

const char* PathName(const ::testing::TestParamInfo<int>& info) { return info.param == SHADER_TYPE_ARB ? "ARB" : "GLSL"; }

}  // namespace

TEST_F(ShaderProgramsTest, QualitySettingOnThisDriverGetsGLSLWithItsVersion) {
  ReportCapture capture;
  DetectShaderSupport();
  const ShaderSupport& support = DetectedShaderSupport();
  EXPECT_EQ(support.type, SHADER_TYPE_GLSL);
  EXPECT_EQ(support.flags, kVertexShaderSupport | kFragmentShaderSupport);
  int expected[3] = {};
  ASSERT_TRUE(ParseShadingLanguageVersion(reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION)), expected));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(support.version[i], expected[i]);
  EXPECT_GE(support.version[0], 1);
  EXPECT_TRUE(FailureReports(capture).empty());
}

TEST_F(ShaderProgramsTest, CompatibilitySoftwareAndNoneSettingsGetNoShaders) {
  ReportCapture capture;
  for (int setting : {OPTIMIZE_FOR_COMPATIBILITY, OPTIMIZE_NONE}) {
    gOpenGLSettings.m_OpenGLDrawingMode = setting;
    DetectShaderSupport();
    EXPECT_EQ(DetectedShaderSupport().type, SHADER_TYPE_NONE) << setting;
    EXPECT_EQ(DetectedShaderSupport().flags, 0) << setting;
  }
  gOpenGLSettings.m_OpenGLDrawingMode = OPTIMIZE_FOR_QUALITY;
  gOpenGLDrawing.accelerated = false;
  DetectShaderSupport();
  EXPECT_EQ(DetectedShaderSupport().type, SHADER_TYPE_NONE);
  EXPECT_EQ(DetectedShaderSupport().flags, 0);
  EXPECT_FALSE(RegisterBuiltInShaderPrograms());
  EXPECT_FALSE(CreateShaderProgram(kGammaShaderProgram));
  EXPECT_TRUE(FailureReports(capture).empty());
}

TEST_F(ShaderProgramsTest, WithoutOpenGL20TheARBExtensionsAreChosen) {
  ReportCapture capture;
  {
    ScopedGlewFlag withoutOpenGL20(__GLEW_VERSION_2_0, GL_FALSE);
    DetectShaderSupport();
    EXPECT_EQ(DetectedShaderSupport().type, SHADER_TYPE_ARB);
    EXPECT_EQ(DetectedShaderSupport().flags, kVertexShaderSupport | kFragmentShaderSupport);
    ScopedGlewFlag withoutObjects(__GLEW_ARB_shader_objects, GL_FALSE);
    DetectShaderSupport();
    EXPECT_EQ(DetectedShaderSupport().type, SHADER_TYPE_NONE) << "one of the four ARB extensions missing";
  }
  EXPECT_TRUE(FailureReports(capture).empty());
}

TEST_F(ShaderProgramsTest, ShapeScalingIsWantedOnlyForADistinct16BitFormat) {
  gOpenGLDrawing.format8 = TextureFormat{GL_RGBA8, 4, GL_UNSIGNED_BYTE};
  gOpenGLDrawing.format16 = TextureFormat{GL_RGBA16, 8, GL_UNSIGNED_SHORT};
  EXPECT_TRUE(ShouldCreateShapeScalingProgram());
  gOpenGLDrawing.format16 = gOpenGLDrawing.format8;
  EXPECT_FALSE(ShouldCreateShapeScalingProgram());
  gOpenGLDrawing.format16 = TextureFormat{GL_RGBA16, 8, GL_UNSIGNED_SHORT};
  {
    ScopedGlewFlag without30(__GLEW_VERSION_3_0, GL_FALSE);
    ScopedGlewFlag withoutFloat(__GLEW_ARB_texture_float, GL_FALSE);
    EXPECT_FALSE(ShouldCreateShapeScalingProgram());
  }
  gOpenGLSettings.m_OpenGLDrawingMode = OPTIMIZE_FOR_COMPATIBILITY;
  EXPECT_FALSE(ShouldCreateShapeScalingProgram());
}

TEST_P(ShaderPathTest, GammaProgramRaisesColourToTheExponentAndKeepsAlpha) {
  const int type = GetParam();
  ReportCapture capture;
  StartShaders(type);
  const ShaderProgram* gamma = SelectedShaderProgram(kGammaShaderProgram);
  ASSERT_NE(gamma, nullptr);
  EXPECT_EQ(gamma->extensionType, type);
  EXPECT_NE(ProgramObject(gamma), 0u);
  EXPECT_EQ(type == SHADER_TYPE_ARB ? gamma->glslProgram : gamma->arbProgram, 0u) << "objects of the other path";
  EXPECT_TRUE(IsShaderProgramCreated(kGammaShaderProgram));

  ASSERT_TRUE(MakeShaderProgramActive(kGammaShaderProgram));
  EXPECT_EQ(CurrentProgram(type), ProgramObject(gamma));
  const double exponent = 1.0 / 2.2;
  ASSERT_TRUE(SetProxyShaderGamma(exponent));
  DrawGammaTexels();
  ExpectGammaApplied(exponent);

  ASSERT_TRUE(MakeShaderProgramActive(0));
  EXPECT_EQ(CurrentProgram(type), 0u);
  DrawGammaTexels();
  ExpectGammaApplied(1.0);  // the fixed pipeline shows the linear values
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  EXPECT_TRUE(FailureReports(capture).empty());
}

// A new display gamma arrives while no program is active; it must still reach the program.
TEST_P(ShaderPathTest, GammaLoadedWhileInactiveIsUsedAtTheNextActivation) {
  const int type = GetParam();
  ReportCapture capture;
  StartShaders(type);
  ASSERT_TRUE(MakeShaderProgramActive(kShapeScalingShaderProgram));
  EXPECT_FALSE(SetProxyShaderGamma(0.8)) << "the gamma program is not the active one";
  ASSERT_TRUE(LoadProxyShaderGamma(1.0 / 1.8));
  EXPECT_EQ(CurrentProgram(type), ProgramObject(SelectedShaderProgram(kShapeScalingShaderProgram)))
      << "the program active before is active again";
  ASSERT_TRUE(MakeShaderProgramActive(0));
  EXPECT_FALSE(SetProxyShaderGamma(0.8));
  ASSERT_TRUE(MakeShaderProgramActive(kGammaShaderProgram));
  DrawGammaTexels();
  ExpectGammaApplied(1.0 / 1.8);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  EXPECT_TRUE(FailureReports(capture).empty());
}

TEST_P(ShaderPathTest, ShapeScalingMultipliesColourBy256AndClamps) {
  const int type = GetParam();
  ReportCapture capture;
  StartShaders(type);
  ASSERT_TRUE(IsShaderProgramCreated(kShapeScalingShaderProgram));
  // Effect values stored at 1/256 in a 16-bit texture.
  const uint16_t texels[kTexels * 4] = {131,   197, 655, 52428,  // small values, blue past 1 after scaling
                                        32768, 0,   100, 65535,  // red far past 1
                                        0,     0,   0,   0,     64, 64, 64, 65535, 200, 90, 30, 30000,
                                        255,   1,   2,   13107, 65535, 65535, 65535, 65535, 10, 20, 40, 6553};
  m_Texture = MakeRowTexture(GL_RGBA16, GL_UNSIGNED_SHORT, texels);
  ASSERT_TRUE(MakeShaderProgramActive(kShapeScalingShaderProgram));
  const double color[4] = {1.0, 0.5, 1.0, 0.5};
  glColor4d(color[0], color[1], color[2], color[3]);
  DrawWindowQuad();
  for (int i = 0; i < kTexels; ++i) {
    Rgba pixel = PixelAt(i);
    const uint16_t* texel = &texels[i * 4];
    EXPECT_NEAR(pixel.r, Level(texel[0] / 65535.0 * color[0] * 256.0), 1) << "texel " << i;
    EXPECT_NEAR(pixel.g, Level(texel[1] / 65535.0 * color[1] * 256.0), 1) << "texel " << i;
    EXPECT_NEAR(pixel.b, Level(texel[2] / 65535.0 * color[2] * 256.0), 1) << "texel " << i;
    EXPECT_NEAR(pixel.a, Level(texel[3] / 65535.0 * color[3]), 1) << "alpha is not scaled, texel " << i;
  }
  ASSERT_TRUE(MakeShaderProgramActive(0));
  glDeleteTextures(1, &m_Texture);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  EXPECT_TRUE(FailureReports(capture).empty());
}

TEST_P(ShaderPathTest, ReleaseFreesEveryObjectAndASecondStartWorks) {
  const int type = GetParam();
  ReportCapture capture;
  StartShaders(type);
  unsigned gammaObject = ProgramObject(SelectedShaderProgram(kGammaShaderProgram));
  unsigned scalingObject = ProgramObject(SelectedShaderProgram(kShapeScalingShaderProgram));
  ShaderSourceList* gammaStage = SelectedShaderProgram(kGammaShaderProgram)->fragmentLists[0];
  unsigned gammaShader = gammaStage->shader;
  ASSERT_NE(gammaShader, 0u);
  ASSERT_TRUE(MakeShaderProgramActive(kGammaShaderProgram));

  DestroyShaderPrograms();
  EXPECT_FALSE(glIsProgram(gammaObject));
  EXPECT_FALSE(glIsProgram(scalingObject));
  EXPECT_FALSE(glIsShader(gammaShader));
  EXPECT_EQ(gammaStage->shader, 0u);
  EXPECT_EQ(CurrentProgram(type), 0u);
  EXPECT_EQ(SelectedShaderProgram(kGammaShaderProgram), nullptr);
  EXPECT_EQ(SelectedShaderProgram(kShapeScalingShaderProgram), nullptr);
  EXPECT_FALSE(IsShaderProgramCreated(kGammaShaderProgram));
  EXPECT_FALSE(SetProxyShaderGamma(0.5)) << "no program is active after release";
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  EXPECT_TRUE(FailureReports(capture).empty());

  // A start on a driver below every variant finds nothing left over from the first.
  ShaderSupport old = DetectedShaderSupport();
  ASSERT_TRUE(ParseShadingLanguageVersion("1.10", old.version));
  SetDetectedShaderSupport(old);
  EXPECT_FALSE(RegisterBuiltInShaderPrograms());
  EXPECT_EQ(SelectedShaderProgram(kGammaShaderProgram), nullptr);
  EXPECT_FALSE(CreateShaderProgram(kGammaShaderProgram));
  DestroyShaderPrograms();

  // The next preview start, on a window and context of its own.
  ReleaseOpenGLContext(&m_Context);
  DestroyWindow(m_Window);
  m_Window = CreateOpenGLTestWindow(kWidth, kHeight);
  ASSERT_NE(m_Window, nullptr);
  ASSERT_TRUE(NewContext());
  StartShaders(type);
  ASSERT_TRUE(MakeShaderProgramActive(kGammaShaderProgram));
  ASSERT_TRUE(SetProxyShaderGamma(1.0 / 2.2));
  DrawGammaTexels();
  ExpectGammaApplied(1.0 / 2.2);
  EXPECT_TRUE(FailureReports(capture).empty());
}

INSTANTIATE_TEST_SUITE_P(Paths, ShaderPathTest, ::testing::Values(SHADER_TYPE_GLSL, SHADER_TYPE_ARB), PathName);

TEST_F(ShaderProgramsTest, DeactivatingWithNothingActiveMakesNoOpenGLCall) {
  StartShaders(SHADER_TYPE_GLSL);
  ReportCapture capture;
  glEnable(GLenum(0xFFFF));  // leaves GL_INVALID_ENUM pending; any glGetError would take it
  EXPECT_TRUE(MakeShaderProgramActive(0));
  EXPECT_TRUE(MakeShaderProgramActive(0));
  EXPECT_EQ(glGetError(), GLenum(GL_INVALID_ENUM));
  EXPECT_TRUE(capture.Reports().empty());
}

TEST_P(ShaderPathTest, VariantThatFailsToCompileReportsTheLogAndThePreviewGoesOn) {
  const int type = GetParam();
  DetectPath(type);
  ASSERT_TRUE(RegisterBuiltInShaderPrograms());
  ShaderProgram* broken = RegisterTestProgram(7, type, kUndeclaredNameSource);
  ReportCapture capture;
  EXPECT_FALSE(CreateShaderProgram(7));
  EXPECT_FALSE(IsShaderProgramCreated(7));
  std::string prefix = std::string(type == SHADER_TYPE_ARB ? "CreateShaderARB()" : "CreateShaderGLSL()") +
                       " - Fragment Shader failed to compile. Shader ID = ";
  std::string report = ReportStartingWith(capture, prefix);
  ASSERT_FALSE(report.empty()) << "no compile report";
  const std::string logLabel = ".\nShader compilation Log: ";
  size_t log = report.find(logLabel);
  ASSERT_NE(log, std::string::npos) << report;
  EXPECT_NE(report.find("UndeclaredName", log), std::string::npos) << "the compiler's log is missing: " << report;
  EXPECT_EQ(FailureReports(capture).size(), 1u);
  unsigned shader = NumberAfter(report, "Shader ID = ");
  EXPECT_NE(shader, 0u);
  EXPECT_FALSE(glIsShader(shader)) << "the failed shader was kept";
  EXPECT_EQ(broken->glslProgram, 0u);
  EXPECT_EQ(broken->arbProgram, 0u);
  EXPECT_EQ(m_TestStage.shader, 0u);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  EXPECT_FALSE(MakeShaderProgramActive(7));

  // The gamma program is made and used as if nothing had happened.
  capture.Clear();
  ASSERT_TRUE(CreateShaderProgram(kGammaShaderProgram));
  ASSERT_TRUE(LoadProxyShaderGamma(1.0 / 2.2));
  ASSERT_TRUE(MakeShaderProgramActive(kGammaShaderProgram));
  DrawGammaTexels();
  ExpectGammaApplied(1.0 / 2.2);
  EXPECT_TRUE(FailureReports(capture).empty());
}

TEST_P(ShaderPathTest, VariantThatFailsToLinkReportsTheLogAndKeepsNoObjects) {
  const int type = GetParam();
  DetectPath(type);
  ShaderProgram* unlinked = RegisterTestProgram(8, type, kWithoutMainSource);
  ReportCapture capture;
  EXPECT_FALSE(CreateShaderProgram(8));
  EXPECT_FALSE(IsShaderProgramCreated(8));
  std::string prefix = type == SHADER_TYPE_ARB
                           ? "CreateShaderProgramARB() - EXT Shader Program 8, version 2 failed to link. Program Handle = "
                           : "CreateShaderProgramGLSL() - GLSL Shader Program 8, version 2 failed to link. Program ID = ";
  std::string report = ReportStartingWith(capture, prefix);
  ASSERT_FALSE(report.empty()) << "no link report";
  size_t log = report.find(".\nProgram link log: ");
  ASSERT_NE(log, std::string::npos) << report;
  EXPECT_GT(report.size(), log + 20) << "the linker's log is missing: " << report;
  EXPECT_EQ(FailureReports(capture).size(), 1u);
  unsigned program = NumberAfter(report, type == SHADER_TYPE_ARB ? "Program Handle = " : "Program ID = ");
  EXPECT_NE(program, 0u);
  EXPECT_FALSE(glIsProgram(program)) << "the unlinked program was kept";
  EXPECT_EQ(unlinked->glslProgram, 0u);
  EXPECT_EQ(unlinked->arbProgram, 0u);
  EXPECT_EQ(m_TestStage.shader, 0u);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(ShaderProgramsTest, BindingAnUnknownPathBindsNothing) {
  DetectShaderSupport();
  ShaderProgram* white = RegisterTestProgram(9, SHADER_TYPE_GLSL, kWhiteSource);
  ASSERT_TRUE(CreateShaderProgram(9));
  ASSERT_TRUE(MakeShaderProgramActive(9));
  ASSERT_TRUE(UnBindActiveShaderProgram());
  ASSERT_EQ(CurrentProgram(SHADER_TYPE_GLSL), 0u);
  ReportCapture capture;
  white->extensionType = 9;
  EXPECT_FALSE(BindActiveShaderProgram());
  white->extensionType = SHADER_TYPE_GLSL;
  EXPECT_TRUE(capture.HasReport("UnBindActiveShaderProgram() - Shader extension type 9 is not recognized."));
  EXPECT_EQ(CurrentProgram(SHADER_TYPE_GLSL), 0u);
  EXPECT_TRUE(BindActiveShaderProgram());
  EXPECT_EQ(CurrentProgram(SHADER_TYPE_GLSL), white->glslProgram);
}
