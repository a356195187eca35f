// The preview's OpenGL drawing settings: the vendor of the driver, the default setting for a
// machine, frame buffer object and multisample support, and the drawing flags derived from the
// setting and the driver's capabilities at every preview start.
#include <cctype>
#include <iterator>
#include <cstring>
#include <string>

#include "preview/OpenGLSettings.h"
#include "support/ErrorReport.h"

OpenGLDrawingFlags gOpenGLDrawing;

namespace {

// Vendor prefixes of the upper-cased GL_VENDOR text, in the order they are tried.
struct VendorRow {
  const char* prefix;
  int vendor;
};
constexpr VendorRow kVendors[] = {
    {"ATI ", VENDOR_ATI},           {"NVIDIA ", VENDOR_NVIDIA}, {"INTEL ", VENDOR_INTEL},
    {"MICROSOFT ", VENDOR_MICROSOFT}, {"MESA ", VENDOR_MESA},   {"VMWARE, ", VENDOR_VMWARE},
    {"ASUS ", VENDOR_ASUS},
};
static_assert(std::size(kVendors) == VENDOR_OTHER - 1, "one row per named vendor");

std::string Folded(const char* text, int (*fold)(int)) {
  std::string folded(text);
  for (char& c : folded) c = char(fold(static_cast<unsigned char>(c)));
  return folded;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.compare(0, strlen(prefix), prefix) == 0; }

bool fboDetermined = false;

}  // namespace

// A prefix matches when the vendor text starts with it, or when the text is the prefix's name
// alone: today's drivers report "Intel" or "Mesa" without the company suffix the prefixes expect.
int ClassifyOpenGLVendor(const char* vendorText) {
  if (vendorText == nullptr) return VENDOR_UNKNOWN;
  std::string vendor = Folded(vendorText, toupper);
  for (const VendorRow& row : kVendors) {
    std::string name(row.prefix, strcspn(row.prefix, " ,"));
    if (StartsWith(vendor, row.prefix) || vendor == name) return row.vendor;
  }
  return VENDOR_OTHER;
}

int DetermineOpenGLVendor() {
  const char* vendor = reinterpret_cast<const char*>(glGetString(GL_VENDOR));
  if (vendor == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "DetermineOpenGLVendor() - Failed to obtain OpenGL vendor string.");
    return VENDOR_UNKNOWN;
  }
  return ClassifyOpenGLVendor(vendor);
}

// Accelerated drivers with OpenGL 2.0 get the best quality, older ones the compatible setting.
// Radeon-class ATI chips keep that default, other ATI renderers (FireGL, Rage, unknown) are safer
// with the compatible setting, and one GeForce known for slow 16-bit textures gets speed.
int DefaultOpenGLSetting(bool accelerated, bool openGL20, const char* vendorText, const char* rendererText) {
  if (!accelerated) return OPTIMIZE_NONE;
  int setting = openGL20 ? OPTIMIZE_FOR_QUALITY : OPTIMIZE_FOR_COMPATIBILITY;
  int vendor = ClassifyOpenGLVendor(vendorText);
  std::string renderer = rendererText != nullptr ? rendererText : "";
  if (vendor == VENDOR_ATI) {
    std::string lower = Folded(renderer.c_str(), tolower);
    if (!StartsWith(lower, "radeon") && !StartsWith(lower, "1950")) setting = OPTIMIZE_FOR_COMPATIBILITY;
  } else if (vendor == VENDOR_NVIDIA && renderer == "GeForce 8600 GT/PCI/SSE2") {
    setting = OPTIMIZE_FOR_SPEED;
  }
  return setting;
}

