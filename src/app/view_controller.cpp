#include "view_controller.h"

Alert confirmationAlert(std::string title, std::string message, std::string cancelButton,
                        std::vector<std::string> otherButtons, int tag, AlertKind kind) {
    Alert alert;
    alert.title = std::move(title);
    alert.message = std::move(message);
    alert.cancelButton = std::move(cancelButton);
    alert.otherButtons = std::move(otherButtons);
    alert.tag = tag;
    alert.kind = kind;
    return alert;
}
