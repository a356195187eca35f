// Answers the plug-in's message boxes in an unattended run: each box is printed on the console
// and dismissed, as a user reading it would.
#pragma once
#include <cstdio>

// The plug-in's main dialog is confirmed with OK too unless something else works it (`--drive`).
enum MainDialogAnswer { MAIN_DIALOG_CONFIRM, MAIN_DIALOG_LEAVE };
void StartBoxWatcher(FILE* out, MainDialogAnswer mainDialog = MAIN_DIALOG_CONFIRM);
void StopBoxWatcher();
int AnsweredBoxCount();
