// The preview's two programs as variant tables: the gamma program, which turns the linear
// composite into display values, and the shape-scaling program of the 16-bit effect textures.
#include <GL/glew.h>

#include <iterator>

#include "preview/ShaderPrograms.h"

namespace {

// Each colour channel raised to the uniform's power; the uniform's fourth component is 1, so
// alpha passes unchanged.
const char* const kGammaSource[] = {
    "uniform sampler2D tex;uniform vec4 GammaCorrection;void main()\n"
    "{\tvec4 color = texture2D(tex, gl_TexCoord[0].st);\tgl_FragColor = pow(color, GammaCorrection);}"};

// The effect shapes are stored at 1/256 of their value in the 16-bit textures; colour is scaled
// back and clamped, alpha kept. The GLSL variant's float suffixes belong to GLSL 1.20: Mesa
// accepts them in 1.10 with a warning, a stricter compiler refuses the variant and the preview
// draws the effects without it.
const char* const kScalingSourceFloatSuffixes[] = {
    "uniform sampler2D tex;vec4 ScaleMultiplier = vec4(256.0f, 256.0f, 256.0f, 1.0f);void main()\n"
    "{\tvec4 TextureColor = texture2D(tex, gl_TexCoord[0].xy);"
    "\tgl_FragColor = clamp(TextureColor * gl_Color * ScaleMultiplier, 0.0f, 1.0f);}"};
const char* const kScalingSource[] = {
    "uniform sampler2D tex;vec4 ScaleMultiplier = vec4(256.0, 256.0, 256.0, 1.0);void main()\n"
    "{\tvec4 TextureColor = texture2D(tex, gl_TexCoord[0].st);"
    "\tgl_FragColor = clamp(TextureColor * gl_Color * ScaleMultiplier, 0.0, 1.0);}"};

ShaderSourceList gGammaFragmentGLSL{GL_FRAGMENT_SHADER, kGammaSource, 1, 0};
ShaderSourceList gGammaFragmentARB{GL_FRAGMENT_SHADER, kGammaSource, 1, 0};
ShaderSourceList gScalingFragmentGLSL{GL_FRAGMENT_SHADER, kScalingSourceFloatSuffixes, 1, 0};
ShaderSourceList gScalingFragmentARB{GL_FRAGMENT_SHADER, kScalingSource, 1, 0};

// name, type, minimum version, maximum version, vertex lists, fragment lists, GLSL program, ARB
// program, created, variant index
ShaderProgram gGammaProgram[] = {
    {kGammaShaderProgram, SHADER_TYPE_GLSL, {1, 10, 59}, {-1, -1, -1}, {nullptr, nullptr}, {&gGammaFragmentGLSL, nullptr}, 0, 0, 0, 0},
    {kGammaShaderProgram, SHADER_TYPE_ARB,  {1, 10, 59}, {-1, -1, -1}, {nullptr, nullptr}, {&gGammaFragmentARB, nullptr},  0, 0, 0, 0},
};
ShaderProgram gShapeScalingProgram[] = {
    {kShapeScalingShaderProgram, SHADER_TYPE_GLSL, {1, 10, 59}, {-1, -1, -1}, {nullptr, nullptr}, {&gScalingFragmentGLSL, nullptr}, 0, 0, 0, 0},
    {kShapeScalingShaderProgram, SHADER_TYPE_ARB,  {1, 10, 59}, {-1, -1, -1}, {nullptr, nullptr}, {&gScalingFragmentARB, nullptr},  0, 0, 0, 0},
};

}  // namespace

bool RegisterBuiltInShaderPrograms() {
  return AddShaderProgram(gGammaProgram, int(std::size(gGammaProgram))) &&
         AddShaderProgram(gShapeScalingProgram, int(std::size(gShapeScalingProgram)));
}
