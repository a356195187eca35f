// The handlers of the six selectors.
#pragma once

void DoAbout();
void DoParameters();
void DoPrepare();
void DoStart();
void DoContinue();
void DoFinish();
