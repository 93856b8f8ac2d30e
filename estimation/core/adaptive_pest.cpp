#include "estimation/core/adaptive_pest.h"

#include "framework/core/background.h"

namespace estimation {

double AdaptivePest::runpest(std::int32_t response)
{
    // Never write outside the logs: a full run or a corrupt counter leaves
    // everything as it is and the output where it was.
    if (stepnum < 0 || stepnum >= kMaxTrials)
        return mysetting;

    const std::int32_t n = stepnum + 1;
    stepnum = n;
    mep[n] = response;

    // Reversal flags, recomputed over the whole run.
    reversal[1] = 0;
    for (std::int32_t k = 1; k <= n - 1; ++k) {
        fw::RuntimeBackgroundTask();
        reversal[k + 1] = (mep[k] != mep[k + 1]) ? 1 : 0;
    }

    if (n < 3) {
        mystep = static_cast<double>(startstep);
    } else {
        // Last reversal: 0 when there is none, otherwise 2..n.
        std::int32_t last = 0;
        for (std::int32_t k = 1; k <= n; ++k) {
            fw::RuntimeBackgroundTask();
            if (reversal[k] == 1)
                last = k;
        }

        if (last == n) {
            mystep = mystep / 2.0;
        } else if (last == n - 1) {
            // second step in this direction: kept
        } else if (last == n - 2) {
            // third step: doubled unless the step into the reversal was a doubling
            if (doubled[last - 1] != 1) {
                mystep = mystep * 2.0;
                doubled[n] = 1;
            }
        } else {
            mystep = mystep * 2.0;
            doubled[n] = 1;
        }
    }

    return (response == 0) ? mysetting + mystep : mysetting - mystep;
}

} // namespace estimation
