#include "command_table.h"

#include "bundle_version.h"
#include "category_words.h"
#include "cli_cloud.h"
#include "exit_status.h"
#include "screens.h"
#include "usage_text.h"

#include <cstdio>

namespace cli {
namespace {

int printUsage() {
    std::fputs(usageText().c_str(), stdout);
    return kSucceeded;
}

int printVersion() {
    std::puts("mobrix " MOBRIX_VERSION);
    return kSucceeded;
}

template <typename Controller>
void loadAndRun(Controller& controller, void (Controller::*method)()) {
    controller.loadViewIfNeeded();
    (controller.*method)();
}

// One command method of one screen.
template <typename Controller>
ScreenCommand onScreen(Controller Screens::*screen, void (Controller::*method)()) {
    return [screen, method](Screens& screens, const std::optional<std::string>&) {
        loadAndRun(screens.*screen, method);
    };
}

// The screen's command for the category key of the operand.
template <typename Controller> ScreenCommand forCategory(Controller Screens::*screen) {
    return [screen](Screens& screens, const std::optional<std::string>& key) {
        loadAndRun(screens.*screen, Controller::commandForKey(*key));
    };
}

std::vector<Command> makeTable() {
    using Options = OptionsViewController;
    using Cloud = CloudViewController;
    constexpr std::string_view kOptions = "Options screen";
    constexpr std::string_view kCloud = "Cloud screen";
    return {
        {"", "save", Operands::Category, forCategory(&Screens::safeguard), "Safeguard screen"},
        {"", "restore", Operands::Category, forCategory(&Screens::restoration),
         "Restoration screen"},
        {"", "create-folders", Operands::None,
         onScreen(&Screens::options, &Options::createApplicationFolders), kOptions},
        {"", "remove-safeguard", Operands::None,
         onScreen(&Screens::options, &Options::removeSafeguard), kOptions},
        {"", "respring", Operands::None, onScreen(&Screens::options, &Options::Respring), kOptions},
        {"", "reboot", Operands::None, onScreen(&Screens::options, &Options::Reboot), kOptions},
        {"", "remove-added-sources", Operands::None,
         onScreen(&Screens::options, &Options::removeMOXSources), kOptions},
        {"cloud", "link", Operands::None, &linkCloudAccount, kCloud},
        {"cloud", "upload", Operands::None, onScreen(&Screens::cloud, &Cloud::UploadBackupToCloud),
         kCloud},
        {"cloud", "download", Operands::None,
         onScreen(&Screens::cloud, &Cloud::DownloadBackupFromCloud), kCloud},
        {"cloud", "delete", Operands::None, onScreen(&Screens::cloud, &Cloud::DeleteBackupOnCloud),
         kCloud},
        {"cloud", "info", Operands::None, &showCloudAccount, kCloud},
        {"cloud", "ls", Operands::OptionalPath, &listCloudFolder, kCloud},
        {"", "open-url", Operands::LinkAnswer, &openLinkAnswer,
         "hand a link answer (cs-q7w2k9x4m1z8r5t://...) to the program"},
        {"", "help", Operands::Any, &printUsage, ""},
        {"", "--help", Operands::Any, &printUsage, ""},
        {"", "--version", Operands::Any, &printVersion, ""},
    };
}

const Command* find(std::string_view group, std::string_view verb) {
    for (const Command& command : commandTable())
        if (command.group == group && command.verb == verb)
            return &command;
    return nullptr;
}

bool isGroup(std::string_view word) {
    for (const Command& command : commandTable())
        if (!word.empty() && command.group == word)
            return true;
    return false;
}

// "link, upload, … or ls": the verbs of a group.
std::string verbList(std::string_view group) {
    std::vector<std::string_view> verbs;
    for (const Command& command : commandTable())
        if (command.group == group)
            verbs.push_back(command.verb);
    std::string list;
    for (size_t i = 0; i < verbs.size(); ++i)
        list += std::string(i == 0                  ? ""
                            : i + 1 == verbs.size() ? " or "
                                                    : ", ") +
                std::string(verbs[i]);
    return list;
}

std::string nameOf(const Command& command) {
    if (command.group.empty())
        return std::string(command.verb);
    return std::string(command.group) + " " + std::string(command.verb);
}

} // namespace

std::span<const Command> commandTable() {
    static const std::vector<Command> table = makeTable();
    return table;
}

platform::Result<const Command*> findCommand(const std::vector<std::string>& words) {
    const std::string& first = words[0];
    if (const Command* command = find("", first))
        return command;
    if (!isGroup(first))
        return platform::Error{"unknown command " + first};
    if (words.size() < 2)
        return platform::Error{first + " takes " + verbList(first)};
    if (const Command* command = find(first, words[1]))
        return command;
    return platform::Error{"unknown " + first + " command " + words[1]};
}

platform::Result<std::optional<std::string>> readOperand(const Command& command,
                                                         const std::vector<std::string>& words) {
    const size_t skipped = command.group.empty() ? 1 : 2;
    const std::vector<std::string> operands(words.begin() + static_cast<long>(skipped),
                                            words.end());
    const std::string name = nameOf(command);
    switch (command.operands) {
    case Operands::None:
        if (!operands.empty())
            return platform::Error{name + " takes no operand"};
        return std::optional<std::string>();
    case Operands::Any:
        return std::optional<std::string>();
    case Operands::Category: {
        if (operands.size() != 1)
            return platform::Error{name + " takes one CATEGORY"};
        std::optional<std::string> key = commandKey(operands[0]);
        if (!key)
            return platform::Error{"unknown category " + operands[0]};
        return key;
    }
    case Operands::OptionalPath:
        if (operands.size() > 1)
            return platform::Error{name + " takes at most one PATH"};
        return operands.empty() ? std::optional<std::string>() : operands[0];
    case Operands::LinkAnswer: {
        // The answer's token and secret travel best on standard input: a
        // command line is readable by every local user.
        std::string answer = operands.size() == 1 ? operands[0]
                             : operands.empty()   ? linkAnswerFromInput()
                                                  : std::string();
        if (answer.empty())
            return platform::Error{name + " takes one URL"};
        return std::optional<std::string>(std::move(answer));
    }
    }
    return platform::Error{"unknown command " + name};
}

} // namespace cli
