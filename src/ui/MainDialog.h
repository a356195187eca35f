// The main dialog "HALVORNDIALOG_ADVANCED": its exported procedure and what the host side needs
// to run it.
#pragma once
#include <windows.h>

constexpr wchar_t kMainDialogTemplate[] = L"HALVORNDIALOG_ADVANCED";

extern "C" __declspec(dllexport) INT_PTR CALLBACK HalvornProc(HWND dialog, UINT message, WPARAM wParam,
                                                              LPARAM lParam) noexcept;
