#pragma once

#include "command_context.h"

#include <functional>
#include <string>

class CommandEnvironment;

// The frame of every command that shows progress: overlay with its label, the
// steps, overlay hidden, closing alert. Only one command runs at a time; a
// command started while another runs only gets a notice.
struct CommandFrame {
    std::string label;
    std::string title;
    std::string successMessage;
    // Builds the closing alert; by default a "Close" alert with the title and
    // the worded message.
    std::function<Alert(const CommandContext&)> closingAlert;
};

// Returns false when the command could not start because another one runs.
bool runCommandFrame(CommandEnvironment& environment, Screen& screen, AlertDelegate* delegate,
                     const CommandFrame& frame, const std::function<void(CommandContext&)>& steps);

// A closing alert: title, message, "Close", no tag.
Alert closingAlert(std::string title, std::string message, AlertOutcome outcome);

// Shown when a command is asked for while another one runs.
inline constexpr const char* kBusyNotice = "Another command is running. Please wait until it ends.";

// Runs work only when no other command runs; otherwise shows the notice.
bool whenIdle(CommandEnvironment& environment, Screen& screen, const std::function<void()>& work);
