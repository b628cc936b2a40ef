#include "command_environment.h"

#include "command_frame.h"

CommandEnvironment::CommandEnvironment(DeviceRoot root, ToolRunner& runner)
    : root_(std::move(root)), runner_(runner) {}

platform::Status CommandEnvironment::lockForProcess() {
    if (lock_.held()) {
        lockedForProcess_ = true;
        return {};
    }
    auto locked = lock_.tryAcquire(root_.root());
    lockedForProcess_ = locked.ok();
    return locked;
}

platform::Status CommandEnvironment::tryBeginCommand() {
    if (busy_)
        return platform::Error{kBusyNotice, 0};
    if (!lockedForProcess_)
        if (auto locked = lock_.tryAcquire(root_.root()); !locked)
            return locked;
    busy_ = true;
    return {};
}

void CommandEnvironment::endCommand() {
    busy_ = false;
    if (!lockedForProcess_)
        lock_.release();
}
