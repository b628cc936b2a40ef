#include "cli_session.h"

#include "alert_answers.h"
#include "cli_cloud.h"
#include "command_environment.h"
#include "command_table.h"
#include "cs_client_context.h"
#include "process_tool_runner.h"
#include "restart_guard_runner.h"
#include "screens.h"
#include "terminal_screen.h"
#include "usage_text.h"

#include <cstdio>
#include <unistd.h>

namespace cli {

CliSession::CliSession(CliArguments arguments, CSClientContext& client)
    : arguments_(std::move(arguments)), client_(client) {}

int CliSession::run() {
    const std::vector<std::string>& words = arguments_.words;
    auto command = findCommand(words);
    if (command)
        if (auto print = std::get_if<PrintCommand>(&(*command)->run))
            return (*print)();
    if (auto applied = applyServiceOptions(arguments_, client_); !applied) {
        std::fprintf(stderr, "mobrix: %s\n", applied.error().message.c_str());
        return kUsage;
    }
    if (!command)
        return usageError(command.error().message);
    auto operand = readOperand(**command, words);
    if (!operand)
        return usageError(operand.error().message);
    if (auto account = std::get_if<AccountCommand>(&(*command)->run))
        return (*account)(arguments_, client_, *operand);
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
    if (auto locked = environment.lockForProcess(); !locked) {
        std::fprintf(stderr, "mobrix: %s\n", locked.error().message.c_str());
        return kBusy;
    }
    TerminalScreen screen;
    Screens screens{{environment, screen},
                    {environment, screen},
                    {environment, screen},
                    {environment, screen, client_}};
    std::get<ScreenCommand>(command.run)(screens, operand);

    bool failed = false;
    bool cancelled = false;
    AlertAnswers answers(arguments_);
    // Cloud requests answer later: their closing alert comes when the last
    // one has completed, and nothing is cut short by the end of the process.
    for (waitForRequests(screens.cloud, screen); screen.hasPendingAlert();
         waitForRequests(screens.cloud, screen)) {
        auto [alert, delegate] = screen.takeAlert();
        std::printf("%s\n%s\n", alert.title.c_str(), alert.message.c_str());
        std::fflush(stdout);
        auto chosen = answers.answer(alert);
        if (!chosen) {
            std::fprintf(stderr, "mobrix: %s\n", chosen.error().message.c_str());
            return kUsage;
        }
        const int index = *chosen;
        failed = failed || alert.outcome == AlertOutcome::Failed;
        cancelled = cancelled || (alert.kind == AlertKind::Confirmation && index == 0);
        if (delegate)
            delegate->alertView(alert, index);
    }
    return failed ? kFailed : cancelled ? kCancelled : kSucceeded;
}

} // namespace cli
