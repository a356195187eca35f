// The start selector's dialog step: the main dialog run modally on the host's window.
#pragma once

// True exactly when the user closed the dialog with OK.
bool DoUI();
