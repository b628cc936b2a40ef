#include "cli_session.h"

#include "cli_cloud.h"
#include "command_environment.h"
#include "command_table.h"
#include "process_tool_runner.h"
#include "restart_guard_runner.h"
#include "screens.h"
#include "terminal_screen.h"
#include "usage_text.h"

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

CliSession::CliSession(CliArguments arguments) : arguments_(std::move(arguments)) {}

int CliSession::run() {
    const std::vector<std::string>& words = arguments_.words;
    auto command = findCommand(words);
    if (command)
        if (auto print = std::get_if<PrintCommand>(&(*command)->run))
            return (*print)();
    if (auto applied = applyServiceOptions(arguments_); !applied) {
        std::fprintf(stderr, "mobrix: %s\n", applied.error().message.c_str());
        return kUsage;
    }
    if (!command)
        return usageError(command.error().message);
    auto operand = readOperand(**command, words);
    if (!operand)
        return usageError(operand.error().message);
    if (auto account = std::get_if<AccountCommand>(&(*command)->run))
        return (*account)(arguments_, *operand);
    return runOnScreens(**command, *operand);
}

int CliSession::runOnScreens(const Command& command, const std::optional<std::string>& operand) {
    if (::access(arguments_.root.c_str(), F_OK) != 0) {
        std::fprintf(stderr, "mobrix: the device root %s does not exist\n",
                     arguments_.root.c_str());
        return kUsage;
    }

    ProcessToolRunner processes;
    const DeviceRoot root(arguments_.root);
    RestartGuardRunner runner(processes, root.isSystem(),
                              RestartGuardRunner::environmentRecorder());
    CommandEnvironment environment(root, runner);
    if (!environment.lockForProcess()) {
        std::fprintf(stderr, "mobrix: %s\n", environment.lockError().c_str());
        return kBusy;
    }
    TerminalScreen screen;
    Screens screens{
        {environment, screen}, {environment, screen}, {environment, screen}, {environment, screen}};
    std::get<ScreenCommand>(command.run)(screens, operand);

    bool failed = false;
    bool cancelled = false;
    size_t nextAnswer = 0;
    // Cloud requests answer later: their closing alert comes when the last
    // one has completed, and nothing is cut short by the end of the process.
    for (waitForRequests(screens.cloud, screen); screen.hasPendingAlert();
         waitForRequests(screens.cloud, screen)) {
        auto [alert, delegate] = screen.takeAlert();
        std::printf("%s\n%s\n", alert.title.c_str(), alert.message.c_str());
        std::fflush(stdout);
        int index = 0;
        if (!alert.otherButtons.empty()) {
            if (nextAnswer < arguments_.answers.size()) {
                const std::string& answer = arguments_.answers[nextAnswer++];
                auto chosen = buttonIndex(alert, answer);
                if (!chosen) {
                    std::fprintf(stderr, "mobrix: \"%s\" is not a button of \"%s\" (buttons: %s)\n",
                                 answer.c_str(), alert.title.c_str(), buttonList(alert).c_str());
                    return kUsage;
                }
                index = *chosen;
            } else if (arguments_.yes && alert.kind != AlertKind::RestartOffer) {
                index = 1;
            } else if (::isatty(STDIN_FILENO)) {
                index = prompt(alert);
            }
        }
        failed = failed || alert.outcome == AlertOutcome::Failed;
        cancelled = cancelled || (alert.kind == AlertKind::Confirmation && index == 0);
        if (delegate)
            delegate->alertView(alert, index);
    }
    return failed ? kFailed : cancelled ? kCancelled : kSucceeded;
}

} // namespace cli
