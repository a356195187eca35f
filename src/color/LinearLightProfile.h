// A profile with another profile's primaries and white but a straight tone curve: the space in
// which effect light, computed in linear values, is carried to a display without its gamma.
#pragma once
#include "core/ColorProfileHandle.h"

// Null when the profile is not an RGB matrix-shaper profile (a lookup-table profile has no
// primaries to take); the caller closes the profile it gets.
ColorProfile CreateLinearLightProfile(ColorProfile profile);

// True when two RGB matrix-shaper profiles have the same white, colorants and adaptation, to the
// precision of their encoding: linear light needs no conversion between two such straight ones.
bool HaveSameColorants(ColorProfile a, ColorProfile b);
