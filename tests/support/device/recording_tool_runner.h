#pragma once

#include "process_tool_runner.h"
#include "restart_guard_runner.h"

#include <functional>
#include <vector>

// Runs the file tools for real and records every run; the restart tools
// (killall, reboot) are only recorded, never run. A test can make chosen runs
// fail with a given exit status without running them.
class RecordingToolRunner : public ToolRunner {
public:
    ToolOutcome run(const ToolRun& run) override {
        runs_.push_back(run);
        for (const auto& [predicate, exitCode] : failures_)
            if (predicate(run)) {
                ToolOutcome outcome;
                outcome.exitCode = exitCode;
                outcome.errorOutput = "injected failure";
                return outcome;
            }
        return RestartGuardRunner::isRestartTool(run) ? ToolOutcome{} : processes_.run(run);
    }

    // Runs for which predicate holds end with this exit status.
    void failWhen(std::function<bool(const ToolRun&)> predicate, int exitCode = 9) {
        failures_.emplace_back(std::move(predicate), exitCode);
    }

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
    std::vector<std::pair<std::function<bool(const ToolRun&)>, int>> failures_;
};
