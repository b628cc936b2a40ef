#pragma once

#include <functional>
#include <string>

class AlertDelegate;
class CommandContext;
class CommandEnvironment;
class Screen;

// Runs a device restart (no overlay, no alert when it works). A restart that
// could not be made is reported with an alert, never passed over silently.
void runRestart(CommandEnvironment& environment, Screen& screen, AlertDelegate* delegate,
                const std::string& title,
                const std::function<bool(CommandContext&)>& restartOperation);
