// The About box and its report. The renderer is read on a hidden context of the box's own thread,
// since the preview's context belongs to the preview task.
#include "ui/AboutBox.h"

#include <GL/glew.h>

#include <cstdio>
#include <vector>

#include "preview/GlewContexts.h"
#include "preview/OpenGLContext.h"
#include "preview/OpenGLSettings.h"
#include "resource.h"
#include "support/ErrorReport.h"
#include "support/ModuleInstance.h"
#include "support/TextConversion.h"
#include "support/UserMessage.h"
#include "ui/HelpTopics.h"

namespace {

constexpr const char* kLicenceLines[] = {
    "Little CMS 2 - Copyright (c) 1998-2020 Marti Maria Saguer. Released under the MIT licence: permission is",
    "  granted, free of charge, to deal in the software without restriction, provided the copyright notice",
    "  and this permission notice are included in all copies or substantial portions of the software.",
    "GLEW, the OpenGL Extension Wrangler Library - Copyright (c) 2002-2007 Milan Ikits, 2002-2007 Marcelo",
    "  E. Magallon, 2002 Lev Povalahev; released under the Modified BSD licence, with parts under the MIT",
    "  licence (Copyright (c) 2007 The Khronos Group Inc.): redistribution in binary form must reproduce",
    "  the copyright notices, the list of conditions and the disclaimer in the documentation.",
};

// The drawing settings as the options dialog names them.
const char* DrawingSettingName(int setting) {
  static const char* const kNames[] = {"not set", "Higher display quality", "Faster display", "Greater compatibility",
                                       "Software Rendering"};
  return setting >= 0 && setting <= OPTIMIZE_NONE ? kNames[setting] : "unknown";
}

std::string RendererOfHiddenContext() {
  OpenGLContext context;
  PIXELFORMATDESCRIPTOR descriptor{};
  bool accelerated = true;
  if (!CreateHiddenOpenGLContext(&context, &descriptor, &accelerated)) return "unknown (no OpenGL context could be made)";
  std::string text = "unknown";
  if (MakeOpenGLContextCurrent(context.deviceContext, context.renderingContext)) {
    auto read = [](GLenum name) {
      const GLubyte* value = glGetString(name);
      return value != nullptr ? std::string(reinterpret_cast<const char*>(value)) : std::string("?");
    };
    text = read(GL_RENDERER) + " (" + read(GL_VENDOR) + "), OpenGL " + read(GL_VERSION) +
           (accelerated ? "" : ", software pixel format");
  }
  DestroyHiddenOpenGLContext(&context);
  return text;
}

std::string DisplayProfileName() {
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return "unknown";
  DWORD length = MAX_PATH;
  wchar_t name[MAX_PATH] = {};
  std::string text = GetICMProfileW(screen, &length, name) ? NarrowText(name) : "none (sRGB is assumed)";
  ReleaseDC(nullptr, screen);
  return text;
}

void AppendLine(std::wstring* report, const std::string& line) {
  int length = MultiByteToWideChar(CP_ACP, 0, line.c_str(), int(line.size()), nullptr, 0);
  std::wstring wide(size_t(length > 0 ? length : 0), L'\0');
  if (length > 0) MultiByteToWideChar(CP_ACP, 0, line.c_str(), int(line.size()), &wide[0], length);
  *report += wide;
  *report += L"\r\n";
}

struct AboutBoxState {
  std::wstring report;
};

INT_PTR DispatchAboutMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* state = reinterpret_cast<AboutBoxState*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      uint16_t version[4] = {};
      GetFixedFileVersion(version);
      wchar_t title[128];
      swprintf(title, 128, L"Halvorn Pro 3 - star and diffraction effects\r\nVersion %u.%u.%u.%u (64 bit), Vellbrook Software",
               version[0], version[1], version[2], version[3]);
      SetDlgItemTextW(dialog, IDC_ABOUT_TITLE, title);
      SetDlgItemTextW(dialog, IDC_ABOUT_REPORT, state->report.c_str());
      return TRUE;
    }
    case WM_COMMAND: {
      auto* state = reinterpret_cast<AboutBoxState*>(GetWindowLongPtrW(dialog, DWLP_USER));
      switch (LOWORD(wParam)) {
        case IDC_ABOUT_COPY: if (state != nullptr) CopyTextToClipboard(dialog, state->report); return TRUE;
        case IDOK: case IDCANCEL: EndDialog(dialog, LOWORD(wParam)); return TRUE;
      }
      return FALSE;
    }
    case WM_HELP: OnHelpRequest(reinterpret_cast<const HELPINFO*>(lParam)); return TRUE;
    case WM_APP_SHOW_MESSAGE: ShowPostedUserMessage(dialog, wParam); return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  try {
    return DispatchAboutMessage(dialog, message, wParam, lParam);
  } catch (...) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "AboutBoxProc() - Unexpected exception.");
    return FALSE;
  }
}

}  // namespace

