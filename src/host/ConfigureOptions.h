// The options dialog without a host, from the Start menu: "rundll32 HalvornPro3.8bf,ConfigureOptions".
#pragma once
#include <windows.h>

extern "C" __declspec(dllexport) void CALLBACK ConfigureOptions(HWND parentWindow, HINSTANCE instance, LPSTR commandLine,
                                                                int show) noexcept;

constexpr wchar_t kOptionsDialogMutexName[] = L"Global\\{30B6C96A-264F-4F83-BC4C-B236F43E95B2}";
