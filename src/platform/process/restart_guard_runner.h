#pragma once

#include "tool_runner.h"

#include <functional>
#include <string>

// Keeps the device-restart tools (respring, reboot, the program ending itself)
// away from the host when the device root is not "/": those runs are recorded
// instead of run. Every other tool goes to the wrapped runner.
class RestartGuardRunner : public ToolRunner {
public:
    using Recorder = std::function<void(const ToolRun&)>;

    RestartGuardRunner(ToolRunner& inner, bool deviceRootIsSystem, Recorder recorder);
    ToolOutcome run(const ToolRun& run) override;

    static bool isRestartTool(const ToolRun& run);

    // The recorder used by the front ends: one line per run appended to the
    // file named by MOBRIX_RECORD_TOOLS when set, and a note on stderr.
    static Recorder environmentRecorder();

private:
    ToolRunner& inner_;
    bool deviceRootIsSystem_;
    Recorder recorder_;
};
