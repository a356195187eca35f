// The installer's entry that stores the machine's first OpenGL drawing setting.
#pragma once
#include <windows.h>

extern "C" __declspec(dllexport) void CALLBACK InstallConfiguration(HWND window, HINSTANCE instance, LPSTR commandLine,
                                                                    int show) noexcept;

// The setting the installer stores, given the stored one, the hidden context's acceleration and
// the machine's default setting.
int InstallationSetting(int stored, bool accelerated, int machineDefault);
