#include "restart_alert.h"

#include "command_context.h"
#include "command_environment.h"
#include "command_frame.h"

void runRestart(CommandEnvironment& environment, Screen& screen, AlertDelegate* delegate,
                const std::string& title,
                const std::function<bool(CommandContext&)>& restartOperation) {
    whenIdle(environment, screen, [&] {
        CommandContext context(environment, screen);
        if (restartOperation(context))
            return;
        screen.showAlert(
            closingAlert(title, context.closingMessage("Successful !"), AlertOutcome::Failed),
            delegate);
    });
}
