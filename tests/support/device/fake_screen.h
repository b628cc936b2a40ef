#pragma once

#include "screen.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

// A screen that remembers what the commands showed, for tests.
class FakeScreen : public Screen {
public:
    void showOverlay(const std::string& label) override {
        overlayShown = true;
        events.push_back("overlay:" + label);
    }
    void setOverlayProgress(double, const std::string& details) override {
        events.push_back("progress:" + details);
    }
    void hideOverlay() override {
        overlayShown = false;
        events.push_back("hide");
    }
    void showAlert(const Alert& alert, AlertDelegate* delegate) override {
        alerts.push_back(alert);
        open_.emplace_back(alert, delegate);
        events.push_back("alert:" + alert.title);
    }
    void beginIgnoringInteractionEvents() override { events.push_back("ignore"); }
    void endIgnoringInteractionEvents() override { events.push_back("resume"); }
    void setIdleTimerDisabled(bool) override {}
    void showNotice(const std::string& text) override { notices.push_back(text); }

    // Answers the topmost alert still shown (the latest) with a button index.
    void answer(int buttonIndex) {
        ASSERT_FALSE(open_.empty()) << "no alert to answer";
        auto [alert, delegate] = open_.back();
        open_.pop_back();
        ASSERT_LT(buttonIndex, alert.buttonCount());
        if (delegate)
            delegate->alertView(alert, buttonIndex);
    }
    const Alert& lastAlert() const { return alerts.back(); }

    // "overlay:LABEL", "progress:DETAILS", "hide", "alert:TITLE", "ignore", "resume"
    std::vector<std::string> events;
    std::vector<Alert> alerts;
    std::vector<std::string> notices;
    bool overlayShown = false;

private:
    std::vector<std::pair<Alert, AlertDelegate*>> open_;
};
