#pragma once

#include "screen.h"

#include <string>
#include <vector>

// A screen that remembers what the commands showed, for tests.
class FakeScreen : public Screen {
public:
    void showOverlay(const std::string& label) override;
    void setOverlayProgress(double fraction, const std::string& details) override;
    void hideOverlay() override;
    void showAlert(const Alert& alert, AlertDelegate* delegate) override;
    void beginIgnoringInteractionEvents() override;
    void endIgnoringInteractionEvents() override;
    void setIdleTimerDisabled(bool disabled) override { idleTimerDisabled = disabled; }
    void showNotice(const std::string& text) override { notices.push_back(text); }

    // Answers the topmost alert still shown (the latest) with a button index.
    void answer(int buttonIndex);
    const Alert& lastAlert() const { return alerts.back(); }

    std::vector<std::string> events; // "overlay:LABEL", "hide", "alert:TITLE", "ignore", "resume"
    std::vector<Alert> alerts;
    std::vector<std::string> notices;
    int ignoreDepth = 0;
    bool overlayShown = false;
    bool idleTimerDisabled = false;

private:
    std::vector<std::pair<Alert, AlertDelegate*>> open_;
};
