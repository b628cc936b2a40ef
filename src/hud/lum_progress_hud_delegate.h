#pragma once

#include <functional>

class LumProgressHUD;

// Optional callbacks of the overlay; an empty member is an operation the
// delegate does not answer.
struct LumProgressHUDDelegate {
    // Called once the overlay has finished hiding.
    std::function<void(LumProgressHUD* hud)> hudWasHidden;
};
