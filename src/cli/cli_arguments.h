#pragma once

#include <optional>
#include <string>
#include <vector>

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

struct ParsedArguments {
    std::optional<CliArguments> arguments;
    std::string error; // usage error when arguments is empty
};

ParsedArguments parseArguments(const std::vector<std::string>& argv);

extern const char* const kUsageText;
