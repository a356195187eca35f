// The user interface's resources loaded once per load: the zoom and settings pop-up menus and
// the preview's splash bitmap.
#pragma once
#include <windows.h>

bool LoadUserInterfaceResources();
void ReleaseUserInterfaceResources();
HMENU GetZoomMenu();      // the pop-up of the zoom menu resource
HMENU GetSettingsMenu();  // the pop-up of the settings menu resource
HBITMAP GetSplashBitmap();
