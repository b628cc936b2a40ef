#pragma once

#include "process_tool_runner.h"
#include "restart_guard_runner.h"

#include <functional>
#include <vector>

// Runs the file tools for real and records every run; restart tools (killall, reboot) are
// only recorded, never run. Runs for which failWhen holds fail with status 9, not run.
class RecordingToolRunner : public ToolRunner {
public:
    ToolOutcome run(const ToolRun& run) override {
        runs_.push_back(run);
        if (failWhen && failWhen(run)) {
            ToolOutcome failed;
            failed.exitCode = 9;
            failed.errorOutput = "injected failure";
            return failed;
        }
        return RestartGuardRunner::isRestartTool(run) ? ToolOutcome{} : processes_.run(run);
    }
    std::function<bool(const ToolRun&)> failWhen;

    const std::vector<ToolRun>& runs() const { return runs_; }
    // Command lines of all runs, or of the restart tools that were asked for.
    std::vector<std::string> commandLines(bool restartsOnly = false) const {
        std::vector<std::string> lines;
        for (const auto& run : runs_)
            if (!restartsOnly || RestartGuardRunner::isRestartTool(run))
                lines.push_back(run.commandLine());
        return lines;
    }
    std::vector<std::string> restarts() const { return commandLines(true); }

private:
    ProcessToolRunner processes_;
    std::vector<ToolRun> runs_;
};
