#include "fake_screen.h"

#include <gtest/gtest.h>

void FakeScreen::showOverlay(const std::string& label) {
    overlayShown = true;
    events.push_back("overlay:" + label);
}

void FakeScreen::setOverlayProgress(double, const std::string& details) {
    events.push_back("progress:" + details);
}

void FakeScreen::hideOverlay() {
    overlayShown = false;
    events.push_back("hide");
}

void FakeScreen::showAlert(const Alert& alert, AlertDelegate* delegate) {
    alerts.push_back(alert);
    open_.emplace_back(alert, delegate);
    events.push_back("alert:" + alert.title);
}

void FakeScreen::beginIgnoringInteractionEvents() {
    ++ignoreDepth;
    events.push_back("ignore");
}

void FakeScreen::endIgnoringInteractionEvents() {
    --ignoreDepth;
    events.push_back("resume");
}

void FakeScreen::answer(int buttonIndex) {
    ASSERT_FALSE(open_.empty()) << "no alert to answer";
    auto [alert, delegate] = open_.back();
    open_.pop_back();
    ASSERT_LT(buttonIndex, alert.buttonCount());
    if (delegate)
        delegate->alertView(alert, buttonIndex);
}
