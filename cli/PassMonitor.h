// The abort poll of quorvy-plot's passes: Ctrl+C stops a pass as a key press stops the window's,
// and a long pass shows a progress bar on a terminal.
#pragma once

#include <cstdint>
#include <cstdio>

// Called from the SIGINT handler: only sets a flag.
void RequestInterrupt();
bool InterruptRequested();
void ClearInterrupt();
// Whether a pass began in this process: before that, Ctrl+C has nothing to stop and write.
bool PassesBegun();

class PassMonitor {
  public:
    // Installs itself as the abort hook; progress goes to err when showProgress.
    PassMonitor(FILE* err, bool showProgress);
    ~PassMonitor();
    PassMonitor(const PassMonitor&) = delete;
    PassMonitor& operator=(const PassMonitor&) = delete;

    // A pass of about expectedSamples samples starts or ends.
    void Begin(const char* name, double expectedSamples);
    void End();
    // Removes the progress bar from the terminal line (before a message is printed there).
    void ClearBar();

    // The answer to one poll, after one sample: 1 once Ctrl+C arrived. The pass under way stops
    // there; a pass after it stops at the same sample count, so that every output covers the
    // same samples.
    int32_t Poll();
    bool Stopped() const { return stopAt_ != 0; }
    // The samples that the passes since the stop cover.
    uint64_t StoppedAt() const { return stopAt_; }
    // The samples of the whole X walk, as the last pass that ran to its end counted them; 0 when
    // none did.
    uint64_t WalkSamples() const { return walkSamples_; }

  private:
    static int32_t Hook(void* context);
    void Tick();

    FILE* err_;
    bool showProgress_;
    const char* name_ = "";
    double expected_ = 1;
    uint64_t count_ = 0;
    uint64_t stopAt_ = 0;  // 0: not stopped
    uint64_t walkSamples_ = 0;
    double start_ = 0;
    double lastDrawn_ = 0;
    bool barShown_ = false;
};
