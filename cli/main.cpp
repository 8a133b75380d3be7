// quorvy-plot: see cli/Cli.h and the README.
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "cli/Cli.h"
#include "cli/OutputFiles.h"
#include "cli/PassMonitor.h"

namespace {

// A signal that ends the program removes the temporaries first, then ends it as the signal
// would have, so that the caller still sees which signal it was.
void EndBySignal(int signal) {
    RemoveTemporaries();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Ctrl+C stops the pass under way; a second one, or one before the passes (while the formula
// is read from a terminal, say), ends the program at once.
void OnInterrupt(int signal) {
    if (InterruptRequested() || !PassesBegun()) {
        EndBySignal(signal);
        return;
    }
    RequestInterrupt();
}

void Handle(int signal, void (*handler)(int)) {
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    Handle(SIGINT, OnInterrupt);
    Handle(SIGTERM, EndBySignal);
    // A run under nohup keeps running when the terminal goes.
    struct sigaction hangup = {};
    sigaction(SIGHUP, nullptr, &hangup);
    if (hangup.sa_handler != SIG_IGN) {
        Handle(SIGHUP, EndBySignal);
    }
    // A closed pipe is a write that fails, reported as such.
    std::signal(SIGPIPE, SIG_IGN);
    return RunCli(argc, argv, {stdin, stdout, stderr, isatty(STDERR_FILENO) != 0});
}
