#pragma once

#include "result.h"

#include <string>
#include <vector>

namespace cli {

// The command line: options anywhere, the other words form the command.
struct CliArguments {
    std::string root = "/";
    bool yes = false;
    std::vector<std::string> answers;
    std::string serviceUrl;
    std::string serviceCa;
    // Test hook, left out of the usage text: the home whose .local/share and
    // .config hold the account and the pending link, in place of the user's.
    std::string testHome;
    std::vector<std::string> words; // the command and its operands
};

// The arguments, or the usage error.
platform::Result<CliArguments> parseArguments(const std::vector<std::string>& argv);

} // namespace cli
