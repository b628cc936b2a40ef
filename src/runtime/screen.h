#pragma once

#include <string>
#include <vector>

// What an alert is for, so that a front end can tell an answer that cancels a
// command from one that only declines an offer.
enum class AlertKind {
    Closing,      // ends a command; only "Close"
    Confirmation, // asked before a command acts; the cancel button cancels it
    RestartOffer, // offered after a restoration; declining is not a cancel
};

// How the command that shows an alert came out.
enum class AlertOutcome { None, Succeeded, Failed };

struct Alert {
    std::string title;
    std::string message;
    std::string cancelButton;              // index 0
    std::vector<std::string> otherButtons; // indices 1 and up
    int tag = 0;
    AlertKind kind = AlertKind::Closing;
    AlertOutcome outcome = AlertOutcome::None;

    int buttonCount() const { return 1 + static_cast<int>(otherButtons.size()); }
    const std::string& buttonTitle(int index) const {
        return index == 0 ? cancelButton : otherButtons.at(static_cast<size_t>(index - 1));
    }
};

// The screen controller that receives the answers of the alerts it shows.
class AlertDelegate {
public:
    virtual ~AlertDelegate() = default;
    virtual void alertView(const Alert& alert, int clickedButtonAtIndex) = 0;
};

// The feedback contract between the commands and a front end: the progress
// overlay, alerts, blocking of input during waits, keeping the device awake.
class Screen {
public:
    virtual ~Screen() = default;

    // Overlay over the screen's root view, indeterminate, with a label.
    virtual void showOverlay(const std::string& label) = 0;
    // Determinate progress for long transfers (0..1) with a details line.
    virtual void setOverlayProgress(double fraction, const std::string& details) = 0;
    virtual void hideOverlay() = 0;

    // Shows the alert and returns at once; the answer later reaches the
    // delegate (none for alerts without further buttons that need no answer).
    virtual void showAlert(const Alert& alert, AlertDelegate* delegate) = 0;

    virtual void beginIgnoringInteractionEvents() = 0;
    virtual void endIgnoringInteractionEvents() = 0;
    virtual void setIdleTimerDisabled(bool disabled) = 0;

    // A short notice that does not wait for an answer (a button pressed
    // while another command runs).
    virtual void showNotice(const std::string& text) = 0;
};
