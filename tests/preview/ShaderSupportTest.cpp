// The shading path and version decisions and the choice of a variant at registration, without a
// driver: version texts, ranges with open components, the candidate path per setting, the
// shape-scaling condition, and which variant of a table a pretended driver gets.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "OpenGLTestWindow.h"
#include "TestSupport.h"
#include "preview/OpenGLSettings.h"
#include "preview/ShaderReports.h"
#include "preview/ShaderPrograms.h"

namespace {

struct VersionCase {
  const char* text;
  bool parsed;
  int major, minor, patch;
};

class ShadingLanguageVersionTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(ShadingLanguageVersionTest, ReadsLeadingNumbers) {
  const VersionCase& c = GetParam();
  int version[3] = {7, 7, 7};
  EXPECT_EQ(ParseShadingLanguageVersion(c.text, version), c.parsed) << (c.text ? c.text : "null");
  EXPECT_EQ(version[0], c.major) << (c.text ? c.text : "null");
  EXPECT_EQ(version[1], c.minor) << (c.text ? c.text : "null");
  EXPECT_EQ(version[2], c.patch) << (c.text ? c.text : "null");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ShadingLanguageVersionTest,
    ::testing::Values(VersionCase{"1.10", true, 1, 10, 0}, VersionCase{"4.50", true, 4, 50, 0},
                      VersionCase{"1.51", true, 1, 0, 0}, VersionCase{"1.51.7", true, 1, 0, 7},
                      VersionCase{"2.51", true, 2, 51, 0}, VersionCase{"1.10.59", true, 1, 10, 59},
                      VersionCase{"1.20.8 NVIDIA via Cg compiler", true, 1, 20, 8},
                      VersionCase{"4.60 NVIDIA", true, 4, 60, 0}, VersionCase{"3.30.x", true, 3, 30, 0},
                      VersionCase{" 1.30", true, 1, 30, 0}, VersionCase{"OpenGL ES GLSL ES 3.20", false, -1, -1, -1},
                      VersionCase{"garbage", false, -1, -1, -1}, VersionCase{"", false, -1, -1, -1},
                      VersionCase{nullptr, false, -1, -1, -1}, VersionCase{"4", false, -1, -1, -1},
                      VersionCase{"4.", false, -1, -1, -1}, VersionCase{"-1.10", false, -1, -1, -1},
                      VersionCase{"1.-10", false, -1, -1, -1}, VersionCase{"99999999999.1", false, -1, -1, -1}));

TEST(ShadingLanguageVersionReadTest, OldARBDriverWithoutTheQuerySpeaksOnePointZero) {
  ReportCapture capture;
  int version[3] = {-1, -1, -1};
  EXPECT_TRUE(InterpretShadingLanguageVersion(nullptr, GL_INVALID_ENUM, true, false, version));
  EXPECT_EQ(version[0], 1);
  EXPECT_EQ(version[1], 0);
  EXPECT_EQ(version[2], 0);
  EXPECT_TRUE(FailureReports(capture).empty());
}

TEST(ShadingLanguageVersionReadTest, OtherQueryErrorsFailWithTheCode) {
  struct Case {
    GLenum error;
    bool arb100;
    bool gl20;
  };
  for (Case c : {Case{GL_INVALID_ENUM, true, true}, Case{GL_INVALID_ENUM, false, false},
                 Case{GL_INVALID_OPERATION, true, false}}) {
    ReportCapture capture;
    int version[3] = {4, 50, 0};
    EXPECT_FALSE(InterpretShadingLanguageVersion("4.50", c.error, c.arb100, c.gl20, version));
    EXPECT_EQ(version[0], -1);
    EXPECT_EQ(version[1], -1);
    EXPECT_EQ(version[2], -1);
    std::string expected =
        "GetSupportedGLSLVersion() Failed to get GLSL version string. OpenGL Error = " + std::to_string(c.error) + ".";
    EXPECT_TRUE(capture.HasReport(expected)) << expected;
    ASSERT_EQ(capture.Reports().size(), 1u);
    EXPECT_EQ(capture.Reports()[0].kind, uint32_t(OpenGLError));
    EXPECT_EQ(capture.Reports()[0].title, kTitleUnexpectedError);
  }
}

TEST(ShadingLanguageVersionReadTest, UnreadableTextFailsWithTheText) {
  ReportCapture capture;
  int version[3] = {4, 50, 0};
  EXPECT_FALSE(InterpretShadingLanguageVersion("OpenGL ES", GL_NO_ERROR, true, true, version));
  EXPECT_EQ(version[0], -1);
  EXPECT_TRUE(capture.HasReport("GetSupportedGLSLVersion() Failed to parse GLSL extension version information 'OpenGL ES'."));
  EXPECT_FALSE(InterpretShadingLanguageVersion(nullptr, GL_NO_ERROR, true, true, version));
  EXPECT_TRUE(capture.HasReport("GetSupportedGLSLVersion() Failed to parse GLSL extension version information ''."));
  EXPECT_TRUE(InterpretShadingLanguageVersion("1.20", GL_NO_ERROR, false, true, version));
  EXPECT_EQ(version[1], 20);
  EXPECT_EQ(capture.Reports().size(), 2u);
}

struct RangeCase {
  int version[3];
  int minimum[3];
  int maximum[3];
  bool inside;
};

class VersionRangeTest : public ::testing::TestWithParam<RangeCase> {};

TEST_P(VersionRangeTest, ComparesFromMajorToPatch) {
  const RangeCase& c = GetParam();
  EXPECT_EQ(ShadingLanguageVersionInRange(c.version, c.minimum, c.maximum), c.inside)
      << c.version[0] << "." << c.version[1] << "." << c.version[2] << " in [" << c.minimum[0] << "." << c.minimum[1]
      << "." << c.minimum[2] << ", " << c.maximum[0] << "." << c.maximum[1] << "." << c.maximum[2] << "]";
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, VersionRangeTest,
    ::testing::Values(RangeCase{{1, 10, 59}, {1, 10, 59}, {-1, -1, -1}, true},
                      RangeCase{{1, 10, 58}, {1, 10, 59}, {-1, -1, -1}, false},
                      RangeCase{{1, 10, 0}, {1, 10, 59}, {-1, -1, -1}, false},
                      RangeCase{{1, 0, 0}, {1, 10, 59}, {-1, -1, -1}, false},
                      RangeCase{{1, 11, 0}, {1, 10, 59}, {-1, -1, -1}, true},
                      RangeCase{{4, 50, 0}, {1, 10, 59}, {-1, -1, -1}, true},
                      RangeCase{{0, 99, 99}, {1, 10, 59}, {-1, -1, -1}, false},
                      RangeCase{{1, 0, 0}, {1, -1, 5}, {-1, -1, -1}, true},
                      RangeCase{{0, 9, 9}, {1, -1, -1}, {-1, -1, -1}, false},
                      RangeCase{{1, 20, 99}, {-1, -1, -1}, {1, 20, -1}, true},
                      RangeCase{{1, 21, 0}, {-1, -1, -1}, {1, 20, -1}, false},
                      RangeCase{{1, 10, 0}, {1, 10, 0}, {1, 20, -1}, true},
                      RangeCase{{2, 0, 0}, {1, 10, 0}, {1, -1, -1}, false},
                      RangeCase{{1, 30, 10}, {-1, -1, -1}, {1, 30, 9}, false},
                      RangeCase{{-1, -1, -1}, {-1, -1, -1}, {-1, -1, -1}, false},
                      RangeCase{{-1, -1, -1}, {1, 10, 59}, {-1, -1, -1}, false}));

TEST(ShaderExtensionTypeTest, SettingAccelerationAndDriverDecideThePath) {
  struct Case {
    int setting;
    bool accelerated, gl20, gl15, arb;
    int type;
  };
  const Case cases[] = {
      {OPTIMIZE_FOR_QUALITY, true, true, true, true, SHADER_TYPE_GLSL},
      {OPTIMIZE_FOR_SPEED, true, true, false, false, SHADER_TYPE_GLSL},
      {OPTIMIZE_UNSET, true, true, true, true, SHADER_TYPE_GLSL},
      {OPTIMIZE_FOR_QUALITY, true, false, true, true, SHADER_TYPE_ARB},
      {OPTIMIZE_FOR_QUALITY, true, false, true, false, SHADER_TYPE_NONE},
      {OPTIMIZE_FOR_QUALITY, true, false, false, true, SHADER_TYPE_NONE},
      {OPTIMIZE_FOR_COMPATIBILITY, true, true, true, true, SHADER_TYPE_NONE},
      {OPTIMIZE_NONE, true, true, true, true, SHADER_TYPE_NONE},
      {OPTIMIZE_FOR_QUALITY, false, true, true, true, SHADER_TYPE_NONE},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseShaderExtensionType(c.setting, c.accelerated, c.gl20, c.gl15, c.arb), c.type)
        << "setting " << c.setting << " accelerated " << c.accelerated << " gl20 " << c.gl20 << " gl15 " << c.gl15;
  }
}

