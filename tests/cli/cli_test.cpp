// The command line through its real binary, on temporary device roots.
#include "bundle_version.h"
#include "command_lock.h"
#include "temp_device_root.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

class CliTest : public ::testing::Test {
protected:
    CliTest() {
        device.fillLiveFolders();
        device.makeStoreFolders();
    }

    Result mobrix(const QStringList& arguments) {
        QProcess process;
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("MOBRIX_RECORD_TOOLS",
                           QString::fromStdString(device.path("/restarts.log")));
        process.setProcessEnvironment(environment);
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(MOBRIX_BINARY,
                      QStringList{"--root", QString::fromStdString(device.root())} + arguments);
        process.waitForFinished(120000);
        return {process.exitCode(), process.readAllStandardOutput().toStdString(),
                process.readAllStandardError().toStdString()};
    }

    std::string restarts() const {
        return device.exists("/restarts.log") ? device.read("/restarts.log") : "";
    }

    TempDeviceRoot device;
};

// The part of the usage text made from the command and category tables.
const std::string kGeneratedUsage =
    "  save    CATEGORY      Safeguard screen\n"
    "  restore CATEGORY      Restoration screen\n"
    "  create-folders | remove-safeguard | respring | reboot | remove-added-sources     Options "
    "screen\n"
    "  cloud link | upload | download | delete | info | ls [PATH]     Cloud screen\n"
    "  open-url URL          hand a link answer (cs-q7w2k9x4m1z8r5t://...) to the program\n"
    "  help | --help | --version\n"
    "CATEGORY: tweaks accounts contacts calendar notes safari sms voicemail call-history "
    "springboard photos all sources packages\n";

} // namespace

TEST_F(CliTest, HelpAndVersionRunBeforeAnythingElseIsChecked) {
    const std::string usage = mobrix({"help"}).out;
    EXPECT_TRUE(usage.starts_with("usage: mobrix [--root DIR]")) << usage;
    EXPECT_NE(usage.find("COMMAND\n" + kGeneratedUsage), std::string::npos) << usage;
    for (const QStringList& words : {QStringList{"--help", "ignored"}, {"-h"}}) {
        Result help = mobrix(words);
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out, usage) << words.join(' ').toStdString();
    }
    Result version = mobrix(
        {"--service", "https://127.0.0.1:1", "--service-ca", "/nonexistent.pem", "--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "mobrix " MOBRIX_VERSION "\n");

    // Each usage error names what is wrong, then gives the usage text, and exits with 2.
    const std::pair<QStringList, std::string> errors[] = {
        {{}, "no command given"},
        {{"frobnicate"}, "unknown command frobnicate"},
        {{"save", "everything"}, "unknown category everything"},
        {{"save"}, "save takes one CATEGORY"},
        {{"respring", "now"}, "respring takes no operand"},
        {{"cloud"}, "cloud takes link, upload, download, delete, info or ls"},
        {{"cloud", "sync"}, "unknown cloud command sync"},
        {{"cloud", "upload", "now"}, "cloud upload takes no operand"},
        {{"cloud", "ls", "/a", "/b"}, "cloud ls takes at most one PATH"},
        {{"open-url", "a", "b"}, "open-url takes one URL"},
        {{"--bogus", "save", "notes"}, "unknown option --bogus"},
        {{"save", "notes", "--answer"}, "--answer needs a value"},
        {{"--service", "https://127.0.0.1:1", "save", "notes"},
         "--service and --service-ca go together"},
    };
    for (const auto& [words, error] : errors) {
        Result result = mobrix(words);
        EXPECT_EQ(result.status, 2) << error;
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "mobrix: " + error + "\n" + usage);
    }
    // Service options are looked at before the command, and without the usage text.
    Result service = mobrix(
        {"--service", "https://127.0.0.1:1", "--service-ca", "/nonexistent.pem", "cloud", "info"});
    EXPECT_EQ(service.status, 2);
    EXPECT_TRUE(service.err.starts_with("mobrix: "));
    EXPECT_EQ(service.err.find("usage:"), std::string::npos);
}

