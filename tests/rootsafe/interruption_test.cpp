// save all and restore all killed with SIGKILL at random moments, the whole
// process group or the main process alone: every archive and live file is
// the old or the new one, and the next run of the same command leaves no
// leftover and right owners.
#include "rootsafe_device.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kKills = 6;
const char* const kArchives[] = {"Preferences.zip", "Accounts.zip",  "AddressBook.zip",
                                 "Calendar.zip",    "Notes.zip",     "Safari.zip",
                                 "SMS.zip",         "Voicemail.zip", "CallHistory.zip",
                                 "SpringBoard.zip", "DCIM.zip",      "PhotoData.zip"};
const char* const kFiles[] = {"/var/mobile/Library/Accounts/Read me.txt",
                              "/var/mobile/Library/Notes/big-1.db",
                              "/var/mobile/Library/Notes/big-2.db",
                              "/var/mobile/Library/SMS/big-1.db",
                              "/var/mobile/Library/SMS/Sub/nested.db",
                              "/var/mobile/Media/DCIM/100APPLE/big-1.db",
                              "/var/mobile/Media/DCIM/100APPLE/big-2.db",
                              "/var/mobile/Media/PhotoData/big-1.db",
                              "/var/wireless/Library/CallHistory/call_history.db"};

// The content of one file in one version: sizes differ between versions, so
// a file cut short matches neither.
std::string version(const std::string& tag, const std::string& file) {
    const size_t size = (tag == "old" ? 300000 : 200000) + file.size();
    std::string content;
    std::minstd_rand random(static_cast<unsigned>(std::hash<std::string>()(tag + file)));
    while (content.size() < size)
        content += static_cast<char>('a' + random() % 26);
    return content;
}

class Interruption : public ::testing::Test {
protected:
    void SetUp() override {
        if (auto reason = RootSafeDevice::cannotRun(); !reason.empty())
            GTEST_SKIP() << reason;
        device = std::make_unique<RootSafeDevice>();
    }

    void writeVersion(const std::string& tag) {
        for (auto file : kFiles)
            device->write(file, version(tag, file));
    }

    // Runs the command whole and remembers how long it took: kills then
    // fall within that time.
    RootSafeDevice::Result timedRun(const std::vector<std::string>& command) {
        const auto start = std::chrono::steady_clock::now();
        auto result = device->run(command);
        window = std::chrono::duration_cast<std::chrono::microseconds>(
                     std::chrono::steady_clock::now() - start)
                     .count();
        return result;
    }

    // Starts the command and kills it after a random moment, alternately the
    // whole group and the main process alone. A run that ended first is run
    // again with a shorter wait, a few times at most.
    void killAtRandom(const std::vector<std::string>& command, int trial) {
        for (int attempt = 0; attempt < 4; ++attempt) {
            pid_t pid = device->start(command);
            std::this_thread::sleep_for(std::chrono::microseconds(random() % (window + 1)));
            ::kill(trial % 2 == 0 ? -pid : pid, SIGKILL);
            if (device->wait(pid).status == 128 + SIGKILL)
                return;
            window /= 2;
        }
    }

    std::vector<std::string> storeLeftovers() {
        std::vector<std::string> found;
        const std::string store = device->path("/var/mobile/Library/Preferences/Mobrix");
        if (fs::exists(store + "/tmp"))
            found.push_back("tmp");
        for (const auto& entry : fs::directory_iterator(store + "/MobrixLibrary"))
            if (entry.path().extension() != ".zip" || entry.path().filename().string()[0] == '.')
                found.push_back(entry.path().string());
        return found;
    }

