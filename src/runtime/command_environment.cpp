#include "command_environment.h"

CommandEnvironment::CommandEnvironment(DeviceRoot root, ToolRunner& runner)
    : root_(std::move(root)), runner_(runner) {}

bool CommandEnvironment::lockForProcess() {
    lockedForProcess_ = lock_.held() || lock_.tryAcquire(root_.root());
    return lockedForProcess_;
}

bool CommandEnvironment::tryBeginCommand() {
    if (busy_)
        return false;
    if (!lockedForProcess_ && !lock_.tryAcquire(root_.root()))
        return false;
    busy_ = true;
    return true;
}

void CommandEnvironment::endCommand() {
    busy_ = false;
    if (!lockedForProcess_)
        lock_.release();
}
