#pragma once

#include "tool_runner.h"

// Runs tools as child processes with QProcess, waiting in a local event loop
// so that timers and painting go on during the wait.
class ProcessToolRunner : public ToolRunner {
public:
    ToolOutcome run(const ToolRun& run) override;
};
