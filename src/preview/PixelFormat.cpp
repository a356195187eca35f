// The choice of a window's pixel format: a double-buffered hardware format when the driver has
// one, else the generic software format that draws into a memory bitmap.
#include <cstdint>

#include "preview/OpenGLContext.h"
#include "support/ErrorReport.h"

namespace {

// 32-bit RGBA with alpha, usable by OpenGL without a palette.
bool QualifiesForPreview(const PIXELFORMATDESCRIPTOR& format) {
  return (format.dwFlags & PFD_SUPPORT_OPENGL) != 0 &&
         (format.dwFlags & (PFD_NEED_PALETTE | PFD_NEED_SYSTEM_PALETTE)) == 0 && format.iPixelType == PFD_TYPE_RGBA &&
         format.cColorBits == 32 && format.cAlphaBits != 0;
}

}  // namespace

bool IsHardwarePixelFormat(const PIXELFORMATDESCRIPTOR& format) {
  return QualifiesForPreview(format) && (format.dwFlags & (PFD_GENERIC_FORMAT | PFD_GENERIC_ACCELERATED)) == 0 &&
         (format.dwFlags & PFD_DRAW_TO_WINDOW) != 0 && (format.dwFlags & PFD_DOUBLEBUFFER) != 0;
}

bool IsSoftwarePixelFormat(const PIXELFORMATDESCRIPTOR& format) {
  return QualifiesForPreview(format) && (format.dwFlags & PFD_GENERIC_FORMAT) != 0 &&
         (format.dwFlags & PFD_GENERIC_ACCELERATED) == 0 && (format.dwFlags & PFD_DRAW_TO_BITMAP) != 0 &&
         (format.dwFlags & PFD_SUPPORT_GDI) != 0 && (format.dwFlags & PFD_DOUBLEBUFFER) == 0;
}

int SelectPixelFormat(HWND window, bool forceSoftware, PIXELFORMATDESCRIPTOR* descriptor, bool* accelerated) {
  ErrorReport(__LINE__, TraceMessage).Report("Getting number of pixel formats.\n\n");
  HDC deviceContext = GetDC(window);
  int count = deviceContext != nullptr ? DescribePixelFormat(deviceContext, 1, sizeof(PIXELFORMATDESCRIPTOR), nullptr) : 0;
  if (count == 0) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Can't obtain the number of pixel formats available.");
    if (deviceContext != nullptr) ReleaseDC(window, deviceContext);
    return 0;
  }
  int hardware = 0, software = 0;
  PIXELFORMATDESCRIPTOR hardwareFormat{}, softwareFormat{}, format{};
  for (int number = 1; number <= count && hardware == 0; ++number) {
    if (DescribePixelFormat(deviceContext, number, sizeof format, &format) == 0) {
      ErrorReport(__LINE__, SystemError, GetLastError())
          .Report(kStyleError, kTitleUnexpectedError, "Failed while enumerating Device Context 0x%X.",
                  unsigned(uintptr_t(deviceContext)));
      break;
    }
    if (!forceSoftware && IsHardwarePixelFormat(format)) {
      hardware = number;
      hardwareFormat = format;
    } else if (software == 0 && IsSoftwarePixelFormat(format)) {
      software = number;
      softwareFormat = format;
    }
  }
  ReleaseDC(window, deviceContext);
  int chosen = hardware != 0 ? hardware : software;
  if (chosen == 0) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "Failed to find any match for the requested window pixel format.");
    return 0;
  }
  *accelerated = hardware != 0;
  *descriptor = hardware != 0 ? hardwareFormat : softwareFormat;
  ErrorReport(__LINE__, TraceMessage)
      .Report("Selected pixel format = %d, GPU Acceleration = %s.\n\n", chosen, *accelerated ? "Yes" : "No");
  return chosen;
}

// A memory device context may number its formats differently from the window it is compatible
// with (Wine lists only its generic formats there): the window's number is kept when it means
// the same kind of format on the memory DC, else the first memory-DC format of that kind is used.
int MatchBitmapPixelFormat(HDC memoryContext, int pixelFormat, const PIXELFORMATDESCRIPTOR& wanted) {
  PIXELFORMATDESCRIPTOR format{};
  if (DescribePixelFormat(memoryContext, pixelFormat, sizeof format, &format) != 0 &&
      (format.dwFlags & PFD_DRAW_TO_BITMAP) != 0 && format.cColorBits == wanted.cColorBits &&
      format.cAlphaBits == wanted.cAlphaBits && QualifiesForPreview(format)) {
    return pixelFormat;
  }
  int count = DescribePixelFormat(memoryContext, 1, sizeof format, nullptr);
  for (int number = 1; number <= count; ++number) {
    if (DescribePixelFormat(memoryContext, number, sizeof format, &format) != 0 && IsSoftwarePixelFormat(format)) {
      return number;
    }
  }
  return pixelFormat;
}
