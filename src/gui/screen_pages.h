#pragma once

#include "command_page.h"

class CloudViewController;
class FirstViewController;
class OptionsViewController;
class SecondViewController;

// The five screens' contents. Every command button calls its controller's
// method through the gate; the screens hold no command logic of their own.
namespace gui::screen_pages {

CommandPage* safeguard(FirstViewController& controller, CommandPage::Gate gate);
CommandPage* restoration(SecondViewController& controller, CommandPage::Gate gate);
CommandPage* options(OptionsViewController& controller, CommandPage::Gate gate);
CommandPage* cloud(CloudViewController& controller, CommandPage::Gate gate);
QWidget* help(const QString& deviceRoot);

} // namespace gui::screen_pages
