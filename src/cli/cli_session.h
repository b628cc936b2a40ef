#pragma once

#include "cli_arguments.h"
#include "exit_status.h"

#include <optional>
#include <string>

namespace cli {

struct Command;

// Runs one command of the command line as the screens would: the screen
// loads, the command runs, then every alert it shows is printed and, when it
// asks, answered from --answer, --yes or a prompt. Returns the exit status.
class CliSession {
public:
    explicit CliSession(CliArguments arguments);
    int run();

private:
    int runOnScreens(const Command& command, const std::optional<std::string>& operand);

    CliArguments arguments_;
};

} // namespace cli