TEST(ShapeScalingConditionTest, OnlyAcceleratedAdvancedSettingsWithADistinctFloatFormat) {
  TextureFormat format8{GL_RGBA8, 4, GL_UNSIGNED_BYTE};
  TextureFormat format16{GL_RGBA16F, 8, GL_HALF_FLOAT};
  EXPECT_TRUE(ShapeScalingProgramWanted(true, OPTIMIZE_FOR_QUALITY, format8, format16, true));
  EXPECT_TRUE(ShapeScalingProgramWanted(true, OPTIMIZE_FOR_SPEED, format8, format16, true));
  EXPECT_FALSE(ShapeScalingProgramWanted(true, OPTIMIZE_FOR_COMPATIBILITY, format8, format16, true));
  EXPECT_FALSE(ShapeScalingProgramWanted(true, OPTIMIZE_NONE, format8, format16, true));
  EXPECT_FALSE(ShapeScalingProgramWanted(true, OPTIMIZE_UNSET, format8, format16, true));
  EXPECT_FALSE(ShapeScalingProgramWanted(false, OPTIMIZE_FOR_QUALITY, format8, format16, true));
  EXPECT_FALSE(ShapeScalingProgramWanted(true, OPTIMIZE_FOR_QUALITY, format8, format16, false));
  // The 16-bit selection fell back to the 8-bit one: effects are drawn unscaled.
  EXPECT_FALSE(ShapeScalingProgramWanted(true, OPTIMIZE_FOR_QUALITY, format8, format8, true));
  TextureFormat sameInternal{GL_RGBA8, 8, GL_UNSIGNED_SHORT};
  EXPECT_FALSE(ShapeScalingProgramWanted(true, OPTIMIZE_FOR_QUALITY, format8, sameInternal, true));
}

