// The user's OpenGL drawing setting (registry, per machine) and the drawing flags and texture
// formats derived from it and from the driver at every preview start.
#pragma once
#include <windows.h>
#include <GL/glew.h>

#include <cstddef>
#include <cstdint>

enum OpenGLOptimization {
  OPTIMIZE_UNSET = 0,
  OPTIMIZE_FOR_QUALITY = 1,
  OPTIMIZE_FOR_SPEED = 2,
  OPTIMIZE_FOR_COMPATIBILITY = 3,
  OPTIMIZE_NONE = 4,
};

enum OpenGLVendor {
  VENDOR_UNKNOWN = 0, VENDOR_ATI = 1, VENDOR_NVIDIA = 2, VENDOR_INTEL = 3, VENDOR_MICROSOFT = 4,
  VENDOR_MESA = 5, VENDOR_VMWARE = 6, VENDOR_ASUS = 7, VENDOR_OTHER = 8,
};

enum MultisampleMode { MULTISAMPLE_NONE = 0, MULTISAMPLE_RENDERBUFFER = 1, MULTISAMPLE_TEXTURE = 2 };

struct OpenGLSettingsRecord {
  int32_t m_OpenGLDrawingMode = OPTIMIZE_UNSET;
  int32_t storedDrawingMode = OPTIMIZE_UNSET;  // as last read from or written to the registry
  char installedProductVersion[1024] = {};
};

struct TextureFormat {
  GLint internalFormat = 0;  // GLenum values kept as GLint, as glTexImage2D takes them
  unsigned bytesPerPixel = 0;
  GLenum dataType = 0;
};

struct OpenGLDrawingFlags {
  bool accelerated = false;
  bool UseOffscreenBitmap = false;
  bool UseShaderProgram = false;
  bool UseVertexBufferObjects = false;
  bool UsePixelBufferObjects = false;
  bool UseFrameBufferObjects = false;
  bool MustUsePowerOfTwoSizedTextures = false;
  bool UseMipMappedTextures = false;
  int multisampleMode = MULTISAMPLE_NONE;
  int maximumSamples = 0;
  int vendor = VENDOR_UNKNOWN;
  char versionNumber[64] = {};
  GLint maxViewportWidth = 0, maxViewportHeight = 0;
  GLint maxTextureWidth = 0, maxTextureHeight = 0;
  TextureFormat format8, format16, format32;
};

extern OpenGLSettingsRecord gOpenGLSettings;
extern OpenGLDrawingFlags gOpenGLDrawing;

// The machine's key, HKEY_LOCAL_MACHINE "Software\\Vellbrook Software\\HalvornPro\\3.0\\OpenGLSettings".
extern const wchar_t kOpenGLSettingsKey[];
// Tests keep their settings under a key of their own (null restores the machine's key).
void SetOpenGLSettingsKeyForTests(const wchar_t* subKey);

bool ReadOpenGLRegistryData(OpenGLSettingsRecord* settings);
bool WriteOpenGLRegistryData(OpenGLSettingsRecord* settings);
bool LoadOpenGLDrawingSettings();
// On the preview task, its context current and the pixel format's acceleration known.
bool InitializeOpenGLDrawingSettings(bool accelerated);
int DetermineOpenGLVendor();
void DetermineFBOSupport();
bool CharacterizeBestFormats();
// The default setting for the current context (or none): 1 to 4.
int ChooseDefaultOpenGLSetting(bool accelerated, bool softwareForced);
// The preview's colour texture format: the 16-bit selection when accelerated at setting 1 or 2.
TextureFormat PreviewColorTextureFormat();

// What the driver of the current context offers, as the drawing flags consult it.
struct OpenGLCapabilities {
  bool accelerated = false;
  int vendor = VENDOR_UNKNOWN;
  bool gl14 = false, gl15 = false, gl20 = false, gl21 = false, gl30 = false, gl31 = false, gl32 = false;
  bool vertexBufferObject = false;    // GL_ARB_vertex_buffer_object
  bool pixelBufferObject = false;     // GL_ARB_pixel_buffer_object
  bool textureNonPowerOfTwo = false;  // GL_ARB_texture_non_power_of_two
  bool framebufferObject = false;     // GL_ARB_framebuffer_object
  bool textureMultisample = false;    // GL_ARB_texture_multisample
};
OpenGLCapabilities CurrentOpenGLCapabilities(bool accelerated);

// The decisions, free of OpenGL calls.
int ClassifyOpenGLVendor(const char* vendorText);  // null: VENDOR_UNKNOWN
int DefaultOpenGLSetting(bool accelerated, bool openGL20, const char* vendorText, const char* rendererText);
void DecideFBOSupport(const OpenGLCapabilities& caps, int setting, int maximumSamples, OpenGLDrawingFlags* flags);
bool MustUsePowerOfTwoTextures(const OpenGLCapabilities& caps, int setting);
void DecideDrawingFlags(const OpenGLCapabilities& caps, int setting, OpenGLDrawingFlags* flags);
// Drivers whose formats are known without testing (the Microsoft software renderer): true and
// the three selections filled.
bool FixedTextureFormatsForVendor(int vendor, TextureFormat* format8, TextureFormat* format16, TextureFormat* format32);

// The log blocks of the settings and of the selected texture formats, and their names.
void LogOpenGLDrawingSettings();
const char* OpenGLSettingName(int setting);
const char* InternalFormatName(GLint internalFormat);
// "Unrecognized: 0x%X" for unknown types, written into the buffer.
const char* DataTypeName(GLenum type, char* buffer, size_t size);
