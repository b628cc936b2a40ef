#pragma once

#include "cli_arguments.h"

#include <functional>

struct CSClientContext;

// Runs one command of the command line as the screens would: the screen
// loads, the command runs, then every alert it shows is printed and, when it
// asks, answered from --answer, --yes or a prompt. Returns the exit status.
class CliSession {
public:
    // The cloud client works in `client`, which outlives the session.
    CliSession(CliArguments arguments, CSClientContext& client);
    int run();

    static constexpr int kSucceeded = 0;
    static constexpr int kFailed = 1;
    static constexpr int kUsage = 2;
    static constexpr int kCancelled = 3;
    static constexpr int kBusy = 4;

private:
    CliArguments arguments_;
    CSClientContext& client_;
};
