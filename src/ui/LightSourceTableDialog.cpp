// The listing is filled once when it opens; the table does not change while it is shown, since
// edits happen on the same user-interface thread that runs this dialog.
#include "ui/LightSourceTableDialog.h"

#include <cstring>

#include "analysis/LightSourceListing.h"
#include "analysis/LightSourceTable.h"
#include "resource.h"
#include "support/ModuleInstance.h"

namespace {

void FillListing(HWND dialog, const LightSourceTable& table) {
  char line[kListingLineSize];
  HWND list = GetDlgItem(dialog, IDC_LIGHT_SOURCE_LIST);
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  LONG widest = 0;
  HDC dc = GetDC(list);
  HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0)));
  for (uint64_t i = 0; i < table.count; ++i) {
    FormatLightSourceLine(line, sizeof line, int64_t(i), table.Entries()[i]);
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    SIZE extent;
    if (GetTextExtentPoint32A(dc, line, int(strlen(line)), &extent) && extent.cx > widest) widest = extent.cx;
  }
  SelectObject(dc, oldFont);
  ReleaseDC(list, dc);
  SendMessageW(list, LB_SETHORIZONTALEXTENT, WPARAM(widest + 8), 0);
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  FormatLightSourceCount(line, sizeof line, table.count);
  SetDlgItemTextA(dialog, IDC_LIGHT_SOURCE_COUNT, line);
}

// Count across the top, the list filling the middle, OK at the bottom right.
void LayOut(HWND dialog, int width, int height) {
  RECT units{7, 7, 50, 14};
  MapDialogRect(dialog, &units);
  int margin = units.left, buttonWidth = units.right, buttonHeight = units.bottom;
  int textHeight = buttonHeight;
  int listTop = margin + textHeight + margin / 2;
  int listHeight = height - listTop - buttonHeight - 2 * margin;
  MoveWindow(GetDlgItem(dialog, IDC_LIGHT_SOURCE_COUNT), margin, margin, width - 2 * margin, textHeight, TRUE);
  MoveWindow(GetDlgItem(dialog, IDC_LIGHT_SOURCE_LIST), margin, listTop, width - 2 * margin, listHeight > 0 ? listHeight : 0, TRUE);
  MoveWindow(GetDlgItem(dialog, IDOK), width - margin - buttonWidth, height - margin - buttonHeight, buttonWidth, buttonHeight, TRUE);
}

}  // namespace

extern "C" __declspec(dllexport) INT_PTR CALLBACK DisplayLightSourceTableProc(HWND dialog, UINT message, WPARAM wParam,
                                                                              LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* table = lParam != 0 ? reinterpret_cast<const LightSourceTable*>(lParam) : &gLightSourceTable;
      FillListing(dialog, *table);
      RECT client;
      GetClientRect(dialog, &client);
      LayOut(dialog, client.right, client.bottom);
      return TRUE;
    }
    case WM_SIZE:
      LayOut(dialog, LOWORD(lParam), HIWORD(lParam));
      return TRUE;
    case WM_GETMINMAXINFO: {
      auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
      limits->ptMinTrackSize = POINT{240, 160};
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      break;
  }
  return FALSE;
}

INT_PTR ShowLightSourceTable(HWND owner) {
  return DialogBoxParamW(GetPluginInstance(), MAKEINTRESOURCEW(IDD_LIGHT_SOURCE_TABLE), owner, DisplayLightSourceTableProc, 0);
}
