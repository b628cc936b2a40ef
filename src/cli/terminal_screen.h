#pragma once

#include "screen.h"

#include <QObject>
#include <QTimer>
#include <deque>
#include <string>

namespace cli {

// The command line's screen: the overlay is a spinner (or a progress bar) on
// standard error when that is a terminal, else its label on one line; alerts
// are queued and answered by the session once the command has returned.
class TerminalScreen : public QObject, public Screen {
public:
    TerminalScreen();

    void showOverlay(const std::string& label) override;
    void setOverlayProgress(double fraction, const std::string& details) override;
    void hideOverlay() override;
    void showAlert(const Alert& alert, AlertDelegate* delegate) override;
    void beginIgnoringInteractionEvents() override {}
    void endIgnoringInteractionEvents() override {}
    void setIdleTimerDisabled(bool) override {}
    void showNotice(const std::string& text) override;

    struct PendingAlert {
        Alert alert;
        AlertDelegate* delegate;
    };
    bool hasPendingAlert() const { return !pending_.empty(); }
    PendingAlert takeAlert();
    bool overlayShown() const { return overlayShown_; }

private:
    void drawSpinner();
    void clearLine();

    bool terminal_;
    bool overlayShown_ = false;
    std::string label_;
    std::string progressLine_;
    int frame_ = 0;
    QTimer spinnerTimer_;
    std::deque<PendingAlert> pending_;
};

} // namespace cli
