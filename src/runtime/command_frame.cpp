#include "command_frame.h"

#include "command_environment.h"
#include "store_layout.h"

Alert closingAlert(std::string title, std::string message, AlertOutcome outcome) {
    Alert alert;
    alert.title = std::move(title);
    alert.message = std::move(message);
    alert.cancelButton = std::string(store::kCloseButton);
    alert.kind = AlertKind::Closing;
    alert.outcome = outcome;
    return alert;
}

bool runCommandFrame(CommandEnvironment& environment, Screen& screen, AlertDelegate* delegate,
                     const CommandFrame& frame, const std::function<void(CommandContext&)>& steps) {
    if (auto begun = environment.tryBeginCommand(); !begun) {
        screen.showNotice(begun.error().message);
        return false;
    }
    screen.showOverlay(frame.label);
    CommandContext context(environment, screen);
    steps(context);
    screen.hideOverlay();
    Alert alert = frame.closingAlert
                      ? frame.closingAlert(context)
                      : closingAlert(frame.title, context.closingMessage(frame.successMessage),
                                     context.outcome());
    environment.endCommand();
    screen.showAlert(alert, delegate);
    return true;
}

bool whenIdle(CommandEnvironment& environment, Screen& screen, const std::function<void()>& work) {
    if (environment.busy()) {
        screen.showNotice(kBusyNotice);
        return false;
    }
    work();
    return true;
}