// Registration without a driver: AddShaderProgram makes no OpenGL call, only the choice. The
// tables live in the fixture, since the registry holds on to them until TearDown releases it.
class ShaderSelectionTest : public ::testing::Test {
 protected:
  void TearDown() override {
    DestroyShaderPrograms();
    SetDetectedShaderSupport(ShaderSupport{});
  }
  static void Pretend(int type, int major, int minor, int patch, int flags = kVertexShaderSupport | kFragmentShaderSupport) {
    ShaderSupport support;
    support.type = type;
    support.flags = flags;
    support.version[0] = major, support.version[1] = minor, support.version[2] = patch;
    SetDetectedShaderSupport(support);
  }
  ShaderSourceList* Stage(int index, GLenum type) {
    m_Lists[index] = ShaderSourceList{type, kNoSource, 1, 0};
    return &m_Lists[index];
  }
  // Variant `index` of the fixture's table: one fragment stage, and a vertex stage when asked.
  ShaderProgram* Variant(int index, int name, int type, std::array<int, 3> minimum, std::array<int, 3> maximum = {-1, -1, -1},
                         bool vertexStage = false) {
    ShaderProgram& variant = m_Table[index];
    variant = ShaderProgram{};
    variant.name = name;
    variant.extensionType = type;
    for (int i = 0; i < 3; ++i) variant.minimumVersion[i] = minimum[i], variant.maximumVersion[i] = maximum[i];
    variant.fragmentLists[0] = Stage(2 * index, GL_FRAGMENT_SHADER);
    if (vertexStage) variant.vertexLists[1] = Stage(2 * index + 1, GL_VERTEX_SHADER);
    return &variant;
  }
  static constexpr const char* kNoSource[] = {""};
  ShaderSourceList m_Lists[8];
  ShaderProgram m_Table[4];
};

