#include "alert_answers.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <optional>
#include <unistd.h>

namespace cli {
namespace {

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string buttonList(const Alert& alert) {
    std::string list;
    for (int i = 0; i < alert.buttonCount(); ++i)
        list += (i ? ", " : "") + alert.buttonTitle(i);
    return list;
}

std::optional<int> buttonIndex(const Alert& alert, const std::string& title) {
    for (int i = 0; i < alert.buttonCount(); ++i)
        if (lowercase(alert.buttonTitle(i)) == lowercase(title))
            return i;
    return std::nullopt;
}

// A button given by its number at the prompt; anything else (a sign, a blank,
// a number past the last button, however long) is no number.
std::optional<int> buttonNumber(const std::string& line, int buttonCount) {
    int index = 0;
    const char* end = line.data() + line.size();
    auto [stop, error] = std::from_chars(line.data(), end, index);
    if (line.empty() || error != std::errc() || stop != end || line.front() == '-' ||
        index >= buttonCount)
        return std::nullopt;
    return index;
}

int prompt(const Alert& alert) {
    for (;;) {
        for (int i = 0; i < alert.buttonCount(); ++i)
            std::fprintf(stderr, "  %d) %s\n", i, alert.buttonTitle(i).c_str());
        std::fprintf(stderr, "Choose a button: ");
        std::fflush(stderr);
        std::string line;
        if (!std::getline(std::cin, line))
            return 0;
        if (auto index = buttonIndex(alert, line))
            return *index;
        if (auto index = buttonNumber(line, alert.buttonCount()))
            return *index;
    }
}

} // namespace

AlertAnswers::AlertAnswers(const CliArguments& arguments) : arguments_(arguments) {}

platform::Result<int> AlertAnswers::answer(const Alert& alert) {
    if (alert.otherButtons.empty())
        return 0;
    if (nextAnswer_ < arguments_.answers.size()) {
        const std::string& answer = arguments_.answers[nextAnswer_++];
        if (auto chosen = buttonIndex(alert, answer))
            return *chosen;
        return platform::Error{"\"" + answer + "\" is not a button of \"" + alert.title +
                               "\" (buttons: " + buttonList(alert) + ")"};
    }
    if (arguments_.yes && alert.kind != AlertKind::RestartOffer)
        return 1;
    if (::isatty(STDIN_FILENO))
        return prompt(alert);
    return 0;
}

} // namespace cli
