#pragma once

#include "view_controller.h"

// The Help screen: content only; it leaves the idle timer alone.
class HelpViewController : public ViewController {
public:
    using ViewController::ViewController;
};
