// The About box: the version, the build, the renderer and the drawing setting
// in use, the display's profile and the libraries' licences; Copy puts that
// report on the clipboard.
#include <gtest/gtest.h>

#include <process.h>

#include <string>

#include "TestSupport.h"
#include "preview/OpenGLSettings.h"
#include "resource.h"
#include "ui/AboutBox.h"

namespace {

std::wstring ClipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return L"(clipboard busy)";
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto *chars = static_cast<const wchar_t *>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

struct BoxReading {
  std::wstring report;
  std::wstring title;
  bool found = false;
};

unsigned __stdcall ReadAndCopy(void *data) {
  auto *reading = static_cast<BoxReading *>(data);
  HWND box = nullptr;
  WaitUntil([&] { return (box = FindWindowW(L"#32770", L"About Halvorn Pro 3")) != nullptr && IsWindowVisible(box); },
            20000);
  if (box == nullptr) return 0;
  reading->found = true;
  wchar_t text[8192] = {};
  SendMessageW(GetDlgItem(box, IDC_ABOUT_REPORT), WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(text));
  reading->report = text;
  SendMessageW(GetDlgItem(box, IDC_ABOUT_TITLE), WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(text));
  reading->title = text;
  SendMessageW(GetDlgItem(box, IDC_ABOUT_COPY), BM_CLICK, 0, 0);
  SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  return 0;
}

}  // namespace

TEST(AboutBox, ShowsVersionAndRendererAndCopiesTheReport) {
  gOpenGLSettings.m_OpenGLDrawingMode = OPTIMIZE_FOR_COMPATIBILITY;
  // Something else on the clipboard first, so that only Copy can put the report
  // there.
  ASSERT_TRUE(CopyTextToClipboard(nullptr, L"not the report"));
  BoxReading reading;
  HANDLE hand = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ReadAndCopy, &reading, 0, nullptr));
  ShowAboutBox();
  WaitForSingleObject(hand, 30000);
  CloseHandle(hand);
  gOpenGLSettings = OpenGLSettingsRecord{};
  ASSERT_TRUE(reading.found);
  EXPECT_NE(reading.title.find(L"Version 3.0.1.0"), std::wstring::npos) << reading.title;
  const std::wstring &report = reading.report;
  EXPECT_NE(report.find(L"Halvorn Pro 3 version 3.0.1.0 (64 bit)"), std::wstring::npos) << report;
  EXPECT_NE(report.find(L"Built "), std::wstring::npos);
  EXPECT_NE(report.find(L"OpenGL renderer: llvmpipe"), std::wstring::npos) << report;
  EXPECT_NE(report.find(L"OpenGL drawing setting: 3 - "), std::wstring::npos) << report;
  EXPECT_NE(report.find(L"Display colour profile: "), std::wstring::npos);
  EXPECT_NE(report.find(L"Little CMS"), std::wstring::npos);
  EXPECT_NE(report.find(L"GLEW"), std::wstring::npos);
  EXPECT_EQ(ClipboardText(), report) << "Copy puts the whole report on the clipboard";
}

TEST(AboutBox, TheReportNamesWhatItWasGiven) {
  AboutFacts facts{"Stand-in Renderer (Tests), OpenGL 9.9", "C:\\profiles\\screen.icm", OPTIMIZE_NONE};
  std::wstring report = BuildAboutReport(facts);
  EXPECT_NE(report.find(L"OpenGL renderer: Stand-in Renderer (Tests), OpenGL 9.9\r\n"), std::wstring::npos);
  EXPECT_NE(report.find(L"OpenGL drawing setting: 4 - "), std::wstring::npos);
  EXPECT_NE(report.find(L"Display colour profile: C:\\profiles\\screen.icm\r\n"), std::wstring::npos);
}
