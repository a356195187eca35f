// The colour profiles of one filter run, built at the start selector and closed at its end.
#pragma once
#include <cstdint>

#include "color/ProfileGamma.h"

// What the host offers of its image's profile; the lock and unlock come from its handle suite.
struct HostProfileSource {
  char** profileHandle = nullptr;  // the host's ICC profile handle, or null
  int32_t profileSize = 0;
  char* (*lockHandle)(char** handle, unsigned char moveHigh) = nullptr;
  void (*unlockHandle)(char** handle) = nullptr;
  int32_t imageMode = 0;
};

bool InitializeColorConversion(const HostProfileSource& host);
void TerminateColorConversion();

ColorProfile StandardProfile();
ColorProfile HostImageProfile();
ColorProfile WorkingProfile();
ColorProfile LinearWorkingProfile();
ColorProfile GrayscaleWorkingProfile();

// Opens the linear grayscale profile kept in the module's resources (RCDATA 243).
ColorProfile OpenLinearGrayProfile();

bool IsGrayProfile(ColorProfile profile);
// True when samples in either profile mean the same colours: the same kind of profile and the
// same tags, whenever either was made.
bool AreProfilesAlike(ColorProfile a, ColorProfile b);
