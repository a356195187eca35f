// The About box: the product's name, version and maker, shown over the message-box owner (the open dialog, or the host).
#pragma once
#include <windows.h>

void ShowAboutBox();
