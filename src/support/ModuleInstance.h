// The plug-in module's own instance handle and file version (never the host's).
#pragma once
#include <windows.h>

#include <cstdint>

HINSTANCE GetPluginInstance();
// Major, minor, build, revision of the module's fixed file version; zeros when it has none.
bool GetFixedFileVersion(uint16_t version[4]);
