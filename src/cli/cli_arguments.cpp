#include "cli_arguments.h"

#include <functional>
#include <optional>
#include <string_view>

namespace cli {
namespace {

// The value when the word at i is "--name value" (i then moves to the value)
// or "--name=value"; nothing when it is another word.
platform::Result<std::optional<std::string>> optionValue(const std::vector<std::string>& argv,
                                                         size_t& i, const std::string& name) {
    const std::string& word = argv[i];
    if (word.starts_with(name + "="))
        return std::optional<std::string>(word.substr(name.size() + 1));
    if (word != name)
        return std::optional<std::string>();
    if (i + 1 >= argv.size())
        return platform::Error{name + " needs a value"};
    return std::optional<std::string>(argv[++i]);
}

// Whether the word at i is an option with a value, which is then stored.
platform::Result<bool> takeValueOption(const std::vector<std::string>& argv, size_t& i,
                                       CliArguments& arguments) {
    const std::pair<std::string, std::function<void(std::string)>> options[] = {
        {"--root", [&](std::string value) { arguments.root = std::move(value); }},
        {"--service", [&](std::string value) { arguments.serviceUrl = std::move(value); }},
        {"--service-ca", [&](std::string value) { arguments.serviceCa = std::move(value); }},
        {"--test-home", [&](std::string value) { arguments.testHome = std::move(value); }},
        {"--answer", [&](std::string value) { arguments.answers.push_back(std::move(value)); }},
    };
    for (const auto& [name, store] : options) {
        auto value = optionValue(argv, i, name);
        if (!value)
            return value.error();
        if (*value) {
            store(std::move(**value));
            return true;
        }
    }
    return false;
}

} // namespace

platform::Result<CliArguments> parseArguments(const std::vector<std::string>& argv) {
    CliArguments arguments;
    for (size_t i = 0; i < argv.size(); ++i) {
        const std::string& word = argv[i];
        if (word == "--yes" || word == "-y") {
            arguments.yes = true;
            continue;
        }
        auto taken = takeValueOption(argv, i, arguments);
        if (!taken)
            return taken.error();
        if (*taken)
            continue;
        if (word == "--help" || word == "--version" || word == "-h")
            arguments.words.push_back(word == "-h" ? "--help" : word);
        else if (word.starts_with("--"))
            return platform::Error{"unknown option " + word};
        else
            arguments.words.push_back(word);
    }
    if (arguments.words.empty())
        return platform::Error{"no command given"};
    if (arguments.serviceUrl.empty() != arguments.serviceCa.empty())
        return platform::Error{"--service and --service-ca go together"};
    return arguments;
}

} // namespace cli
