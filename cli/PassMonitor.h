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

    // A pass starts or ends: the name and the start of its progress bar.
    void Begin(const char* name);
    void End();
    // Removes the progress bar from the terminal line (before a message is printed there).
    void ClearBar();

    // The answer to one poll, after one sample: 1 when Ctrl+C arrived and no stop is kept yet
    // (the passes keep it, and end every later pass at the same sample).
    int32_t Poll();

  private:
    static int32_t Hook(void* context);
    void Tick();

    FILE* err_;
    bool showProgress_;
    const char* name_ = "";
    double start_ = 0;
    double lastDrawn_ = 0;
    bool barShown_ = false;
};
