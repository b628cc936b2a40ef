#include "cli_session.h"

#include "bundle_version.h"
#include "category_table.h"
#include "cli_cloud.h"
#include "cloud_view_controller.h"
#include "command_environment.h"
#include "first_view_controller.h"
#include "options_view_controller.h"
#include "process_tool_runner.h"
#include "restart_guard_runner.h"
#include "second_view_controller.h"
#include "terminal_screen.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <optional>
#include <unistd.h>

namespace {

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// A CATEGORY word of the command line, or a command key in any letter case,
// turned into the key ("Accounts", "AllPref" …).
std::optional<std::string> commandKey(const std::string& word) {
    const std::string wanted = lowercase(word);
    static const std::pair<std::string_view, std::string_view> extras[] = {
        {"all", "AllPref"}, {"sources", "CydiaSources"}, {"packages", "CydiaPackages"}};
    for (const auto& category : store::categoryTable())
        if (wanted == category.cliWord || wanted == lowercase(std::string(category.key)))
            return std::string(category.key);
    for (const auto& [cliWord, key] : extras)
        if (wanted == cliWord || wanted == lowercase(std::string(key)))
            return std::string(key);
    return std::nullopt;
}

struct Screens {
    FirstViewController safeguard;
    SecondViewController restoration;
    OptionsViewController options;
    CloudViewController cloud;
};

using Action = std::function<void(Screens&)>;

template <typename Controller>
Action loadAndRun(Controller Screens::*screen, void (Controller::*command)()) {
    return [screen, command](Screens& screens) {
        Controller& controller = screens.*screen;
        controller.loadViewIfNeeded();
        (controller.*command)();
    };
}

std::optional<Action> resolve(const std::vector<std::string>& words, std::string& error) {
    const std::string& verb = words[0];
    if (verb == "save" || verb == "restore") {
        if (words.size() != 2) {
            error = verb + " takes one CATEGORY";
            return std::nullopt;
        }
        auto key = commandKey(words[1]);
        if (!key) {
            error = "unknown category " + words[1];
            return std::nullopt;
        }
        if (verb == "save")
            return loadAndRun(&Screens::safeguard, FirstViewController::commandForKey(*key));
        return loadAndRun(&Screens::restoration, SecondViewController::commandForKey(*key));
    }
    static const std::pair<std::string_view, void (OptionsViewController::*)()> options[] = {
        {"create-folders", &OptionsViewController::createApplicationFolders},
        {"remove-safeguard", &OptionsViewController::removeSafeguard},
        {"respring", &OptionsViewController::Respring},
        {"reboot", &OptionsViewController::Reboot},
        {"remove-added-sources", &OptionsViewController::removeMOXSources},
    };
    static const std::pair<std::string_view, void (CloudViewController::*)()> cloud[] = {
        {"upload", &CloudViewController::UploadBackupToCloud},
        {"download", &CloudViewController::DownloadBackupFromCloud},
        {"delete", &CloudViewController::DeleteBackupOnCloud},
    };
    if (verb == "cloud") {
        if (words.size() < 2) {
            error = "cloud takes link, upload, download, delete, info or ls";
            return std::nullopt;
        }
        for (const auto& [name, command] : cloud) {
            if (words[1] != name)
                continue;
            if (words.size() != 2) {
                error = "cloud " + words[1] + " takes no operand";
                return std::nullopt;
            }
            return loadAndRun(&Screens::cloud, command);
        }
        error = "unknown cloud command " + words[1];
        return std::nullopt;
    }
    for (const auto& [name, command] : options) {
        if (verb != name)
            continue;
        if (words.size() != 1) {
            error = verb + " takes no operand";
            return std::nullopt;
        }
        return loadAndRun(&Screens::options, command);
    }
    error = "unknown command " + verb;
    return std::nullopt;
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

CliSession::CliSession(CliArguments arguments, CSClientContext& client)
    : arguments_(std::move(arguments)), client_(client) {}

int CliSession::run() {
    const std::string& verb = arguments_.words.front();
    if (verb == "help" || verb == "--help") {
        std::fputs(kUsageText, stdout);
        return kSucceeded;
    }
    if (verb == "--version") {
        std::puts("mobrix " MOBRIX_VERSION);
        return kSucceeded;
    }
    std::string error;
    if (!cli_cloud::applyServiceOptions(arguments_, client_, error)) {
        std::fprintf(stderr, "mobrix: %s\n", error.c_str());
        return kUsage;
    }
    if (cli_cloud::isAccountCommand(arguments_.words))
        return cli_cloud::runAccountCommand(arguments_, client_);
    auto action = resolve(arguments_.words, error);
    if (!action) {
        std::fprintf(stderr, "mobrix: %s\n%s", error.c_str(), kUsageText);
        return kUsage;
    }
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
    Screens screens{{environment, screen},
                    {environment, screen},
                    {environment, screen},
                    {environment, screen, client_}};
    (*action)(screens);

    bool failed = false;
    bool cancelled = false;
    size_t nextAnswer = 0;
    // Cloud requests answer later: their closing alert comes when the last
    // one has completed, and nothing is cut short by the end of the process.
    for (cli_cloud::waitForRequests(screens.cloud, screen); screen.hasPendingAlert();
         cli_cloud::waitForRequests(screens.cloud, screen)) {
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
