#include "fix_selection.h"

namespace kinedgram {

bool acceptFix(FixState& state, std::int32_t source, double time, double accuracy, double speed) {
    if (state.lastFixSource != FIX_SOURCE_NONE) {
        const double elapsed = (time - state.lastFixTime) / 1000.0;
        if (elapsed < -2.0)
            return false;
        const double s = speed == 0.0 ? 0.3333333333333333 : speed;
        double threshold = (10.0 / s) / 60.0;
        if (state.lastFixSource != source)
            threshold *= 2.0;
        // Written as "not greater" so that a NaN lets the fix through.
        const bool moreAccurate = state.lastFixAccuracy >= accuracy;
        const bool longEnough = !(threshold > elapsed / 60.0);
        if (!moreAccurate && !longEnough)
            return false;
    }
    state.lastFixSource = source;
    state.lastFixAccuracy = accuracy;
    state.lastFixTime = time;
    return true;
}

} // namespace kinedgram
