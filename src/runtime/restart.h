#pragma once

class CommandContext;

// The two device restarts: run and wait, no overlay, input not blocked.
namespace runtime::restart {

bool respring(CommandContext& context); // "/usr/bin/killall" "backboardd"
bool reboot(CommandContext& context);   // "/sbin/reboot"

} // namespace runtime::restart
