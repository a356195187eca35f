// Which shading path the preview's driver offers (OpenGL 2.0 GLSL or the ARB shader objects) and
// which shading-language version it speaks, decided once per preview start.
#include "preview/ShaderSupport.h"

#include <GL/glew.h>

#include <cctype>
#include <climits>

#include "preview/OpenGLSettings.h"
#include "support/ErrorReport.h"

namespace {

ShaderSupport gShaderSupport;  // preview task thread only

void ForgetVersion(int version[3]) { version[0] = version[1] = version[2] = -1; }

// Digits only: a version is never signed, and a run of digits too long for an int is no version.
const char* ReadVersionNumber(const char* text, int* value) {
  if (!isdigit(static_cast<unsigned char>(*text))) return nullptr;
  long long number = 0;
  for (; isdigit(static_cast<unsigned char>(*text)); ++text) {
    number = number * 10 + (*text - '0');
    if (number > INT_MAX) return nullptr;
  }
  *value = int(number);
  return text;
}

// At least the bound (or at most it, when `atMost`): compared from major to patch, a -1 component
// of the bound accepting anything from there on.
bool VersionWithinBound(const int version[3], const int bound[3], bool atMost) {
  for (int i = 0; i < 3; ++i) {
    if (bound[i] == -1) return true;
    if (version[i] != bound[i]) return atMost ? version[i] < bound[i] : version[i] > bound[i];
  }
  return true;
}

}  // namespace

const ShaderSupport& DetectedShaderSupport() { return gShaderSupport; }

void SetDetectedShaderSupport(const ShaderSupport& support) { gShaderSupport = support; }

int ChooseShaderExtensionType(int setting, bool accelerated, bool openGL20, bool openGL15, bool arbShaderExtensions) {
  if (setting == OPTIMIZE_FOR_COMPATIBILITY || setting == OPTIMIZE_NONE || !accelerated) return SHADER_TYPE_NONE;
  if (openGL20) return SHADER_TYPE_GLSL;
  if (openGL15 && arbShaderExtensions) return SHADER_TYPE_ARB;
  return SHADER_TYPE_NONE;
}

void DetectShaderSupport() {
  bool arbShaderExtensions = GLEW_ARB_shading_language_100 && GLEW_ARB_shader_objects && GLEW_ARB_vertex_shader &&
                             GLEW_ARB_fragment_shader;
  int candidate = ChooseShaderExtensionType(gOpenGLSettings.m_OpenGLDrawingMode, gOpenGLDrawing.accelerated,
                                            GLEW_VERSION_2_0, GLEW_VERSION_1_5, arbShaderExtensions);
  gShaderSupport = ShaderSupport{};
  if (candidate == SHADER_TYPE_NONE || !GetSupportedGLSLVersion()) return;
  gShaderSupport.type = candidate;
  gShaderSupport.flags = kVertexShaderSupport | kFragmentShaderSupport;
}

bool GetSupportedGLSLVersion() {
  const char* text = reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION));
  GLenum error = glGetError();
  return InterpretShadingLanguageVersion(text, error, GLEW_ARB_shading_language_100, GLEW_VERSION_2_0,
                                         gShaderSupport.version);
}

// Drivers of the ARB shading language 1.00 before OpenGL 2.0 may not know the version query at
// all; they speak 1.0.
bool InterpretShadingLanguageVersion(const char* text, GLenum readError, bool arbShadingLanguage100, bool openGL20,
                                     int version[3]) {
  if (readError == GL_INVALID_ENUM && arbShadingLanguage100 && !openGL20) {
    version[0] = 1, version[1] = 0, version[2] = 0;
    return true;
  }
  if (readError != GL_NO_ERROR) {
    OpenGLErrorReport(__LINE__, OpenGLError, readError)
        .Report(kStyleError, kTitleUnexpectedError, "GetSupportedGLSLVersion() Failed to get GLSL version string. OpenGL Error = %d.",
                int(readError));
    ForgetVersion(version);
    return false;
  }
  if (!ParseShadingLanguageVersion(text, version)) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError,
                "GetSupportedGLSLVersion() Failed to parse GLSL extension version information '%s'.", text != nullptr ? text : "");
    return false;
  }
  return true;
}

// A driver that reports 1.51 means the 1.0 language of its ARB extension.
bool ParseShadingLanguageVersion(const char* text, int version[3]) {
  int parsed[3] = {-1, -1, 0};
  const char* rest = text;
  while (rest != nullptr && (*rest == ' ' || *rest == '\t')) ++rest;
  if (rest != nullptr) rest = ReadVersionNumber(rest, &parsed[0]);
  if (rest != nullptr && *rest == '.') rest = ReadVersionNumber(rest + 1, &parsed[1]);
  else rest = nullptr;
  if (rest == nullptr) {
    ForgetVersion(version);
    return false;
  }
  if (*rest == '.' && ReadVersionNumber(rest + 1, &parsed[2]) == nullptr) parsed[2] = 0;
  if (parsed[0] == 1 && parsed[1] == 51) parsed[1] = 0;
  for (int i = 0; i < 3; ++i) version[i] = parsed[i];
  return true;
}

bool ShadingLanguageVersionInRange(const int version[3], const int minimum[3], const int maximum[3]) {
  if (version[0] == -1) return false;
  return VersionWithinBound(version, minimum, false) && VersionWithinBound(version, maximum, true);
}

bool ShapeScalingProgramWanted(bool accelerated, int setting, const TextureFormat& format8,
                               const TextureFormat& format16, bool floatTextures) {
  bool advancedSetting = setting == OPTIMIZE_FOR_QUALITY || setting == OPTIMIZE_FOR_SPEED;
  return accelerated && advancedSetting && format16.internalFormat != format8.internalFormat && floatTextures;
}

bool ShouldCreateShapeScalingProgram() {
  return ShapeScalingProgramWanted(gOpenGLDrawing.accelerated, gOpenGLSettings.m_OpenGLDrawingMode,
                                   gOpenGLDrawing.format8, gOpenGLDrawing.format16,
                                   GLEW_VERSION_3_0 || GLEW_ARB_texture_float);
}
