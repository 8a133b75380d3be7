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

// The user's stop after the sample just counted, kept for the later passes where it reaches
// them; an earlier kept stop stays.
void KeepAskedStop() {
    if (StopIsKept() && (gPass.stopAt == 0 || gPass.count < gPass.stopAt)) {
        gPass.stopAt = gPass.count;
    }
}

// One sample done; true when the pass stops after it.
inline bool SampleDone() {
    ++gPass.count;
    const bool asked = UserAbort() != 0;
    if (asked) {
        KeepAskedStop();
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

// The sample of the next count after which a kept stop ends the pass, 1 to count; 0 when none.
int32_t KeptStopInBlock(int32_t count) {
    const bool reaches = gPass.reach == StopReach::EveryLaterPass || gPass.kind != PassKind::Export;
    if (!reaches || gPass.stopAt == 0) {
        return 0;
    }
    if (gPass.stopAt <= gPass.count) {
        return 1;
    }
    const uint64_t ahead = gPass.stopAt - gPass.count;
    return ahead <= static_cast<uint64_t>(count) ? static_cast<int32_t>(ahead) : 0;
}

// The same answers as PassSampleDone after each sample, with UserAbort asked only after the
// samples where it may answer, and the kept stop found once for the whole count.
int32_t PassSamplesDone(int32_t count, int32_t* done) {
    const int32_t keptStop = KeptStopInBlock(count);
    const int32_t last = keptStop != 0 ? keptStop : count;
    const uint64_t start = gPass.count;
    const uint32_t spacing = AbortPollSpacing();
    if (spacing != 0) {
        const uint64_t untilPoll = (spacing - start % spacing) % spacing;
        for (uint64_t i = untilPoll == 0 ? spacing : untilPoll; i <= static_cast<uint64_t>(last);
             i += spacing) {
            gPass.count = start + i;
            if (UserAbort() != 0) {
                KeepAskedStop();
                *done = static_cast<int32_t>(i);
                return 1;
            }
        }
    }
    gPass.count = start + static_cast<uint64_t>(last);
    *done = last;
    return keptStop != 0 ? 1 : 0;
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
