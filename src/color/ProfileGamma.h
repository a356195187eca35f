// The gamma of a colour profile's tone curve, estimated once per profile.
#pragma once
#include "core/ColorProfileHandle.h"

double EstimateProfileGamma(ColorProfile profile);
// The estimate in steps of 0.05, so that images of similar profiles share gamma tables.
double QuantisedProfileGamma(ColorProfile profile);
void ClearProfileGammaEstimates();
