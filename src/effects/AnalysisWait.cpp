#include "effects/AnalysisWait.h"

#include <cstdint>

#include "analysis/LightSourceAnalysis.h"
#include "core/Progress.h"
#include "core/RunResult.h"
#include "support/ErrorReport.h"

namespace {

constexpr uint32_t kPollMilliseconds = 20;

int32_t Clamped(uint64_t value) { return value > 0x7FFFFFFF ? 0x7FFFFFFF : int32_t(value); }

}  // namespace

bool WaitForLightSourceTable() {
  while (!WaitForLightSourceAnalysis(kPollMilliseconds)) {
    uint64_t done, total;
    GetLightSourceAnalysisProgress(&done, &total);
    if (!DisplayImageEditorProgressBar(Clamped(done), Clamped(total))) {
      SetRunResult(kUserCanceled);
      ErrorReport(__LINE__, TraceMessage)
          .Report("DisplayImageEditorProgressBar returned false in ProcessImage(), *gResult set to %d.", kUserCanceled);
      return false;
    }
  }
  return true;
}
