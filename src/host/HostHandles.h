// The two host handles that carry the filter's state from one invocation to the next: the
// 40-byte parameters handle and the 1-byte data handle holding ShowDialogFlag.
#pragma once

void CreateMissingHandles();
void LockHandles();
void UnlockHandles();
bool BothHandlesExist();
void ResetParametersAndRequestDialog();
