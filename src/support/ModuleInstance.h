// The plug-in module's own instance handle and file version, and the host's executable path.
#pragma once
#include <windows.h>

#include <cstdint>

HINSTANCE GetPluginInstance();
// The bytes of one of the module's own resources, by numeric name and type; they live as long as
// the module is loaded. False when there is no such resource.
bool GetModuleResourceBytes(uint16_t name, uint16_t type, const void** bytes, uint32_t* size);
// Major, minor, build, revision of the module's fixed file version; zeros when it has none.
bool GetFixedFileVersion(uint16_t version[4]);
// The path of the host's executable as Windows reports it; false when it cannot be had.
bool GetHostExecutablePath(wchar_t* path, DWORD size);
