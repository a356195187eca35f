#include <gtest/gtest.h>
#include "support/PreviewTestWindow.h"
#include "TestSupport.h"
#include "preview/ProxyDisplay.h"
#include "preview/ProxyFrames.h"
#include "preview/OpenGLSettings.h"

TEST(Experiment, Present) {
  int mode = atoi(getenv("EXP_MODE") ? getenv("EXP_MODE") : "1");
  int setting = atoi(getenv("EXP_SETTING") ? getenv("EXP_SETTING") : "1");
  SetPresentationOverride(mode);
  PreviewHooks hooks;
  SetPreviewBackgroundColor(RGB(255, 0, 0));
  PreviewTestWindow window(setting, true, 300, 200);
  bool caught = window.PumpUntil([&] { return window.FramesCaughtUp(); });
  printf("caught=%d queued=%d presented=%d drawnByGL=%d\n", caught, window.QueuedFrame(), window.PresentedFrame(), PreviewDrawnByOpenGL());
  COLORREF c = 0; bool s = SampleScreenBitmap(150, 100, &c);
  printf("sample=%d color=%06lx\n", s, (unsigned long)c);
  fflush(stdout);
  WriteWholeFile(L"Z:\\tmp\\exp_ready", "x");
  window.PumpUntil([] { return false; }, 6000);
  SetPresentationOverride(-1);
}
