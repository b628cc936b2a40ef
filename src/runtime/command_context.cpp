#include "command_context.h"

#include "command_environment.h"

#include <pwd.h>

namespace {

std::string rootHome() {
    if (const passwd* entry = ::getpwuid(0); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/root";
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += "\n" + line;
    return text;
}

} // namespace

std::string failedText(std::string_view successText) {
    std::string text(successText);
    if (auto at = text.find("done"); at != std::string::npos)
        return text.replace(at, 4, "failed");
    if (text == "Successful !")
        return "Failed !";
    return text;
}

CommandContext::CommandContext(CommandEnvironment& environment, Screen& screen)
    : environment_(environment), screen_(screen) {}

const DeviceRoot& CommandContext::root() const {
    return environment_.root();
}

std::string CommandContext::path(std::string_view devicePath) const {
    return environment_.root().path(devicePath);
}

ToolOutcome CommandContext::launch(std::string_view tool, std::vector<std::string> arguments,
                                   std::string workingFolder, bool captureOutput, Wait wait,
                                   const ChildSetup& child) {
    ToolRun run;
    run.child = child;
    run.launchPath = std::string(tool);
    run.arguments = std::move(arguments);
    run.workingFolder = std::move(workingFolder);
    run.captureOutput = captureOutput;
    run.environment = {{"PATH", "/usr/sbin:/usr/bin:/sbin:/bin"},
                       {"HOME", rootHome()},
                       {"MOBRIX_ROOT", environment_.root().root()}};
    run.environment.insert(run.environment.end(), toolEnvironment_.begin(), toolEnvironment_.end());
    // Input is ignored only once the tool has started; the runner starts it
    // at once, so beginning just before the wait is the same moment.
    if (wait == Wait::InputBlocked)
        screen_.beginIgnoringInteractionEvents();
    ToolOutcome outcome = environment_.runner().run(run);
    if (wait == Wait::InputBlocked)
        screen_.endIgnoringInteractionEvents();
    return outcome;
}

bool CommandContext::run(std::string_view subject, std::string_view tool,
                         std::vector<std::string> arguments, Wait wait, int highestSuccessCode,
                         std::string workingFolder) {
    ToolOutcome outcome =
        launch(tool, std::move(arguments), std::move(workingFolder), false, wait, {});
    if (outcome.succeeded(highestSuccessCode))
        return true;
    failTool(subject, tool, outcome);
    return false;
}

bool CommandContext::runWith(std::string_view subject, std::string_view tool,
                             std::vector<std::string> arguments, Wait wait, const ChildSetup& child,
                             int highestSuccessCode) {
    ToolOutcome outcome = launch(tool, std::move(arguments), "/", false, wait, child);
    if (outcome.succeeded(highestSuccessCode))
        return true;
    failTool(subject, tool, outcome);
    return false;
}

void CommandContext::failTool(std::string_view subject, std::string_view tool,
                              const ToolOutcome& outcome) {
    const std::string what = std::string(tool) + " " + outcome.describe();
    if (outcome.ranOutOfSpace(std::string(tool)))
        fail(subject, "no space left on the device (" + what + ")");
    else
        fail(subject, what);
}

std::optional<std::string> CommandContext::runForOutput(std::string_view subject,
                                                        std::string_view tool,
                                                        std::vector<std::string> arguments,
                                                        const ChildSetup& child) {
    ToolOutcome outcome = launch(tool, std::move(arguments), "/", true, Wait::Plain, child);
    if (outcome.succeeded())
        return std::move(outcome.output);
    failTool(subject, tool, outcome);
    return std::nullopt;
}

void CommandContext::addToolEnvironment(std::string name, std::string value) {
    toolEnvironment_.emplace_back(std::move(name), std::move(value));
}

void CommandContext::fail(std::string_view subject, std::string_view reason) {
    failures_.push_back(subject.empty() ? std::string(reason)
                                        : std::string(subject) + ": " + std::string(reason));
}

void CommandContext::note(std::string line) {
    notes_.push_back(std::move(line));
}

std::string CommandContext::closingMessage(std::string_view successText) const {
    std::string message = failed() ? failedText(successText) : std::string(successText);
    return message + joinLines(failures_) + joinLines(notes_);
}
