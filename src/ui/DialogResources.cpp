// The splash bitmap is loaded as a DIB section, so that the preview task can read its pixels
// without a device context of the user-interface thread.
#include "ui/DialogResources.h"

#include "preview/ProxyDisplay.h"
#include "resource.h"
#include "support/ErrorReport.h"
#include "support/ModuleInstance.h"

namespace {

HMENU gZoomMenu = nullptr;
HMENU gSettingsMenu = nullptr;
HBITMAP gSplashBitmap = nullptr;

HMENU LoadMenuResource(int id, const char* name) {
  HMENU menu = LoadMenuW(GetPluginInstance(), MAKEINTRESOURCEW(id));
  if (menu == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "LoadMenu() failed to load the %s menu.", name);
  }
  return menu;
}

}  // namespace

bool LoadUserInterfaceResources() {
  if (gZoomMenu == nullptr) gZoomMenu = LoadMenuResource(IDM_ZOOM_MENU, "zoom");
  if (gSettingsMenu == nullptr) gSettingsMenu = LoadMenuResource(IDM_SETTINGS_MENU, "settings");
  if (gSplashBitmap == nullptr) {
    gSplashBitmap = static_cast<HBITMAP>(
        LoadImageW(GetPluginInstance(), MAKEINTRESOURCEW(IDB_SPLASH), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (gSplashBitmap == nullptr) {
      ErrorReport(__LINE__, SystemError, GetLastError())
          .Report(kStyleError, kTitleUnexpectedError, "LoadImage() failed to load the splash bitmap.");
    }
  }
  return gZoomMenu != nullptr && gSettingsMenu != nullptr && gSplashBitmap != nullptr;
}

void ReleaseUserInterfaceResources() {
  if (gZoomMenu != nullptr) DestroyMenu(gZoomMenu);
  if (gSettingsMenu != nullptr) DestroyMenu(gSettingsMenu);
  if (gSplashBitmap != nullptr) DeleteObject(gSplashBitmap);
  gZoomMenu = gSettingsMenu = nullptr;
  gSplashBitmap = nullptr;
}

HMENU GetZoomMenu() { return gZoomMenu != nullptr ? GetSubMenu(gZoomMenu, 0) : nullptr; }
HMENU GetSettingsMenu() { return gSettingsMenu != nullptr ? GetSubMenu(gSettingsMenu, 0) : nullptr; }
HBITMAP GetSplashBitmap() { return gSplashBitmap; }