AboutFacts GatherAboutFacts() {
  AboutFacts facts;
  facts.renderer = RendererOfHiddenContext();
  facts.displayProfile = DisplayProfileName();
  facts.drawingSetting = gOpenGLSettings.m_OpenGLDrawingMode;
  return facts;
}

std::wstring BuildAboutReport(const AboutFacts& facts) {
  uint16_t version[4] = {};
  GetFixedFileVersion(version);
  char line[512];
  std::wstring report;
  snprintf(line, sizeof line, "Halvorn Pro 3 version %u.%u.%u.%u (64 bit)", version[0], version[1], version[2], version[3]);
  AppendLine(&report, line);
  AppendLine(&report, std::string("Built ") + __DATE__ " at " __TIME__);
  AppendLine(&report, "OpenGL renderer: " + facts.renderer);
  snprintf(line, sizeof line, "OpenGL drawing setting: %d - %s", facts.drawingSetting, DrawingSettingName(facts.drawingSetting));
  AppendLine(&report, line);
  AppendLine(&report, "Display colour profile: " + facts.displayProfile);
  AppendLine(&report, "");
  AppendLine(&report, "This product contains:");
  for (const char* licence : kLicenceLines) AppendLine(&report, licence);
  return report;
}

bool CopyTextToClipboard(HWND owner, const std::wstring& text) {
  size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (block == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError()).Report(kStyleError, kTitleUnexpectedError, "CopyTextToClipboard() - GlobalAlloc() failed.");
    return false;
  }
  void* target = GlobalLock(block);
  if (target != nullptr) {
    memcpy(target, text.c_str(), bytes);
    GlobalUnlock(block);
  }
  if (target == nullptr || !OpenClipboard(owner)) {
    ErrorReport(__LINE__, SystemError, GetLastError()).Report(kStyleError, kTitleUnexpectedError, "CopyTextToClipboard() - The clipboard could not be opened.");
    GlobalFree(block);
    return false;
  }
  EmptyClipboard();
  // Once the clipboard has taken the block it owns it; only a refused block is ours to free.
  bool taken = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
  if (!taken) {
    ErrorReport(__LINE__, SystemError, GetLastError()).Report(kStyleError, kTitleUnexpectedError, "CopyTextToClipboard() - SetClipboardData() failed.");
    GlobalFree(block);
  }
  CloseClipboard();
  return taken;
}

void ShowAboutBox() {
  AboutBoxState state;
  state.report = BuildAboutReport(GatherAboutFacts());
  HWND owner = GetMessageBoxOwner();
  INT_PTR result = DialogBoxParamW(GetPluginInstance(), MAKEINTRESOURCEW(IDD_ABOUT_BOX), owner, AboutBoxProc,
                                   reinterpret_cast<LPARAM>(&state));
  if (result == -1) {
    ErrorReport(__LINE__, SystemError, GetLastError()).Report(kStyleError, kTitleUnexpectedError, "ShowAboutBox() - DialogBoxParam() failed.");
  }
}