TEST_F(ShaderSelectionTest, FirstVariantOfTheDriversPathAndVersionIsChosen) {
  Variant(0, 4, SHADER_TYPE_GLSL, {1, 30, -1});
  Variant(1, 4, SHADER_TYPE_GLSL, {1, 10, 59}, {1, 20, -1});
  Variant(2, 4, SHADER_TYPE_GLSL, {1, 10, 59});
  Variant(3, 4, SHADER_TYPE_ARB, {1, 0, 0});
  ReportCapture capture;
  Pretend(SHADER_TYPE_GLSL, 1, 20, 8);
  ASSERT_TRUE(AddShaderProgram(m_Table, 4));
  EXPECT_EQ(SelectedShaderProgram(4), &m_Table[1]);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(m_Table[i].variantIndex, i + 1);
  Pretend(SHADER_TYPE_GLSL, 4, 50, 0);
  ASSERT_TRUE(AddShaderProgram(m_Table, 4));
  EXPECT_EQ(SelectedShaderProgram(4), &m_Table[0]);
  Pretend(SHADER_TYPE_ARB, 1, 0, 0);
  ASSERT_TRUE(AddShaderProgram(m_Table, 4));
  EXPECT_EQ(SelectedShaderProgram(4), &m_Table[3]);
  // A driver below every minimum chooses afresh: nothing, not the variant chosen before.
  Pretend(SHADER_TYPE_GLSL, 1, 10, 0);
  EXPECT_FALSE(AddShaderProgram(m_Table, 4));
  EXPECT_EQ(SelectedShaderProgram(4), nullptr);
  EXPECT_FALSE(IsShaderProgramCreated(4));
  EXPECT_TRUE(FailureReports(capture).empty());
}

TEST_F(ShaderSelectionTest, WithoutSupportNothingIsSelected) {
  Variant(0, 2, SHADER_TYPE_NONE, {-1, -1, -1});
  SetDetectedShaderSupport(ShaderSupport{});
  EXPECT_FALSE(AddShaderProgram(m_Table, 1));
  EXPECT_EQ(SelectedShaderProgram(2), nullptr);
  EXPECT_FALSE(CreateShaderProgram(2));
}

TEST_F(ShaderSelectionTest, StagesTheDriverLacksRuleAVariantOut) {
  Variant(0, 6, SHADER_TYPE_GLSL, {1, 0, 0}, {-1, -1, -1}, true);
  Variant(1, 6, SHADER_TYPE_GLSL, {1, 0, 0});
  Pretend(SHADER_TYPE_GLSL, 1, 20, 0, kFragmentShaderSupport);
  ASSERT_TRUE(AddShaderProgram(m_Table, 2));
  EXPECT_EQ(SelectedShaderProgram(6), &m_Table[1]);
  Pretend(SHADER_TYPE_GLSL, 1, 20, 0, kVertexShaderSupport);
  EXPECT_FALSE(AddShaderProgram(m_Table, 2));
  EXPECT_EQ(SelectedShaderProgram(6), nullptr);
  Pretend(SHADER_TYPE_GLSL, 1, 20, 0);
  ASSERT_TRUE(AddShaderProgram(m_Table, 2));
  EXPECT_EQ(SelectedShaderProgram(6), &m_Table[0]);
}

