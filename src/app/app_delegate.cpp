#include "app_delegate.h"

#include "command_context.h"
#include "store_layout.h"

void AppDelegate::applicationDidEnterBackground() {
    CommandContext context(environment_, screen_);
    context.run("Background", store::kKillTool, {"RootMobrix"}, Wait::Plain);
}
