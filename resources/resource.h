// Resource identifiers of the plug-in module.
#pragma once

#define IDR_PIPL 16000
#define IDR_AETE 16000
#define IDR_LINEAR_COLOR_PROFILE 243

#define PLUGIN_VERSION_MAJOR 3
#define PLUGIN_VERSION_MINOR 0
#define PLUGIN_VERSION_BUILD 1
#define PLUGIN_VERSION_REVISION 0
#define PLUGIN_VERSION_TEXT "3.0.1.0"
