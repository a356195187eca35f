// The preview's fragment programs: the gamma program that turns the linear composite into display
// values and the shape-scaling program of the 16-bit effect textures, each in a GLSL and an ARB
// variant, chosen by what the driver offers and activated by a small integer name.
#pragma once
#include <GL/glew.h>

#include "preview/OpenGLSettings.h"

enum ShaderExtensionType { SHADER_TYPE_NONE = 0, SHADER_TYPE_GLSL = 1, SHADER_TYPE_ARB = 2 };

constexpr int kGammaShaderProgram = 1;
constexpr int kShapeScalingShaderProgram = 3;

constexpr int kVertexShaderSupport = 1;
constexpr int kFragmentShaderSupport = 2;

struct ShaderSupport {
  int type = SHADER_TYPE_NONE;
  int flags = 0;
  int version[3] = {-1, -1, -1};  // major, minor, patch; -1 unknown
};

// One stage of a variant: its sources and, once created, the shader object.
struct ShaderSourceList {
  GLenum shaderType = 0;  // GL_VERTEX_SHADER or GL_FRAGMENT_SHADER (the ARB values are the same)
  const char* const* sources = nullptr;
  int sourceCount = 0;
  GLuint shader = 0;
};

struct ShaderProgram {
  int name = 0;
  int extensionType = SHADER_TYPE_NONE;
  int minimumVersion[3] = {-1, -1, -1};
  int maximumVersion[3] = {-1, -1, -1};
  ShaderSourceList* vertexLists[2] = {};
  ShaderSourceList* fragmentLists[2] = {};
  GLuint glslProgram = 0;
  GLhandleARB arbProgram = 0;
  int created = 0;
  int variantIndex = 0;  // 1-based within its table, set at registration
};

// On the preview task with its context current; reads the drawing setting and acceleration.
void DetectShaderSupport();
const ShaderSupport& DetectedShaderSupport();
// Tests pretend a driver: the support as detection would have left it.
void SetDetectedShaderSupport(const ShaderSupport& support);
bool GetSupportedGLSLVersion();
// The leading "major.minor[.patch]" of a GL_SHADING_LANGUAGE_VERSION string; 1.51 reads as 1.0.
bool ParseShadingLanguageVersion(const char* text, int version[3]);
// Inside [minimum, maximum], a -1 component of a bound matching anything from there on.
bool ShadingLanguageVersionInRange(const int version[3], const int minimum[3], const int maximum[3]);

bool AddShaderProgram(ShaderProgram* table, int count);
// Registers the gamma program's and the shape-scaling program's tables, in that order.
bool RegisterBuiltInShaderPrograms();
bool CreateShaderProgram(int name);
bool IsShaderProgramCreated(int name);
// The variant selected for a name, or null.
const ShaderProgram* SelectedShaderProgram(int name);
// 0 deactivates.
bool MakeShaderProgramActive(int name);
bool BindActiveShaderProgram();
bool UnBindActiveShaderProgram();
// "GammaCorrection" of the gamma program, which must be active: (g, g, g, 1).
bool SetProxyShaderGamma(double exponent);
// The gamma exponent loaded into the created gamma program whatever is active: the gamma program
// is activated for it and the program active before is restored. False without the program.
bool LoadProxyShaderGamma(double exponent);
bool DestroyShaderProgram(ShaderProgram* variant);
void DestroyShaderPrograms();

// The shape-scaling program is wanted only where the effect textures use the 16-bit format:
// accelerated, setting 1 or 2, a 16-bit format other than the 8-bit one, and float textures
// (GL 3.0 or GL_ARB_texture_float). Reads the drawing settings and the current context's GLEW.
bool ShouldCreateShapeScalingProgram();

// The decisions, free of OpenGL calls.
// The candidate path: SHADER_TYPE_NONE for setting 3 or 4 or a software format, else GLSL with
// GL 2.0, else ARB with GL 1.5 and all four ARB shader extensions, else none.
int ChooseShaderExtensionType(int setting, bool accelerated, bool openGL20, bool openGL15, bool arbShaderExtensions);
// The version from the GL_SHADING_LANGUAGE_VERSION text and the OpenGL error raised reading it;
// reports what it refuses.
bool InterpretShadingLanguageVersion(const char* text, GLenum readError, bool arbShadingLanguage100, bool openGL20,
                                     int version[3]);
bool ShapeScalingProgramWanted(bool accelerated, int setting, const TextureFormat& format8,
                               const TextureFormat& format16, bool floatTextures);