// Category words and command keys in any case; a reported failure exits with 1.
TEST_F(CliTest, CategoriesAndAReportedFailure) {
    Result saved = mobrix({"save", "contacts"});
    EXPECT_EQ(saved.status, 0) << saved.err;
    EXPECT_EQ(saved.out, "Contacts Safeguard\nSafeguard done !\n");
    EXPECT_NE(saved.err.find("Safeguard in progress..."), std::string::npos);
    EXPECT_EQ(mobrix({"save", "ADDRESSBOOK"}).out, "Contacts Safeguard\nSafeguard done !\n");
    EXPECT_EQ(mobrix({"save", "call-history"}).out, "Call History Safeguard\nSafeguard done !\n");
    EXPECT_EQ(mobrix({"restore", "CallHistory"}).out,
              "Call History Restoration\nRestoration done !\n");

    Result failed = mobrix({"restore", "notes"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out,
              "Notes Restoration\nRestoration failed !\nNo safeguard of Notes to restore\n");
}

TEST_F(CliTest, ConfirmationsTakeAnswersYesOrAreCancelled) {
    const std::string folders = "/var/mobile/Library/Preferences/Mobrix";
    device.remove(folders);
    EXPECT_EQ(mobrix({"create-folders"}).status, 3);
    EXPECT_FALSE(device.exists(folders));

    Result partial =
        mobrix({"--answer", "partially", "--answer", "CYDIAPACKAGES", "create-folders"});
    EXPECT_EQ(partial.status, 0) << partial.err;
    EXPECT_EQ(device.tree(folders), (std::vector<std::string>{"CydiaPackages/"}));
    EXPECT_NE(partial.out.find("Create Cydia Packages Folder\nSuccessful !\n"), std::string::npos);

    EXPECT_EQ(mobrix({"--answer", "Partially", "create-folders"}).status, 3);
    EXPECT_EQ(mobrix({"--answer", "Maybe", "create-folders"}).status, 2);
    EXPECT_EQ(mobrix({"--yes", "create-folders"}).status, 0);
    EXPECT_EQ(device.tree(folders).size(), 3u);
}

TEST_F(CliTest, YesNeverAnswersARestartOffer) {
    ASSERT_EQ(mobrix({"save", "notes"}).status, 0);
    Result declined = mobrix({"--yes", "restore", "all"});
    EXPECT_EQ(declined.status, 0) << declined.err;
    EXPECT_TRUE(declined.out.starts_with(
        "All Preferences Restoration\nRestoration done ! Do you want to reboot now ? \n"));
    EXPECT_EQ(restarts(), "");

    EXPECT_EQ(mobrix({"--answer", "reboot now", "restore", "all"}).status, 0);
    EXPECT_EQ(restarts(), "/sbin/reboot\n");
    Result confirmed = mobrix({"--yes", "respring"});
    EXPECT_EQ(confirmed.status, 0);
    EXPECT_EQ(confirmed.out, "Respring\nDo you really want to Respring your device ?\n");
    EXPECT_EQ(restarts(), "/sbin/reboot\n/usr/bin/killall backboardd\n");
}

TEST_F(CliTest, AnotherCommandOnTheSameRootExitsWithFour) {
    CommandLock running;
    ASSERT_TRUE(running.tryAcquire(device.root()));
    Result busy = mobrix({"save", "notes"});
    EXPECT_EQ(busy.status, 4);
    EXPECT_EQ(busy.out, "");
    EXPECT_NE(busy.err.find("another command is running"), std::string::npos);
}

// The interactive prompt, reached only when standard input is a terminal.
TEST_F(CliTest, PromptSurvivesOverlongNumbersAndHighBytes) {
    device.remove("/var/mobile/Library/Preferences/Mobrix");
    int terminal = -1;
    pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::setenv("MOBRIX_RECORD_TOOLS", device.path("/restarts.log").c_str(), 1);
        ::execl(MOBRIX_BINARY, MOBRIX_BINARY, "--root", device.root().c_str(), "create-folders",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const std::string typed = "99999999999999999999999999\n\xff\xfe\n-1\n0\n";
    ASSERT_EQ(::write(terminal, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    std::string screen;
    char buffer[4096];
    for (ssize_t n; (n = ::read(terminal, buffer, sizeof buffer)) > 0;)
        screen.append(buffer, static_cast<size_t>(n)); // ends with EIO once the child is gone
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::close(terminal);
    ASSERT_TRUE(WIFEXITED(status)) << screen;
    EXPECT_EQ(WEXITSTATUS(status), 3) << screen;
    EXPECT_NE(screen.find("Choose a button: "), std::string::npos);
}
