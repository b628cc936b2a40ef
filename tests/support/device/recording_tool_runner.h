#pragma once

#include "process_tool_runner.h"

#include <functional>
#include <vector>

// Runs the file tools for real and records every run; the restart tools
// (killall, reboot) are only recorded, never run. A test can make chosen runs
// fail with a given exit status without running them.
class RecordingToolRunner : public ToolRunner {
public:
    ToolOutcome run(const ToolRun& run) override;

    // Runs for which predicate holds end with this exit status.
    void failWhen(std::function<bool(const ToolRun&)> predicate, int exitCode = 9);

    const std::vector<ToolRun>& runs() const { return runs_; }
    std::vector<std::string> commandLines() const;
    // Command lines of the restart tools that were asked for.
    std::vector<std::string> restarts() const;

private:
    ProcessToolRunner processes_;
    std::vector<ToolRun> runs_;
    std::vector<std::pair<std::function<bool(const ToolRun&)>, int>> failures_;
};
