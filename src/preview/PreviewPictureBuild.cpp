#include "preview/PreviewPictureBuild.h"

#include <windows.h>
#include <process.h>

#include <atomic>

#include "core/ThreadEntry.h"
#include "preview/BackgroundTask.h"
#include "preview/OpenGLSettings.h"
#include "preview/PreviewImageSource.h"
#include "support/ErrorReport.h"

namespace {

constexpr DWORD kAbortPollMs = 20;
// The build polls its cancel flag per row of bands; this only bounds a broken build.
constexpr DWORD kStopLimitMs = 30000;

struct PictureBuild {
  HANDLE thread = nullptr;
  volatile bool cancel = false;
  std::atomic<bool> succeeded{false};
  PreviewImageSource source;
  int32_t levelZeroMode = 0;  // of the build started last; 0 before any
};
// The dialog's thread starts the build before the preview task exists and stops it after the
// task has ended; in between only the preview task touches it, apart from the build's own thread.
PictureBuild gBuild;

unsigned __stdcall BuildPicture(void*) noexcept {
  RunGuarded("BuildPicture", [] { gBuild.succeeded.store(gBuild.source.render(&gBuild.cancel)); });
  return 0;
}

}  // namespace

bool StartPreviewPictureBuild(int32_t levelZeroMode) {
  if (gBuild.levelZeroMode == levelZeroMode && (gBuild.thread != nullptr || gBuild.succeeded.load())) return true;
  StopPreviewPictureBuild();
  gBuild.source = CurrentPreviewImageSource();
  gBuild.cancel = false;
  gBuild.succeeded.store(false);
  gBuild.levelZeroMode = levelZeroMode;
  if (gBuild.source.render == nullptr) return false;
  // A picture built at another depth is not the one asked for.
  if (gBuild.source.release != nullptr) gBuild.source.release();
  if (gBuild.source.setLevelZeroMode != nullptr) gBuild.source.setLevelZeroMode(levelZeroMode);
  unsigned id = 0;
  gBuild.thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, BuildPicture, nullptr, 0, &id));
  if (gBuild.thread == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Could not start building the preview's picture.");
    return false;
  }
  return true;
}

bool WaitForPreviewPicture() {
  if (gBuild.thread == nullptr) {
    PreviewImageSource source = CurrentPreviewImageSource();
    return source.render != nullptr && source.render(PreviewAbortFlag());
  }
  for (;;) {
    DWORD waited = WaitForSingleObject(gBuild.thread, kAbortPollMs);
    if (waited == WAIT_OBJECT_0) break;
    if (waited != WAIT_TIMEOUT) {
      ErrorReport(__LINE__, SystemError, GetLastError())
          .Report(kStyleError, kTitleUnexpectedError, "Wait for the preview's picture failed.");
      return false;
    }
    if (PreviewAborted()) return false;
  }
  CloseHandle(gBuild.thread);
  gBuild.thread = nullptr;
  return gBuild.succeeded.load();
}

int32_t ExpectedLevelZeroMode() {
  return gOpenGLSettings.m_OpenGLDrawingMode == OPTIMIZE_FOR_QUALITY ? plugInModeRGB48 : plugInModeRGBColor;
}

void ForgetPreviewPictureBuild() {
  StopPreviewPictureBuild();
  gBuild.succeeded.store(false);
  gBuild.levelZeroMode = 0;
}

void StopPreviewPictureBuild() {
  if (gBuild.thread == nullptr) return;
  gBuild.cancel = true;
  if (WaitForSingleObject(gBuild.thread, kStopLimitMs) != WAIT_OBJECT_0) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "The preview's picture was still being built when the preview closed.");
  }
  CloseHandle(gBuild.thread);
  gBuild.thread = nullptr;
}
