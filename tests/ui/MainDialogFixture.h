// The main dialog opened modelessly in the test process from the plug-in's own template, with a
// result cell and a current parameter block of its own and a plain window in place of the
// preview; messages are pumped by the test.
#pragma once
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include "core/RunResult.h"
#include "params/ParameterBlock.h"
#include "params/ParameterBlockService.h"
#include "support/ModuleInstance.h"
#include "ui/AcceleratorKeys.h"
#include "ui/MainDialog.h"
#include "ui/MainDialogState.h"
#include "ui/ToolTips.h"
#include "ui/UISettings.h"

class MainDialogFixture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    wchar_t path[MAX_PATH];
    GetSystemDirectoryW(path, MAX_PATH);
    wcscat_s(path, MAX_PATH, L"\\riched20.dll");
    LoadLibraryW(path);
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    // The preview window is a plain window here: these tests are of the dialog, and a preview
    // task per opening would draw with OpenGL for nothing. Filter runs use the real one.
    WNDCLASSEXW standIn{};
    standIn.cbSize = sizeof standIn;
    standIn.lpfnWndProc = DefWindowProcW;
    standIn.hInstance = GetPluginInstance();
    standIn.lpszClassName = L"ProxyDisplay";
    RegisterClassExW(&standIn);
  }
  static void TearDownTestSuite() { UnregisterClassW(L"ProxyDisplay", GetPluginInstance()); }
  void SetUp() override {
    m_SavedResult = gResult;
    gResult = &m_Cell;
    gUISettings = DefaultUISettings();
    m_Block = InitialParameterBlock();
    BindCurrentParameterBlock(&m_Block);
  }
  void TearDown() override {
    Close();
    FreeDialogAccelerators();
    DestroyToolTipControl();
    BindCurrentParameterBlock(nullptr);
    gUISettings = DefaultUISettings();
    gResult = m_SavedResult;
  }
  HWND Open(HWND parent = nullptr) {
    m_Dialog = CreateDialogParamW(GetPluginInstance(), kMainDialogTemplate, parent, HalvornProc, 0);
    EXPECT_NE(m_Dialog, nullptr) << GetLastError();
    ShowWindow(m_Dialog, SW_SHOW);
    Pump();
    return m_Dialog;
  }
  void Close() {
    if (m_Dialog != nullptr && IsWindow(m_Dialog)) DestroyWindow(m_Dialog);
    m_Dialog = nullptr;
    Pump();
  }
  void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (m_Dialog == nullptr || !IsDialogMessageW(m_Dialog, &message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
  }
  void Click(int id) {
    SendMessageW(m_Dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(m_Dialog, id)));
  }
  // A control's rectangle in the dialog's client coordinates.
  RECT ChildRect(int id) const {
    RECT r{};
    GetWindowRect(GetDlgItem(m_Dialog, id), &r);
    MapWindowPoints(nullptr, m_Dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  std::wstring Text(int id) const {
    wchar_t text[256] = {};
    GetDlgItemTextW(m_Dialog, id, text, 256);
    return text;
  }
  const MainDialogState& State() const {
    static const MainDialogState kClosed{};
    const MainDialogState* state = CurrentMainDialog();
    return state != nullptr ? *state : kClosed;
  }

  int16_t m_Cell = 0;
  int16_t* m_SavedResult = nullptr;
  ParameterBlock m_Block{};
  HWND m_Dialog = nullptr;
};
