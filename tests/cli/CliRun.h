// Runs quorvy-plot's command line in the test's own process and keeps what it printed.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/PassMonitor.h"
#include "engine/Analize.h"
#include "plot/Draw.h"

struct CliResult {
    int status;
    std::string out;
    std::string err;
};

inline std::string ReadBack(FILE* file) {
    std::string text;
    std::rewind(file);
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        text.append(chunk, got);
    }
    std::fclose(file);
    return text;
}

// args are the words after the program name; input is the standard input.
inline CliResult RunTool(const std::vector<std::string>& args, const std::string& input = "") {
    std::vector<std::string> words = {"quorvy-plot"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    FILE* in = std::tmpfile();
    std::fwrite(input.data(), 1, input.size(), in);
    std::rewind(in);
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    const int status = RunCli(static_cast<int>(words.size()), argv.data(), {in, out, err, false});
    std::fclose(in);
    return {status, ReadBack(out), ReadBack(err)};
}

// Every test starts from the program's state at start and leaves no tree and no interrupt.
class CliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetToStartState();
        ClearInterrupt();
    }
    void TearDown() override {
        g_hRoot = DeleteTree(g_hRoot);
        ClearInterrupt();
    }
};
