// The final render's wait for the light source table: the host's progress bar follows the
// analysis meanwhile, and the user may cancel.
#pragma once

// True once the analysis has ended; false (result -128) when the user cancelled first.
bool WaitForLightSourceTable();
