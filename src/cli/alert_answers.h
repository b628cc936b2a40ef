#pragma once

#include "cli_arguments.h"
#include "result.h"
#include "screen.h"

#include <cstddef>

namespace cli {

// Chooses the button that answers each alert in turn: the next --answer,
// else --yes (never for a restart offer), else a prompt when standard input
// is a terminal, else the first button. An alert that asks nothing is closed.
class AlertAnswers {
public:
    explicit AlertAnswers(const CliArguments& arguments);

    // The button's index, or the error when an --answer names no button.
    platform::Result<int> answer(const Alert& alert);

private:
    const CliArguments& arguments_;
    std::size_t nextAnswer_ = 0;
};

} // namespace cli
