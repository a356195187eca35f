// Estimates a profile's gamma from its gray or green tone curve and remembers up to 64 of them;
// a profile without a curve (or no profile) counts as gamma 2.2, the common encoding.
#include "color/ProfileGamma.h"

#include <lcms2.h>

#include <cmath>
#include <mutex>

namespace {

constexpr int kEstimateCacheSize = 64;
constexpr double kDefaultGamma = 2.2;

struct GammaEstimate {
  ColorProfile profile;
  double gamma;
};

std::mutex gEstimateMutex;
GammaEstimate gEstimates[kEstimateCacheSize];
int gEstimateCount = 0;

double EstimateFromCurve(ColorProfile profile) {
  cmsTagSignature tag = cmsGetColorSpace(profile) == cmsSigGrayData ? cmsSigGrayTRCTag : cmsSigGreenTRCTag;
  const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, tag));
  if (curve == nullptr) return kDefaultGamma;
  double gamma = cmsEstimateGamma(curve, 0.1);
  if (gamma == -1.0) gamma = cmsEstimateGamma(curve, 1.0);
  return gamma == -1.0 ? kDefaultGamma : gamma;
}

}  // namespace

double EstimateProfileGamma(ColorProfile profile) {
  if (profile == nullptr) return kDefaultGamma;
  std::lock_guard<std::mutex> lock(gEstimateMutex);
  for (int i = 0; i < gEstimateCount; ++i) {
    if (gEstimates[i].profile == profile) return gEstimates[i].gamma;
  }
  double gamma = EstimateFromCurve(profile);
  if (gEstimateCount < kEstimateCacheSize) gEstimates[gEstimateCount++] = {profile, gamma};
  return gamma;
}

void ClearProfileGammaEstimates() {
  std::lock_guard<std::mutex> lock(gEstimateMutex);
  gEstimateCount = 0;
}

double QuantisedProfileGamma(ColorProfile profile) { return std::floor(EstimateProfileGamma(profile) * 20.0 + 0.5) / 20.0; }