int ChooseDefaultOpenGLSetting(bool accelerated, bool softwareForced) {
  if (wglGetCurrentContext() == nullptr) return softwareForced ? OPTIMIZE_NONE : OPTIMIZE_UNSET;
  if (softwareForced) accelerated = false;
  return DefaultOpenGLSetting(accelerated, GLEW_VERSION_2_0, reinterpret_cast<const char*>(glGetString(GL_VENDOR)),
                              reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
}

OpenGLCapabilities CurrentOpenGLCapabilities(bool accelerated) {
  OpenGLCapabilities caps;
  caps.accelerated = accelerated;
  caps.vendor = gOpenGLDrawing.vendor;
  caps.gl14 = GLEW_VERSION_1_4; caps.gl15 = GLEW_VERSION_1_5; caps.gl20 = GLEW_VERSION_2_0;
  caps.gl21 = GLEW_VERSION_2_1; caps.gl30 = GLEW_VERSION_3_0; caps.gl31 = GLEW_VERSION_3_1;
  caps.gl32 = GLEW_VERSION_3_2;
  caps.vertexBufferObject = GLEW_ARB_vertex_buffer_object;
  caps.pixelBufferObject = GLEW_ARB_pixel_buffer_object;
  caps.textureNonPowerOfTwo = GLEW_ARB_texture_non_power_of_two;
  caps.framebufferObject = GLEW_ARB_framebuffer_object;
  caps.textureMultisample = GLEW_ARB_texture_multisample;
  return caps;
}

// Settings 3 and 4 and software formats draw with OpenGL 1.1 only, whatever the driver offers.
void DecideFBOSupport(const OpenGLCapabilities& caps, int setting, int maximumSamples, OpenGLDrawingFlags* flags) {
  bool multisampleQuery = caps.gl30 || caps.textureMultisample;
  int samples = multisampleQuery && setting == OPTIMIZE_FOR_QUALITY && maximumSamples > 1 ? maximumSamples : 0;
  bool basic = setting != OPTIMIZE_FOR_COMPATIBILITY && setting != OPTIMIZE_NONE && caps.accelerated;
  flags->UseFrameBufferObjects = false;
  flags->multisampleMode = MULTISAMPLE_NONE;
  flags->maximumSamples = 0;
  if (!basic) return;
  if (caps.gl32 || (caps.gl31 && caps.textureMultisample)) {
    flags->UseFrameBufferObjects = true;
    flags->multisampleMode = samples > 0 ? MULTISAMPLE_TEXTURE : MULTISAMPLE_NONE;
  } else if (caps.gl30 || caps.framebufferObject) {
    flags->UseFrameBufferObjects = true;
    flags->multisampleMode = samples > 0 ? MULTISAMPLE_RENDERBUFFER : MULTISAMPLE_NONE;
  }
  flags->maximumSamples = flags->UseFrameBufferObjects ? samples : 0;
}

void DetermineFBOSupport() {
  if (fboDetermined) return;
  fboDetermined = true;
  OpenGLCapabilities caps = CurrentOpenGLCapabilities(gOpenGLDrawing.accelerated);
  GLint maximumSamples = 0;
  if (caps.gl30 || caps.textureMultisample) glGetIntegerv(GL_MAX_SAMPLES, &maximumSamples);
  DecideFBOSupport(caps, gOpenGLSettings.m_OpenGLDrawingMode, maximumSamples, &gOpenGLDrawing);
  OpenGLErrorReport(__LINE__, OpenGLError, glGetError()).Report(kStyleError, kTitleUnexpectedError, "Error in DetermineFBOSupport().\n");
}

bool MustUsePowerOfTwoTextures(const OpenGLCapabilities& caps, int setting) {
  if (setting == OPTIMIZE_FOR_COMPATIBILITY || setting == OPTIMIZE_NONE || !caps.accelerated) return true;
  if (caps.gl20) return caps.vendor == VENDOR_NVIDIA && !caps.textureNonPowerOfTwo;
  if (caps.gl14) return !caps.textureNonPowerOfTwo;
  return true;
}

void DecideDrawingFlags(const OpenGLCapabilities& caps, int setting, OpenGLDrawingFlags* flags) {
  bool advanced = setting != OPTIMIZE_FOR_COMPATIBILITY && setting != OPTIMIZE_NONE && caps.accelerated;
  flags->accelerated = caps.accelerated;
  flags->UseOffscreenBitmap = !caps.accelerated;
  flags->UseShaderProgram = advanced;
  flags->UseVertexBufferObjects = advanced && (caps.gl15 || (caps.gl14 && caps.vertexBufferObject));
  flags->UsePixelBufferObjects = flags->UseVertexBufferObjects && (caps.gl21 || (caps.gl20 && caps.pixelBufferObject));
  flags->MustUsePowerOfTwoSizedTextures = MustUsePowerOfTwoTextures(caps, setting);
  flags->UseMipMappedTextures = (caps.gl30 || caps.framebufferObject) && caps.accelerated &&
                                (setting == OPTIMIZE_FOR_QUALITY || setting == OPTIMIZE_FOR_SPEED);
}

namespace {

void RecordVersionNumber() {
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  std::string number = version != nullptr ? std::string(version, strcspn(version, " ")) : std::string();
  snprintf(gOpenGLDrawing.versionNumber, sizeof gOpenGLDrawing.versionNumber, "%s", number.c_str());
}

void RecordLimits() {
  GLint viewport[2] = {}, textureSize = 0;
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &textureSize);
  gOpenGLDrawing.maxViewportWidth = viewport[0];
  gOpenGLDrawing.maxViewportHeight = viewport[1];
  gOpenGLDrawing.maxTextureWidth = gOpenGLDrawing.maxTextureHeight = textureSize;
  OpenGLErrorReport(__LINE__, OpenGLError, glGetError())
      .Report(kStyleError, kTitleUnexpectedError, "Error retrieving GL_MAX_VIEWPORT_DIMS or GL_MAX_TEXTURE_SIZE.\n");
}

}  // namespace

// An unset or unknown setting is characterised now and stored, so that later previews and the
// options dialog see the machine's setting.
bool InitializeOpenGLDrawingSettings(bool accelerated) {
  int& setting = gOpenGLSettings.m_OpenGLDrawingMode;
  if (setting <= OPTIMIZE_UNSET || setting > OPTIMIZE_NONE) {
    setting = ChooseDefaultOpenGLSetting(accelerated, false);
    if (!WriteOpenGLRegistryData(&gOpenGLSettings)) {
      ErrorReport(__LINE__, DebugMessage)
          .Report(kStyleError, kTitleUnexpectedError, "InitializeOpenGLDrawingSettings() - Could not write OpenGL settings to registry.");
    }
  }
  gOpenGLDrawing = OpenGLDrawingFlags{};
  gOpenGLDrawing.accelerated = accelerated;
  RecordVersionNumber();
  gOpenGLDrawing.vendor = DetermineOpenGLVendor();
  fboDetermined = false;
  DetermineFBOSupport();
  RecordLimits();
  OpenGLCapabilities caps = CurrentOpenGLCapabilities(accelerated);
  gOpenGLDrawing.MustUsePowerOfTwoSizedTextures = MustUsePowerOfTwoTextures(caps, setting);
  bool formatsFound = CharacterizeBestFormats();
  DecideDrawingFlags(caps, setting, &gOpenGLDrawing);
  LogOpenGLDrawingSettings();
  return formatsFound;
}
