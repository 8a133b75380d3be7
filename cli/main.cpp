// quorvy-plot: see cli/Cli.h and the README.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
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

// A signal ignored by the caller (SIGHUP under nohup, SIGQUIT for a job in the background) stays
// ignored; Ctrl+C and SIGTERM are always the tool's own.
void Handle(int signal, void (*handler)(int)) {
    struct sigaction previous = {};
    sigaction(signal, nullptr, &previous);
    if (previous.sa_handler == SIG_IGN && signal != SIGINT && signal != SIGTERM) {
        return;
    }
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

void HandleEndingSignals() {
    sigset_t ending;
    EndingSignals(&ending);
    for (int signal = 1; signal < NSIG; ++signal) {
        if (sigismember(&ending, signal) == 1) {
            Handle(signal, signal == SIGINT ? OnInterrupt : EndBySignal);
        }
    }
    // A closed pipe or a file over the size limit is a write that fails, reported as such.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

// A standard stream closed by the caller is opened on /dev/null the other way round (standard
// input for writing, the outputs for reading), so that no file of the run takes its number and
// using it still fails as on a closed stream.
void OpenClosedStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    OpenClosedStandardStreams();
    HandleEndingSignals();
    return RunCli(argc, argv, {stdin, stdout, stderr, isatty(STDERR_FILENO) != 0});
}
