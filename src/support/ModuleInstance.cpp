// The plug-in module's own instance handle, taken from the linker's __ImageBase so that it names
// this module inside any host, and the module's file version read from its version resource.
#include "support/ModuleInstance.h"

#include <cstring>

#include "support/ErrorReport.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

HINSTANCE GetPluginInstance() {
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(&__ImageBase);
  if (instance == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "The application's instance handle has not been initialized.");
  }
  return instance;
}

bool GetModuleResourceBytes(uint16_t name, uint16_t type, const void** bytes, uint32_t* size) {
  HINSTANCE module = reinterpret_cast<HINSTANCE>(&__ImageBase);
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(name), MAKEINTRESOURCEW(type));
  HGLOBAL loaded = resource != nullptr ? LoadResource(module, resource) : nullptr;
  *bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  *size = *bytes != nullptr ? SizeofResource(module, resource) : 0;
  return *bytes != nullptr;
}

// The fixed part of a version resource is found by its signature; reading it straight from the
// resource avoids the version library and a copy of the module file.
bool GetFixedFileVersion(uint16_t version[4]) {
  static bool cached = false;
  static uint16_t cachedVersion[4] = {};
  if (!cached) {
    const void* resource = nullptr;
    uint32_t size = 0;
    GetModuleResourceBytes(1, 16, &resource, &size);  // the version resource
    const auto* bytes = static_cast<const uint8_t*>(resource);
    for (DWORD offset = 0; bytes != nullptr && offset + sizeof(VS_FIXEDFILEINFO) <= size; offset += 4) {
      VS_FIXEDFILEINFO info;
      memcpy(&info, bytes + offset, sizeof info);
      if (info.dwSignature != 0xFEEF04BD) continue;
      cachedVersion[0] = HIWORD(info.dwFileVersionMS);
      cachedVersion[1] = LOWORD(info.dwFileVersionMS);
      cachedVersion[2] = HIWORD(info.dwFileVersionLS);
      cachedVersion[3] = LOWORD(info.dwFileVersionLS);
      break;
    }
    cached = true;
  }
  memcpy(version, cachedVersion, sizeof cachedVersion);
  return cachedVersion[0] != 0 || cachedVersion[1] != 0 || cachedVersion[2] != 0 || cachedVersion[3] != 0;
}

bool GetHostExecutablePath(wchar_t* path, DWORD size) {
  DWORD length = GetModuleFileNameW(nullptr, path, size);
  return length > 0 && length < size;
}
