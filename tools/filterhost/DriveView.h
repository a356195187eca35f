// The drive commands that set the preview's view: the zoom menu's levels and the scroll bars.
#pragma once
#include <string>

#include "DriveScript.h"

struct DriveSession;

// The zoom menu's level nearest the asked percentage, as a user picks it from the menu; "fit"
// picks "Fit in View". Waits until the zoom display shows it.
bool RunZoom(const DriveCommand& command, DriveSession* session, std::string* report);
// Puts image pixel (X, Y) at the preview's top left through the scroll bars, as far as the view
// allows; reports where the view ended.
bool RunScroll(const DriveCommand& command, DriveSession* session, std::string* report);

// The menu's levels and their commands, and the choice among them (for tests).
int NearestZoomMenuCommand(double percent, double* level);
// The zoom display's text (" %-3.2Lf%%") read back as a percentage; false when it is not one.
bool ParseZoomDisplay(const std::string& text, double* percent);
