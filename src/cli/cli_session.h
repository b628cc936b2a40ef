#pragma once

#include "cli_arguments.h"
#include "exit_status.h"

#include <optional>
#include <string>

struct CSClientContext;

namespace cli {

struct Command;

// Runs one command of the command line as the screens would: the screen
// loads, the command runs, then every alert it shows is printed and, when it
// asks, answered from --answer, --yes or a prompt. Returns the exit status.
class CliSession {
public:
    // The cloud client works in `client`, which outlives the session.
    CliSession(CliArguments arguments, CSClientContext& client);
    int run();

private:
    int runOnScreens(const Command& command, const std::optional<std::string>& operand);

    CliArguments arguments_;
    CSClientContext& client_;
};

} // namespace cli
