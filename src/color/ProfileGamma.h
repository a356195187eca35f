// The gamma of a colour profile's tone curve, estimated once per profile.
#pragma once

typedef void* ColorProfile;  // a Little CMS profile handle

double EstimateProfileGamma(ColorProfile profile);
void ClearProfileGammaEstimates();
