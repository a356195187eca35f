// The debug log's record of a preview's OpenGL drawing settings and selected texture formats,
// with the names of settings, internal formats and data types.
#include <iterator>

#include "preview/OpenGLSettings.h"
#include "support/ErrorReport.h"

namespace {

struct NamedEnum {
  GLenum value;
  const char* name;
};

#define NAMED(value) {value, #value}
constexpr NamedEnum kInternalFormats[] = {
    NAMED(GL_ALPHA4), NAMED(GL_ALPHA8), NAMED(GL_ALPHA12), NAMED(GL_ALPHA16),
    NAMED(GL_LUMINANCE4), NAMED(GL_LUMINANCE8), NAMED(GL_LUMINANCE12), NAMED(GL_LUMINANCE16),
    NAMED(GL_LUMINANCE4_ALPHA4), NAMED(GL_LUMINANCE6_ALPHA2), NAMED(GL_LUMINANCE8_ALPHA8),
    NAMED(GL_LUMINANCE12_ALPHA4), NAMED(GL_LUMINANCE12_ALPHA12), NAMED(GL_LUMINANCE16_ALPHA16),
    NAMED(GL_INTENSITY), NAMED(GL_INTENSITY4), NAMED(GL_INTENSITY8), NAMED(GL_INTENSITY12), NAMED(GL_INTENSITY16),
    NAMED(GL_R3_G3_B2), NAMED(GL_RGB4), NAMED(GL_RGB5), NAMED(GL_RGB8), NAMED(GL_RGB10), NAMED(GL_RGB12),
    NAMED(GL_RGB16), NAMED(GL_RGBA2), NAMED(GL_RGBA4), NAMED(GL_RGB5_A1), NAMED(GL_RGBA8), NAMED(GL_RGB10_A2),
    NAMED(GL_RGBA12), NAMED(GL_RGBA16), NAMED(GL_ALPHA), NAMED(GL_LUMINANCE), NAMED(GL_LUMINANCE_ALPHA),
    NAMED(GL_RGB), NAMED(GL_RGBA), NAMED(GL_SRGB8), NAMED(GL_SRGB8_ALPHA8), NAMED(GL_FLOAT_RGBA16_NV),
    NAMED(GL_FLOAT_RGBA32_NV), NAMED(GL_RGB16F), NAMED(GL_RGBA16F), NAMED(GL_RGB32F), NAMED(GL_RGBA32F),
};
constexpr NamedEnum kDataTypes[] = {
    NAMED(GL_BYTE), NAMED(GL_UNSIGNED_BYTE), NAMED(GL_SHORT), NAMED(GL_UNSIGNED_SHORT), NAMED(GL_INT),
    NAMED(GL_UNSIGNED_INT), NAMED(GL_FLOAT), NAMED(GL_2_BYTES), NAMED(GL_3_BYTES), NAMED(GL_4_BYTES),
    NAMED(GL_DOUBLE), NAMED(GL_HALF_FLOAT),
};
#undef NAMED

constexpr const char* kSettingNames[] = {"OPTIMIZE_FOR_QUALITY", "OPTIMIZE_FOR_SPEED", "OPTIMIZE_FOR_COMPATIBILITY",
                                         "OPTIMIZE_NONE"};
static_assert(std::size(kSettingNames) == OPTIMIZE_NONE, "one name per setting 1 to 4");

constexpr const char* kMultisampleNames[] = {"None", "Multisampled RenderBuffer", "Multisampled Texture"};

template <size_t N>
const char* NameOf(const NamedEnum (&table)[N], GLenum value) {
  for (const NamedEnum& row : table) {
    if (row.value == value) return row.name;
  }
  return nullptr;
}

const char* TrueFalse(bool value) { return value ? "true" : "false"; }

const char* MultisampleName(int mode) {
  return mode >= 0 && size_t(mode) < std::size(kMultisampleNames) ? kMultisampleNames[mode] : "None";
}

}  // namespace

const char* OpenGLSettingName(int setting) {
  return setting >= OPTIMIZE_FOR_QUALITY && setting <= OPTIMIZE_NONE ? kSettingNames[setting - 1] : "Unrecognized Setting";
}

const char* InternalFormatName(GLint internalFormat) {
  const char* name = NameOf(kInternalFormats, GLenum(internalFormat));
  return name != nullptr ? name : "Unrecognized";
}

const char* DataTypeName(GLenum type, char* buffer, size_t size) {
  if (const char* name = NameOf(kDataTypes, type)) return name;
  snprintf(buffer, size, "Unrecognized: 0x%X", unsigned(type));
  return buffer;
}

void LogOpenGLDrawingSettings() {
  const OpenGLDrawingFlags& d = gOpenGLDrawing;
  ErrorReport(__LINE__, TraceMessage)
      .Report("OpenGL Options settings:\n\n\tOpenGL Optimization Setting = %s\n\tUseOffscreenBitmap = %s\n"
              "\tUseVertexBufferObjects = %s\n\tUseFrameBufferObjects = %s\n\tUsePixelBufferObjects = %s\n"
              "\tUseShaderProgram = %s\n\tMustUsePowerOfTwoSizedTextures = %s\n\tUse MipMapped Textures = %s\n"
              "\tUse Multisample Mode = %s\n\tMaximum NNumber Of Samples = %d\n\n",
              OpenGLSettingName(gOpenGLSettings.m_OpenGLDrawingMode), TrueFalse(d.UseOffscreenBitmap),
              TrueFalse(d.UseVertexBufferObjects), TrueFalse(d.UseFrameBufferObjects), TrueFalse(d.UsePixelBufferObjects),
              TrueFalse(d.UseShaderProgram), TrueFalse(d.MustUsePowerOfTwoSizedTextures), TrueFalse(d.UseMipMappedTextures),
              MultisampleName(d.multisampleMode), d.maximumSamples);
  char type8[32], type16[32], type32[32];
  ErrorReport(__LINE__, TraceMessage)
      .Report("Selected Internal Texture Formats:\n\n"
              "\t 8 bit color: Format = %s, Pixel Depth = %u bytes, Data Type = %s\n"
              "\t16 bit color: Format = %s, Pixel Depth = %u bytes, Data Type = %s\n"
              "\t32 bit color: Format = %s, Pixel Depth = %u bytes, Data Type = %s\n\n",
              InternalFormatName(d.format8.internalFormat), d.format8.bytesPerPixel,
              DataTypeName(d.format8.dataType, type8, sizeof type8), InternalFormatName(d.format16.internalFormat),
              d.format16.bytesPerPixel, DataTypeName(d.format16.dataType, type16, sizeof type16),
              InternalFormatName(d.format32.internalFormat), d.format32.bytesPerPixel,
              DataTypeName(d.format32.dataType, type32, sizeof type32));
}