TEST_F(ShaderSelectionTest, SelectedListGrowsToTheHighestNameWithEmptySlots) {
  Variant(0, 1, SHADER_TYPE_GLSL, {1, 0, 0});
  Variant(1, 9, SHADER_TYPE_GLSL, {1, 0, 0});
  Pretend(SHADER_TYPE_GLSL, 1, 20, 0);
  ASSERT_TRUE(AddShaderProgram(&m_Table[0], 1));
  ASSERT_TRUE(AddShaderProgram(&m_Table[1], 1));
  EXPECT_EQ(SelectedShaderProgram(1), &m_Table[0]);
  EXPECT_EQ(SelectedShaderProgram(9), &m_Table[1]);
  for (int name : {0, 2, 5, 8, 10, 1000, -1}) EXPECT_EQ(SelectedShaderProgram(name), nullptr) << name;
}

TEST_F(ShaderSelectionTest, MalformedTablesAreRefused) {
  Variant(0, -3, SHADER_TYPE_GLSL, {1, 0, 0});
  Pretend(SHADER_TYPE_GLSL, 1, 20, 0);
  ReportCapture capture;
  EXPECT_FALSE(AddShaderProgram(nullptr, 1));
  EXPECT_FALSE(AddShaderProgram(m_Table, 0));
  EXPECT_FALSE(AddShaderProgram(m_Table, 1));
  EXPECT_EQ(SelectedShaderProgram(-3), nullptr);
  ASSERT_EQ(capture.Reports().size(), 3u);
  for (const CapturedReport& report : capture.Reports()) EXPECT_EQ(report.text, "AddShaderProgram() - Invalid program table.");
}

TEST_F(ShaderSelectionTest, BuiltInProgramsPickTheDriversPath) {
  ReportCapture capture;
  Pretend(SHADER_TYPE_GLSL, 4, 50, 0);
  ASSERT_TRUE(RegisterBuiltInShaderPrograms());
  ASSERT_NE(SelectedShaderProgram(kGammaShaderProgram), nullptr);
  ASSERT_NE(SelectedShaderProgram(kShapeScalingShaderProgram), nullptr);
  EXPECT_EQ(SelectedShaderProgram(kGammaShaderProgram)->extensionType, SHADER_TYPE_GLSL);
  EXPECT_EQ(SelectedShaderProgram(kGammaShaderProgram)->variantIndex, 1);
  EXPECT_EQ(SelectedShaderProgram(kShapeScalingShaderProgram)->variantIndex, 1);
  DestroyShaderPrograms();
  Pretend(SHADER_TYPE_ARB, 1, 10, 59);
  ASSERT_TRUE(RegisterBuiltInShaderPrograms());
  ASSERT_NE(SelectedShaderProgram(kGammaShaderProgram), nullptr);
  ASSERT_NE(SelectedShaderProgram(kShapeScalingShaderProgram), nullptr);
  EXPECT_EQ(SelectedShaderProgram(kGammaShaderProgram)->extensionType, SHADER_TYPE_ARB);
  EXPECT_EQ(SelectedShaderProgram(kGammaShaderProgram)->variantIndex, 2);
  EXPECT_EQ(SelectedShaderProgram(kShapeScalingShaderProgram)->variantIndex, 2);
  EXPECT_TRUE(FailureReports(capture).empty());
}

// "1.10" means 1.10.0, below every built-in minimum of 1.10.59: the preview runs without shaders.
TEST_F(ShaderSelectionTest, VersionOneTenWithoutPatchGetsNoBuiltInProgram) {
  ReportCapture capture;
  ShaderSupport support;
  support.type = SHADER_TYPE_GLSL;
  support.flags = kVertexShaderSupport | kFragmentShaderSupport;
  ASSERT_TRUE(ParseShadingLanguageVersion("1.10", support.version));
  SetDetectedShaderSupport(support);
  EXPECT_FALSE(RegisterBuiltInShaderPrograms());
  EXPECT_EQ(SelectedShaderProgram(kGammaShaderProgram), nullptr);
  EXPECT_EQ(SelectedShaderProgram(kShapeScalingShaderProgram), nullptr);
  EXPECT_FALSE(CreateShaderProgram(kGammaShaderProgram));
  EXPECT_FALSE(IsShaderProgramCreated(kGammaShaderProgram));
  EXPECT_FALSE(SetProxyShaderGamma(1.0 / 2.2));
  EXPECT_FALSE(LoadProxyShaderGamma(1.0 / 2.2));
  EXPECT_TRUE(FailureReports(capture).empty()) << "a missing program is no failure";
}

