#include "engine/Passes.h"

#include "platform/Common.h"
#include "settings/Prefs.h"

namespace {

struct PassState {
    StopReach reach = StopReach::RangeToDrawing;
    PassKind kind = PassKind::Range;
    uint64_t count = 0;
    uint64_t stopAt = 0;  // 0: no stop kept
    uint64_t walkSamples = 0;
};
PassState gPass;

// Whether a stop asked for in the pass under way is kept for the passes after it.
bool StopIsKept() {
    return gPass.reach == StopReach::EveryLaterPass || gPass.kind == PassKind::Range;
}

bool KeptStopReached() {
    const bool reaches = gPass.reach == StopReach::EveryLaterPass || gPass.kind != PassKind::Export;
    return reaches && gPass.stopAt != 0 && gPass.count >= gPass.stopAt;
}

// One sample done; true when the pass stops after it.
inline bool SampleDone() {
    ++gPass.count;
    const bool asked = UserAbort() != 0;
    if (asked && StopIsKept() && (gPass.stopAt == 0 || gPass.count < gPass.stopAt)) {
        gPass.stopAt = gPass.count;
    }
    return asked || KeptStopReached();
}

}  // namespace

void SetStopReach(StopReach reach) {
    gPass.reach = reach;
}

void BeginPass(PassKind kind) {
    gPass.kind = kind;
    gPass.count = 0;
    if (kind == PassKind::Range) {
        gPass.stopAt = 0;
    }
}

void EndPass() {
    if (gPass.stopAt == 0 && gPass.count > 0) {
        gPass.walkSamples = gPass.count;
    }
}

int32_t PassSampleDone() {
    return SampleDone() ? 1 : 0;
}

int32_t PassSamplesDone(int32_t count, int32_t* done) {
    for (int32_t i = 1; i <= count; ++i) {
        if (SampleDone()) {
            *done = i;
            return 1;
        }
    }
    *done = count;
    return 0;
}

void ClearPassStop() {
    gPass.stopAt = 0;
}

void ResetPasses() {
    gPass.count = 0;
    gPass.stopAt = 0;
    gPass.walkSamples = 0;
}

double ExpectedSamples() {
    return static_cast<double>(gPrefs.Iterations) + 1.0;
}

uint64_t PassSampleCount() {
    return gPass.count;
}

uint64_t PassStoppedAt() {
    return gPass.stopAt;
}

uint64_t PassWalkSamples() {
    return gPass.walkSamples;
}
