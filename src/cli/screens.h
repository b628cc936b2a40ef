#pragma once

#include "cloud_view_controller.h"
#include "first_view_controller.h"
#include "options_view_controller.h"
#include "second_view_controller.h"

namespace cli {

// The screens one command of the command line may run on.
struct Screens {
    FirstViewController safeguard;
    SecondViewController restoration;
    OptionsViewController options;
    CloudViewController cloud;
};

} // namespace cli
