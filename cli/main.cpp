// quorvy-plot: see cli/Cli.h and the README.
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "cli/Cli.h"
#include "cli/PassMonitor.h"

namespace {

void OnInterrupt(int) {
    RequestInterrupt();
}

}  // namespace

int main(int argc, char** argv) {
    // Ctrl+C stops the pass under way; a second one ends the program at once.
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    // A closed pipe is a write that fails, reported as such.
    std::signal(SIGPIPE, SIG_IGN);
    return RunCli(argc, argv, {stdout, stderr, isatty(STDERR_FILENO) != 0});
}
