#pragma once

#include "command_lock.h"
#include "device_root.h"

class ToolRunner;

// What every command of a process shares: the device root, the tool runner,
// and the rule that only one command runs at a time.
class CommandEnvironment {
public:
    CommandEnvironment(DeviceRoot root, ToolRunner& runner);

    const DeviceRoot& root() const { return root_; }
    ToolRunner& runner() const { return runner_; }

    // Takes the device root's lock for the life of the process (the command
    // line does this before its one command); an error when another process has it.
    platform::Status lockForProcess();

    // From a command's overlay to its closing alert. An error with the notice
    // to show while another command of this process runs, or another process
    // holds the device root.
    platform::Status tryBeginCommand();
    void endCommand();
    bool busy() const { return busy_; }

private:
    DeviceRoot root_;
    ToolRunner& runner_;
    CommandLock lock_;
    bool lockedForProcess_ = false;
    bool busy_ = false;
};
