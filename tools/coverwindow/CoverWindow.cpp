// A window of another program for the driver's tests: "cover_window LEFT TOP WIDTH HEIGHT MS"
// shows a white popup there without taking the foreground, as the windows of tests running beside
// a driven dialog appear, and closes it after MS milliseconds.
#include <windows.h>

#include <cwchar>

namespace {

LRESULT CALLBACK CoverProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    DestroyWindow(window);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr || count != 6) return 2;
  long values[5] = {};
  for (int i = 0; i < 5; ++i) values[i] = wcstol(arguments[i + 1], nullptr, 10);
  LocalFree(arguments);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = CoverProcedure;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = L"HalvornCoverWindow";
  if (RegisterClassW(&windowClass) == 0) return 1;
  HWND window = CreateWindowExW(WS_EX_NOACTIVATE, L"HalvornCoverWindow", L"", WS_POPUP, values[0], values[1], values[2],
                                values[3], nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  ShowWindow(window, SW_SHOWNOACTIVATE);
  UpdateWindow(window);
  SetTimer(window, 1, UINT(values[4]), nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  return 0;
}
