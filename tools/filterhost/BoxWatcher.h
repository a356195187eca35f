// Answers the plug-in's message boxes in an unattended run: each box is printed on the console
// and dismissed, as a user reading it would.
#pragma once
#include <cstdio>

void StartBoxWatcher(FILE* out);
void StopBoxWatcher();
int AnsweredBoxCount();
