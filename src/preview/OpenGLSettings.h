// The user's OpenGL drawing setting (registry, per machine) and the drawing flags and texture
// formats derived from it and from the driver at every preview start.
#pragma once
#include <windows.h>
#include <GL/gl.h>

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
