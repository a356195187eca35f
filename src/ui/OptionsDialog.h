// The options dialog: the colour scheme of the main dialog and the OpenGL drawing option of the
// preview, opened from the main dialog ("Configure", F10) or without a host by ConfigureOptions.
#pragma once
#include <windows.h>

#include <cstdint>

constexpr wchar_t kOptionsDialogCaption[] = L"Halvorn Pro 3 Plug-in Options";

// True when the dialog was closed with OK.
bool OpenOptionsDialog(HWND parent);

// The choices of the dialog, kept apart from its controls so that OK's rules can be tested.
struct OptionsChoice {
  int openGLOption;  // OPTIMIZE_FOR_QUALITY .. OPTIMIZE_NONE; OPTIMIZE_UNSET when none is chosen
  uint32_t scheme;   // COLORSCHEME_*; either System scheme means "follow Windows"
};
// What OK does with the choices: stores the OpenGL option (with its notice) and the scheme when
// they changed, and passes a new scheme on to an open main dialog.
void CommitOptions(const OptionsChoice& before, const OptionsChoice& chosen, HWND mainDialog);
// The notice's text for an OpenGL option; empty for an option that has none.
void OpenGLNoticeText(int option, char* text, size_t size);
