#include "command_context.h"
#include "command_environment.h"
#include "fake_screen.h"
#include "file_ops_at.h"
#include "process_tool_runner.h"
#include "restart_guard_runner.h"
#include "temp_device_root.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {
ToolRun tool(const std::string& path, std::vector<std::string> arguments = {}) {
    ToolRun run;
    run.launchPath = path;
    run.arguments = std::move(arguments);
    return run;
}
ToolRun shell(const std::string& script) {
    return tool("/bin/sh", {"-c", script});
}
} // namespace

TEST(ProcessToolRunner, ReportsExitStatusSignalAndFailureToStart) {
    ProcessToolRunner runner;
    EXPECT_TRUE(runner.run(shell("exit 0")).succeeded());
    ToolOutcome failed = runner.run(shell("echo 'cp: cannot stat x' >&2; exit 3"));
    EXPECT_FALSE(failed.succeeded());
    EXPECT_EQ(failed.describe(), "exited with status 3 (cp: cannot stat x)");

    ToolOutcome killed = runner.run(shell("kill -9 $$"));
    EXPECT_EQ(killed.kind, ToolOutcome::Kind::Crashed);

    ToolOutcome notStarted = runner.run(tool("/nonexistent/tool"));
    EXPECT_EQ(notStarted.kind, ToolOutcome::Kind::FailedToStart);
    EXPECT_EQ(notStarted.describe().rfind("could not start", 0), 0u);
}

TEST(CommandContext, ToolsRunWithAFixedEnvironmentFolderAndNoInput) {
    TempDeviceRoot device;
    ProcessToolRunner runner;
    CommandEnvironment environment{DeviceRoot(device.root()), runner};
    FakeScreen screen;
    CommandContext context{environment, screen};
    setenv("MOBRIX_TEST_LEAK", "leaked", 1);
    auto output = context.runForOutput("env", "/bin/sh", {"-c", "env; pwd; cat; echo end"});
    ASSERT_TRUE(output);
    EXPECT_NE(output->find("PATH=/usr/sbin:/usr/bin:/sbin:/bin\n"), std::string::npos);
    EXPECT_NE(output->find("MOBRIX_ROOT=" + device.root() + "\n"), std::string::npos);
    EXPECT_NE(output->find("HOME=/"), std::string::npos);
    EXPECT_EQ(output->find("MOBRIX_TEST_LEAK"), std::string::npos);
    EXPECT_NE(output->find("\n/\nend\n"), std::string::npos); // working folder "/", empty input
}

TEST(RestartGuardRunner, RestartToolsNeverReachTheHostOutsideTheSystemRoot) {
    ProcessToolRunner processes;
    std::vector<std::string> recorded;
    RestartGuardRunner guard(processes, false,
                             [&](const ToolRun& run) { recorded.push_back(run.commandLine()); });
    EXPECT_TRUE(guard.run(tool("/sbin/reboot")).succeeded());
    EXPECT_TRUE(guard.run(tool("/usr/bin/killall", {"backboardd"})).succeeded());
    EXPECT_EQ(recorded, (std::vector<std::string>{"/sbin/reboot", "/usr/bin/killall backboardd"}));
    EXPECT_FALSE(guard.run(shell("exit 4")).succeeded()); // other tools really run
}

TEST(ProcessToolRunner, RunsAsTheGivenUserInAFolderGivenByDescriptor) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can run a tool as another user";
    TempDeviceRoot device;
    auto folder = store::file_ops::openFolderBeneath(device.root(), "/var/tmp");
    ASSERT_TRUE(folder.ok());
    ToolRun run = shell("id -u; id -g; id -G; pwd -P; ls /proc/self/fd/" +
                        std::to_string(folder.fd.get()) + " >/dev/null && echo passed");
    run.captureOutput = true;
    run.child.identity = ProcessIdentity{65534, 65534, {65534}};
    run.child.workingFolderFd = folder.fd.get();
    run.child.passedFds = {folder.fd.get()};
    ProcessToolRunner runner;
    ToolOutcome outcome = runner.run(run);
    EXPECT_EQ(outcome.output, "65534\n65534\n65534\n" + device.path("/var/tmp") + "\npassed\n")
        << outcome.errorOutput;
}

TEST(ToolOutcome, RunningOutOfSpaceIsToldApartFromOtherFailures) {
    ToolOutcome zip;
    zip.exitCode = 14;
    EXPECT_TRUE(zip.ranOutOfSpace("/usr/bin/zip"));
    EXPECT_FALSE(zip.ranOutOfSpace("/bin/cp"));
    ToolOutcome copy = zip;
    copy.exitCode = 1;
    copy.errorOutput = "cp: error writing 'x': No space left on device\n";
    EXPECT_TRUE(copy.ranOutOfSpace("/bin/cp"));
    copy.errorOutput = "cp: cannot stat 'x': No such file or directory\n";
    EXPECT_FALSE(copy.ranOutOfSpace("/bin/cp"));
}
