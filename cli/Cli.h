// quorvy-plot: the plot, the value table and the curve facts of one formula from the command
// line, made by the program's own parser, passes, mapping and formats.
#pragma once

#include <cstdio>

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitFormulaMessage = 3;
constexpr int kExitOutputFailed = 4;
constexpr int kExitInterrupted = 130;

struct CliStreams {
    FILE* in;  // read for --formula-file -
    FILE* out;
    FILE* err;
    bool progress;  // a progress bar may be drawn on err (a terminal)
};

// The whole run of one command line; returns the exit status. Leaves the program state with
// the settings and formula of the run; every run starts again from the defaults.
int RunCli(int argc, char** argv, const CliStreams& streams);
