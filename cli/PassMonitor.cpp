#include "cli/PassMonitor.h"

#include <csignal>

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
}

PassMonitor::~PassMonitor() {
    SetAbortHook(nullptr, nullptr);
    ClearBar();
}

int32_t PassMonitor::Hook(void* context) {
    return static_cast<PassMonitor*>(context)->Poll();
}

void PassMonitor::Begin(const char* name, double expectedSamples) {
    gPassesBegun = 1;
    name_ = name;
    expected_ = expectedSamples > 1 ? expectedSamples : 1;
    count_ = 0;
    start_ = ElapsedMilliseconds();
}

// A pass that walked samples and was not stopped counted the whole walk (a pass that draws
// nothing polls no sample).
void PassMonitor::End() {
    if (stopAt_ == 0 && count_ > 0) {
        walkSamples_ = count_;
    }
    ClearBar();
}

int32_t PassMonitor::Poll() {
    ++count_;
    if (stopAt_ == 0 && gInterrupt != 0) {
        stopAt_ = count_;
    }
    if (stopAt_ != 0 && count_ >= stopAt_) {
        return 1;
    }
    if (showProgress_ && count_ % kClockEvery == 0) {
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
    double done = static_cast<double>(count_) / expected_;
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