TEST_F(ShaderSelectionTest, UnknownNamesAndUncreatedProgramsAreNotActivated) {
  Variant(0, 3, SHADER_TYPE_GLSL, {1, 0, 0});
  Pretend(SHADER_TYPE_GLSL, 1, 20, 0);
  ASSERT_TRUE(AddShaderProgram(m_Table, 1));
  ReportCapture capture;
  EXPECT_FALSE(MakeShaderProgramActive(42));
  EXPECT_TRUE(capture.HasReport("MakeShaderProgramActive() - Shader Program Name 42 is not recognized."));
  EXPECT_FALSE(MakeShaderProgramActive(-2));
  EXPECT_TRUE(capture.HasReport("MakeShaderProgramActive() - Shader Program Name -2 is not recognized."));
  capture.Clear();
  EXPECT_FALSE(MakeShaderProgramActive(3));  // selected, never created
  EXPECT_TRUE(capture.Reports().empty());
  EXPECT_FALSE(BindActiveShaderProgram());
  EXPECT_TRUE(capture.Reports().empty());
}

TEST_F(ShaderSelectionTest, UnknownPathsAreReportedAndNothingIsMade) {
  Variant(0, 5, 7, {1, 0, 0});
  Pretend(7, 1, 20, 0);
  ASSERT_TRUE(AddShaderProgram(m_Table, 1));
  ReportCapture capture;
  EXPECT_FALSE(CreateShaderProgram(5));
  EXPECT_TRUE(capture.HasReport("CreateShaderProgram() - Extension type 7 is not recognized."));
  EXPECT_FALSE(IsShaderProgramCreated(5));
  EXPECT_FALSE(DestroyShaderProgram(&m_Table[0]));
  EXPECT_TRUE(capture.HasReport("DestroyShaderProgram() - Extension type 7 is not recognized."));
  m_Table[0].extensionType = SHADER_TYPE_NONE;
  EXPECT_FALSE(DestroyShaderProgram(&m_Table[0]));
  EXPECT_TRUE(capture.HasReport("DestroyShaderProgram() - Extension type SHADER_TYPE_NONE is not valid for this function."));
  EXPECT_FALSE(DestroyShaderProgram(nullptr));
  EXPECT_EQ(capture.Reports().size(), 3u);
  for (const CapturedReport& report : capture.Reports()) EXPECT_EQ(report.title, kTitleUnexpectedError) << report.text;
}

TEST_F(ShaderSelectionTest, UnbindWithoutAnyShaderSupportSaysSo) {
  SetDetectedShaderSupport(ShaderSupport{});
  ReportCapture capture;
  EXPECT_FALSE(UnBindActiveShaderProgram());
  EXPECT_TRUE(capture.HasReport("UnBindActiveShaderProgram() - No shader support is available."));
  Pretend(11, 1, 20, 0);
  EXPECT_FALSE(UnBindActiveShaderProgram());
  EXPECT_TRUE(capture.HasReport("UnBindActiveShaderProgram() - Shader extension type 11 is not recognized."));
}

TEST(ShaderStageNameTest, NamesBothPathsStages) {
  EXPECT_STREQ(ShaderStageName(GL_VERTEX_SHADER), "Vertex Shader");
  EXPECT_STREQ(ShaderStageName(GL_VERTEX_PROGRAM_ARB), "Vertex Shader");
  EXPECT_STREQ(ShaderStageName(GL_FRAGMENT_SHADER), "Fragment Shader");
  EXPECT_STREQ(ShaderStageName(GL_FRAGMENT_PROGRAM_ARB), "Fragment Shader");
  EXPECT_STREQ(ShaderStageName(GL_GEOMETRY_SHADER), "Unknown Shader Type");
}

}  // namespace
