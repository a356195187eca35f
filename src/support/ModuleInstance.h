// The plug-in module's own instance handle and file version, and the host's executable path.
#pragma once
#include <windows.h>

#include <cstdint>

HINSTANCE GetPluginInstance();
// Major, minor, build, revision of the module's fixed file version; zeros when it has none.
bool GetFixedFileVersion(uint16_t version[4]);
// The path of the host's executable as Windows reports it; false when it cannot be had.
bool GetHostExecutablePath(wchar_t* path, DWORD size);
