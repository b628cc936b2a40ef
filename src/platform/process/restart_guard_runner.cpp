#include "restart_guard_runner.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

RestartGuardRunner::RestartGuardRunner(ToolRunner& inner, bool deviceRootIsSystem,
                                       Recorder recorder)
    : inner_(inner), deviceRootIsSystem_(deviceRootIsSystem), recorder_(std::move(recorder)) {}

bool RestartGuardRunner::isRestartTool(const ToolRun& run) {
    return run.launchPath == "/sbin/reboot" || run.launchPath == "/usr/bin/killall";
}

ToolOutcome RestartGuardRunner::run(const ToolRun& run) {
    if (deviceRootIsSystem_ || !isRestartTool(run))
        return inner_.run(run);
    if (recorder_)
        recorder_(run);
    return ToolOutcome{};
}

RestartGuardRunner::Recorder RestartGuardRunner::environmentRecorder() {
    return [](const ToolRun& run) {
        std::fprintf(stderr, "mobrix: the device root is not /: not running %s\n",
                     run.commandLine().c_str());
        if (const char* path = std::getenv("MOBRIX_RECORD_TOOLS"); path && *path) {
            std::ofstream out(path, std::ios::app);
            out << run.commandLine() << '\n';
        }
    };
}
