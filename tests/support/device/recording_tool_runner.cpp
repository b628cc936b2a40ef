#include "recording_tool_runner.h"

#include "restart_guard_runner.h"

ToolOutcome RecordingToolRunner::run(const ToolRun& run) {
    runs_.push_back(run);
    for (const auto& [predicate, exitCode] : failures_) {
        if (!predicate(run))
            continue;
        ToolOutcome outcome;
        outcome.exitCode = exitCode;
        outcome.errorOutput = "injected failure";
        return outcome;
    }
    if (RestartGuardRunner::isRestartTool(run))
        return ToolOutcome{};
    return processes_.run(run);
}

void RecordingToolRunner::failWhen(std::function<bool(const ToolRun&)> predicate, int exitCode) {
    failures_.emplace_back(std::move(predicate), exitCode);
}

std::vector<std::string> RecordingToolRunner::commandLines() const {
    std::vector<std::string> lines;
    for (const auto& run : runs_)
        lines.push_back(run.commandLine());
    return lines;
}

std::vector<std::string> RecordingToolRunner::restarts() const {
    std::vector<std::string> lines;
    for (const auto& run : runs_)
        if (RestartGuardRunner::isRestartTool(run))
            lines.push_back(run.commandLine());
    return lines;
}
