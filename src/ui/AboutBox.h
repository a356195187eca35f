// The About box: the product, its version and build, what it draws the preview with, the
// display's colour profile and the licences of the libraries it contains, with a "Copy" button
// that puts the same report on the clipboard for support.
#pragma once
#include <windows.h>

#include <string>

void ShowAboutBox();

// What the report says about the machine, gathered before the box opens.
struct AboutFacts {
  std::string renderer;       // the OpenGL renderer, vendor and version, or why it is unknown
  std::string displayProfile; // the path of the display's ICC profile, or why there is none
  int drawingSetting;         // OPTIMIZE_* in use
};
AboutFacts GatherAboutFacts();
// The report, lines joined by "\r\n" as an edit box and the clipboard want them.
std::wstring BuildAboutReport(const AboutFacts& facts);
// Puts text on the clipboard as Unicode text; true when the clipboard took it.
bool CopyTextToClipboard(HWND owner, const std::wstring& text);
