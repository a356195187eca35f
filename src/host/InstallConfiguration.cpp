// The installer's entry, run as "rundll32 HalvornPro3.8bf,InstallConfiguration <version>": it
// characterises the machine's OpenGL driver on a hidden context and stores the first drawing
// setting with the installed product version.
#include "host/InstallConfiguration.h"

#include <cstring>

#include "preview/OpenGLContext.h"
#include "preview/OpenGLSettings.h"
#include "support/DataFolders.h"
#include "support/DebugLog.h"
#include "support/ErrorReport.h"

namespace {

constexpr const char kProductName[] = "Halvorn Pro 3";

void Log(const char* text) { ErrorReport(__LINE__, TraceMessage).Report("%s", text); }

void OpenInstallationLog() {
  SetLogInstallerHeader(true);
  if (!InitializeLogQueue(kProductName)) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "Can't open the debug logging queue for debug event messages.");
  }
  MakeUserDataFolder();
  if (!OpenDebugLog(LogModeImmediate)) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "Can't open debug log file");
  }
}

// The version as the installer passed it, without surrounding blanks or quotes.
void CopyProductVersion(const char* commandLine, char* version, size_t capacity) {
  std::memset(version, 0, capacity);
  if (commandLine == nullptr) return;
  while (*commandLine == ' ' || *commandLine == '\t' || *commandLine == '"') ++commandLine;
  size_t length = strnlen(commandLine, capacity - 1);
  while (length > 0 && strchr(" \t\r\n\"", commandLine[length - 1]) != nullptr) --length;
  std::memcpy(version, commandLine, length);
}

void ConfigureOpenGL(const char* commandLine) {
  Log("Settings.ReadOpenGLRegistryData()\n\n");
  ReadOpenGLRegistryData(&gOpenGLSettings);
  Log("CreateHiddenOpenGLContext()\n\n");
  OpenGLContext context;
  PIXELFORMATDESCRIPTOR descriptor{};
  bool accelerated = true;
  if (!CreateHiddenOpenGLContext(&context, &descriptor, &accelerated)) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "InstallConfiguration() - Failed to create analysis context.");
    return;
  }
  gOpenGLSettings.m_OpenGLDrawingMode =
      InstallationSetting(gOpenGLSettings.m_OpenGLDrawingMode, accelerated, ChooseDefaultOpenGLSetting(accelerated, false));
  CopyProductVersion(commandLine, gOpenGLSettings.installedProductVersion, sizeof gOpenGLSettings.installedProductVersion);
  if (!WriteOpenGLRegistryData(&gOpenGLSettings)) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "InstallConfiguration() - Failed to write OpenGL settings to registery.");
  }
  Log("DestroyHiddenOpenGLContext()\n\n");
  DestroyHiddenOpenGLContext(&context);
}

}  // namespace

// A stored setting the installer keeps: 1 to 3 on hardware, and 4 always; anything else is
// replaced by the machine's default, and a hardware setting on a software-only machine by 4.
int InstallationSetting(int stored, bool accelerated, int machineDefault) {
  if (stored == OPTIMIZE_NONE) return OPTIMIZE_NONE;
  if (stored >= OPTIMIZE_FOR_QUALITY && stored <= OPTIMIZE_FOR_COMPATIBILITY) return accelerated ? stored : OPTIMIZE_NONE;
  return machineDefault;
}

extern "C" __declspec(dllexport) void CALLBACK InstallConfiguration(HWND, HINSTANCE, LPSTR commandLine, int) noexcept {
  try {
    OpenInstallationLog();
    Log("Beginning Installation Configuration\n\n");
    ConfigureOpenGL(commandLine);
  } catch (...) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "InstallConfiguration() - Unexpected exception.");
  }
  CloseDebugLog();
  ResetDataFolders();
}
