// The tips of the main dialog's controls, as the user reads them.
#pragma once
#include <iterator>

#include "resource.h"

struct ToolTipRow {
  int control;
  const wchar_t* text;
};

constexpr wchar_t kOkTip[] = L"OK - Commit changes and return to the editor.";
constexpr wchar_t kCancelTip[] = L"Cancel (Esc) - Close this dialog without making any changes.";
constexpr wchar_t kResetTip[] = L"Reset (Esc) - Reset the dialog but do not exit.";

// clang-format off
constexpr ToolTipRow kMainToolTips[] = {
//  control             text
    {IDC_PREVIEW_CHECK, L"Preview (P) - Check to see a preview of the modified image, uncheck to see the original image"},
    {IDOK,              kOkTip},
    {IDCANCEL,          kCancelTip},
    {IDC_CONFIGURE,     L"(F10) - Configure plug-in options."},
    {IDC_MAKER_LINK,    L"Click here to visit the Vellbrook Software web site."},
    {IDC_LOGO,          L"Click to see Halvorn Pro 3 version information, help, and online resources."},
    {IDC_HELP_ICON,     L"Help (?) - Click to see help for this Dialog."},
    {IDC_HELP_SUPPORT,  L"Click here for links to help and support resources."},
    {IDC_TOOL_PAN,      L"Hand Panning Tool (H) - use this tool to move the image in the display area, or double click to fit in view"},
    {IDC_TOOL_ZOOM,     L"Zoom Tool (Z) - use this tool to zoom the image in or out, double click to go to 100%"},
    {IDC_TOOL_HIDE,     L"Hide Effects Tool (X) - use this tool to turn unwanted effects off, drag to do multiples; hold down the Alt key to reveal previously hidden effects"},
    {IDC_TOOL_SHOW,     L"Show Effects Tool (+) - use this tool to toggle previously hidden effects on, drag to do multiples; hold down the Alt key to hide them"},
    {IDC_TOOL_EDIT,     L"Edit Effects Tool (*) - use this tool to edit the intensity, color, and position of effects; Double-click to add new effects, Alt-click to hide effects"},
    {IDC_ZOOM_MENU,     L"Select a zoom level (V)"},
};
// clang-format on
static_assert(std::size(kMainToolTips) == 14, "one row per control with a tip");
