#include "restart.h"

#include "command_context.h"
#include "store_layout.h"

namespace runtime::restart {

bool respring(CommandContext& context) {
    return context.run("Respring", store::kKillTool, {"backboardd"}, Wait::Plain);
}

bool reboot(CommandContext& context) {
    return context.run("Reboot", store::kRebootTool, {}, Wait::Plain);
}

} // namespace runtime::restart
