#include "cli/PassMonitor.h"

#include <csignal>

#include "engine/Passes.h"
#include "platform/Common.h"
#include "platform/CommonPortable.h"

namespace {

volatile std::sig_atomic_t gInterrupt = 0;
volatile std::sig_atomic_t gPassesBegun = 0;

// The clock is read once per this many samples: a pass polls after every sample.
constexpr uint64_t kClockEvery = 4096;
// A bar appears once a pass has run this long, and is redrawn at most this often.
constexpr double kBarDelayMs = 500;
constexpr double kBarPeriodMs = 100;
constexpr int kBarWidth = 30;

}  // namespace

void RequestInterrupt() {
    gInterrupt = 1;
}

bool InterruptRequested() {
    return gInterrupt != 0;
}

void ClearInterrupt() {
    gInterrupt = 0;
}

bool PassesBegun() {
    return gPassesBegun != 0;
}

PassMonitor::PassMonitor(FILE* err, bool showProgress) : err_(err), showProgress_(showProgress) {
    SetAbortHook(&PassMonitor::Hook, this);
    SetStopReach(StopReach::EveryLaterPass);
}

PassMonitor::~PassMonitor() {
    SetAbortHook(nullptr, nullptr);
    SetStopReach(StopReach::RangeToDrawing);
    ClearBar();
}

int32_t PassMonitor::Hook(void* context) {
    return static_cast<PassMonitor*>(context)->Poll();
}

void PassMonitor::Begin(const char* name) {
    gPassesBegun = 1;
    name_ = name;
    start_ = ElapsedMilliseconds();
}

void PassMonitor::End() {
    ClearBar();
}

// Ctrl+C asks for a stop once; the passes keep it.
int32_t PassMonitor::Poll() {
    if (gInterrupt != 0 && PassStoppedAt() == 0) {
        return 1;
    }
    if (showProgress_ && PassSampleCount() % kClockEvery == 0) {
        Tick();
    }
    return 0;
}

void PassMonitor::Tick() {
    const double now = ElapsedMilliseconds();
    if (now - start_ < kBarDelayMs || now - lastDrawn_ < kBarPeriodMs) {
        return;
    }
    lastDrawn_ = now;
    const double expected = ExpectedSamples();
    double done = static_cast<double>(PassSampleCount()) / (expected > 1 ? expected : 1);
    done = done > 1 ? 1 : done;
    char bar[kBarWidth + 1];
    const int filled = static_cast<int>(done * kBarWidth);
    for (int i = 0; i < kBarWidth; ++i) {
        bar[i] = i < filled ? '#' : '.';
    }
    bar[kBarWidth] = '\0';
    std::fprintf(err_, "\r%-8s [%s] %3d%%", name_, bar, static_cast<int>(done * 100));
    std::fflush(err_);
    barShown_ = true;
}

void PassMonitor::ClearBar() {
    if (barShown_) {
        std::fputs("\r\033[K", err_);
        std::fflush(err_);
        barShown_ = false;
    }
}