    // Paths in the owner's folders (the store left out) that are not the
    // owner's, and copies left beside a live folder.
    std::vector<std::string> foreignOrLeftBehind(bool leftoversToo) {
        std::vector<std::string> found;
        for (auto top : {"/var/mobile", "/var/wireless"}) {
            for (auto it = fs::recursive_directory_iterator(device->path(top));
                 it != fs::recursive_directory_iterator(); ++it) {
                const std::string name = it->path().filename().string();
                if (name == "Mobrix") {
                    it.disable_recursion_pending();
                    continue;
                }
                struct stat status {};
                ::lstat(it->path().c_str(), &status);
                if (status.st_uid != device->owner() ||
                    (leftoversToo && name.ends_with(".restoring")))
                    found.push_back(it->path().string());
            }
        }
        return found;
    }

    std::unique_ptr<RootSafeDevice> device;
    std::minstd_rand random{std::random_device{}()};
    long window = 0;
};

bool ownedByRootAlone(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && status.st_uid == 0 &&
           (status.st_mode & 0777) == 0600;
}

} // namespace

TEST_F(Interruption, AKilledSaveKeepsEachArchiveOldOrNewAndTheNextLeavesNoLeftover) {
    writeVersion("old");
    ASSERT_EQ(timedRun({"save", "all"}).status, 0);
    std::map<std::string, std::string> old;
    for (auto name : kArchives)
        old[name] = device->read(std::string(RootSafeDevice::library()) + "/" + name);
    writeVersion("new");

    for (int trial = 0; trial < kKills; ++trial) {
        killAtRandom({"save", "all"}, trial);
        for (auto name : kArchives) {
            const std::string archive = std::string(RootSafeDevice::library()) + "/" + name;
            if (device->read(archive) == old[name])
                continue;
            EXPECT_EQ(captureOutput("unzip -tqq " + shellQuoted(device->path(archive)) +
                                    " >/dev/null && echo whole"),
                      "whole\n")
                << name << " is neither the old archive nor a whole new one";
        }
        const std::string notes = device->archiveContents("Notes.zip");
        EXPECT_TRUE(notes.find(version("old", kFiles[1])) != std::string::npos ||
                    notes.find(version("new", kFiles[1])) != std::string::npos);
    }

    auto result = device->run({"save", "all"});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(storeLeftovers(), std::vector<std::string>{});
    for (auto name : kArchives)
        EXPECT_TRUE(
            ownedByRootAlone(device->path(std::string(RootSafeDevice::library()) + "/" + name)))
            << name;
    EXPECT_NE(device->archiveContents("Notes.zip").find(version("new", kFiles[1])),
              std::string::npos);
}

TEST_F(Interruption, AKilledRestoreLeavesEachFileOldOrNewAndTheNextRepairsAll) {
    writeVersion("new");
    device->write("/var/mobile/Library/Notes/only-in-archive.txt", "archived");
    ASSERT_EQ(device->run({"save", "all"}).status, 0);
    ASSERT_EQ(timedRun({"--answer", "Close", "restore", "all"}).status, 0);
    writeVersion("old");
    fs::remove(device->path("/var/mobile/Library/Notes/only-in-archive.txt"));

    for (int trial = 0; trial < kKills; ++trial) {
        killAtRandom({"--answer", "Close", "restore", "all"}, trial);
        for (auto file : kFiles) {
            const std::string content = device->read(file);
            EXPECT_TRUE(content == version("old", file) || content == version("new", file))
                << file << " is cut short or mixed (" << content.size() << " bytes)";
        }
        // What an interrupted restoration created is the owner's already.
        EXPECT_EQ(foreignOrLeftBehind(false), std::vector<std::string>{});
        const std::string added = "/var/mobile/Library/Notes/only-in-archive.txt";
        if (fs::exists(device->path(added))) {
            EXPECT_EQ(device->read(added), "archived");
        }
    }

    auto result = device->run({"--answer", "Close", "restore", "all"});
    ASSERT_EQ(result.status, 0) << result.output;
    for (auto file : kFiles)
        EXPECT_EQ(device->read(file), version("new", file)) << file;
    EXPECT_EQ(storeLeftovers(), std::vector<std::string>{});
    // Everything in the owner's folders is the owner's, and no copy is left
    // beside a live folder.
    EXPECT_EQ(foreignOrLeftBehind(true), std::vector<std::string>{});
}
