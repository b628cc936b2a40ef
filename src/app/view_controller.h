#pragma once

#include "screen.h"

class CommandEnvironment;

// What the five screen controllers share: the command environment, the
// screen they show their feedback on, and loading on first display.
class ViewController : public AlertDelegate {
public:
    ViewController(CommandEnvironment& environment, Screen& screen)
        : environment_(environment), screen_(screen) {}

    // The platform loads a screen's view once, when it is first needed.
    void loadViewIfNeeded() {
        if (loaded_)
            return;
        loaded_ = true;
        viewDidLoad();
    }
    bool isViewLoaded() const { return loaded_; }

    virtual void viewDidLoad() {}
    virtual void didReceiveMemoryWarning() {}
    void alertView(const Alert&, int) override {}

    Screen& screen() const { return screen_; }

protected:
    CommandEnvironment& environment_;
    Screen& screen_;

private:
    bool loaded_ = false;
};

// A confirmation or offer: cancel button at index 0, further buttons after.
Alert confirmationAlert(std::string title, std::string message, std::string cancelButton,
                        std::vector<std::string> otherButtons, int tag,
                        AlertKind kind = AlertKind::Confirmation);
