// The once-per-load initialisation, the user-interface initialisation of the first prepare, and
// the teardown after about, finish and every failed selector.
#pragma once
#include <windows.h>

#include "PITypes.h"

void InitializeGlobals(int16 selector, HWND owner);
bool InitUI();
void ShutDown();
void TearDown();
