// A plain information box until the About dialog with its system report exists.
#include "ui/AboutBox.h"

#include <cstdio>

#include "support/ErrorReport.h"
#include "support/ModuleInstance.h"
#include "support/UserMessage.h"

void ShowAboutBox() {
  uint16_t version[4] = {};
  GetFixedFileVersion(version);
  char text[256];
  snprintf(text, sizeof text, "Halvorn Pro 3\nVersion %u.%u.%u.%u (64 bit)\n\nStar and diffraction effects.\nVellbrook Software",
           version[0], version[1], version[2], version[3]);
  ShowUserMessage(text, "About Halvorn Pro 3", kStyleInformation);
}
