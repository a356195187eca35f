// The preview's test windows and hooks; see PreviewTestWindow.h.
#include "PreviewTestWindow.h"

#include "TestSupport.h"
#include "preview/OpenGLSettings.h"
#include "preview/PreviewViewState.h"
#include "preview/ProxyDisplay.h"

std::atomic<bool> gTestAnalysisReady{true};
std::atomic<int> gTestStartupCompletions{0};
std::atomic<int> gTestParametersReceived{0};
std::atomic<bool> gHoldFrames{false};
std::atomic<bool> gHoldIgnoresAbort{false};
std::atomic<int> gFramesHeld{0};

namespace {

std::mutex gDrawnLock;
std::vector<DrawnRequest> gDrawn;
PreviewProductHook gDefaultHook = nullptr;
constexpr wchar_t kTestFrameClass[] = L"HalvornPreviewTestFrame";

void RegisterClasses() {
  static bool registered = [] {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW frame{};
    frame.cbSize = sizeof frame;
    frame.lpfnWndProc = DefWindowProcW;
    frame.hInstance = instance;
    frame.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    frame.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    frame.lpszClassName = kTestFrameClass;
    RegisterClassExW(&frame);
    return CreateProxyDisplayClass(instance, 0);
  }();
  (void)registered;
}

}  // namespace

void* TestProductHook(int operation, void* record) {
  void* result = gDefaultHook(operation, record);
  if (operation == PRODUCT_WAIT_FOR_INITIALIZATION) {
    auto* wait = static_cast<WaitForInitializationRecord*>(record);
    if (wait->state == INITSTATE_COMPLETE) gTestStartupCompletions.fetch_add(1);
    if (wait->state == INITSTATE_PARAMETERS_RECEIVED) gTestParametersReceived.fetch_add(1);
    wait->ready = gTestAnalysisReady.load();
  }
  return result;
}

void RecordingFrameHook(const PendingParameterSet& entry) {
  DrawnRequest drawn{entry.parameterSet->id, entry.region != nullptr, RECT{}, 0};
  if (entry.region != nullptr) {
    GetRgnBox(entry.region, &drawn.regionBox);
    drawn.regionRectangles = int((GetRegionData(entry.region, 0, nullptr) - sizeof(RGNDATAHEADER)) / sizeof(RECT));
  }
  {
    std::lock_guard<std::mutex> guard(gDrawnLock);
    gDrawn.push_back(drawn);
  }
  if (!gHoldFrames.load()) return;
  gFramesHeld.fetch_add(1);
  // The hold ends when the test lets go, or when the task is told to stop (unless the test
  // plays a frame that ignores it); the long limit only keeps a broken test from hanging.
  WaitUntil([] { return !gHoldFrames.load() || (!gHoldIgnoresAbort.load() && PreviewAborted()); }, 60000);
}

std::vector<DrawnRequest> DrawnRequests() {
  std::lock_guard<std::mutex> guard(gDrawnLock);
  return gDrawn;
}

void ClearDrawnRequests() {
  std::lock_guard<std::mutex> guard(gDrawnLock);
  gDrawn.clear();
}

PreviewHooks::PreviewHooks() {
  gDefaultHook = SetPreviewProductHook(nullptr);
  SetPreviewProductHook(TestProductHook);
  SetPreviewFrameHook(RecordingFrameHook);
  gTestAnalysisReady = true;
  gTestStartupCompletions = 0;
  gTestParametersReceived = 0;
  gHoldFrames = false;
  gHoldIgnoresAbort = false;
  gFramesHeld = 0;
  DialogIsTerminating = false;
  ClearDrawnRequests();
}

PreviewHooks::~PreviewHooks() {
  gHoldFrames = false;
  SetPreviewFrameHook(nullptr);
  SetPreviewProductHook(nullptr);
}

PreviewTestWindow::PreviewTestWindow(int drawingSetting, bool signalDialog, int width, int height) {
  RegisterClasses();
  m_PreviousSetting = gOpenGLSettings.m_OpenGLDrawingMode;
  gOpenGLSettings.m_OpenGLDrawingMode = drawingSetting;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  // Shown without taking the foreground: a dialog test driving the input queue may be running
  // beside this one, and must keep its focus.
  m_Frame = CreateWindowExW(WS_EX_NOACTIVATE, kTestFrameClass, L"Preview test", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                            20, 20, width + 60, height + 80, nullptr, nullptr, instance, nullptr);
  ShowWindow(m_Frame, SW_SHOWNOACTIVATE);
  m_Preview = CreateWindowExW(0, L"ProxyDisplay", L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 10, 10, width, height,
                              m_Frame, reinterpret_cast<HMENU>(1040), instance, nullptr);
  gPreviewViewState = PreviewViewState{};
  gPreviewViewState.previewWindow = m_Preview;
  if (signalDialog) SignalMainDialogInitialized();
}

PreviewTestWindow::~PreviewTestWindow() {
  DestroyPreview();
  if (m_Frame != nullptr) DestroyWindow(m_Frame);
  gOpenGLSettings.m_OpenGLDrawingMode = m_PreviousSetting;
  gPreviewViewState = PreviewViewState{};
}

void PreviewTestWindow::DestroyPreview() {
  if (m_Preview == nullptr) return;
  RequestBackgroundTaskTermination();
  DestroyWindow(m_Preview);
  m_Preview = nullptr;
}

bool PreviewTestWindow::PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  return WaitUntil(
      [&] {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
          TranslateMessage(&message);
          DispatchMessageW(&message);
        }
        return condition();
      },
      timeoutMs);
}

int PreviewTestWindow::QueuedFrame() const {
  return int(reinterpret_cast<INT_PTR>(GetPropW(m_Preview, kQueuedFrameProperty)));
}

int PreviewTestWindow::PresentedFrame() const {
  return int(reinterpret_cast<INT_PTR>(GetPropW(m_Preview, kPresentedFrameProperty)));
}

bool PreviewTestWindow::FramesCaughtUp() const {
  int queued = QueuedFrame();
  return queued > 0 && PresentedFrame() >= queued;
}

HRGN MakeRegion(int left, int top, int right, int bottom) { return CreateRectRgn(left, top, right, bottom); }

HBITMAP MakeSplashBitmap(int width, int height, COLORREF colour, int bitCount, bool bottomUp) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = bottomUp ? height : -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = WORD(bitCount);
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) return nullptr;
  int bytesPerPixel = bitCount / 8;
  int stride = (width * bytesPerPixel + 3) & ~3;
  for (int y = 0; y < height; ++y) {
    auto* pixel = static_cast<uint8_t*>(bits) + y * stride;
    for (int x = 0; x < width; ++x, pixel += bytesPerPixel) {
      pixel[0] = GetBValue(colour);
      pixel[1] = GetGValue(colour);
      pixel[2] = GetRValue(colour);
      if (bytesPerPixel == 4) pixel[3] = 0xFF;
    }
  }
  return bitmap;
}
