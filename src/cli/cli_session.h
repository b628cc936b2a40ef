#pragma once

#include "cli_arguments.h"

#include <functional>

// Runs one command of the command line as the screens would: the screen
// loads, the command runs, then every alert it shows is printed and, when it
// asks, answered from --answer, --yes or a prompt. Returns the exit status.
class CliSession {
public:
    explicit CliSession(CliArguments arguments);
    int run();

    static constexpr int kSucceeded = 0;
    static constexpr int kFailed = 1;
    static constexpr int kUsage = 2;
    static constexpr int kCancelled = 3;
    static constexpr int kBusy = 4;

private:
    CliArguments arguments_;
};
