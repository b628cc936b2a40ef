// save all and restore all killed at random moments: every archive and live file is old
// or new, and the next run of the same command leaves no leftover and right owners.
#include "rootsafe_device.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <thread>

namespace {

const char* const kFiles[] = {"/var/mobile/Library/Accounts/Read me.txt",
                              "/var/mobile/Library/Notes/big-1.db",
                              "/var/mobile/Library/SMS/big-1.db",
                              "/var/mobile/Library/SMS/Sub folder/nested.db",
                              "/var/mobile/Library/Preferences/Nested/deep.plist",
                              "/var/mobile/Media/DCIM/100APPLE/big-1.db",
                              "/var/mobile/Media/PhotoData/big-1.db",
                              "/var/wireless/Library/CallHistory/call_history.db"};

// The content of one file in one version: sizes differ between versions, so
// a file cut short matches neither.
std::string version(const std::string& tag, const std::string& file) {
    std::string content((tag == "old" ? 300000 : 200000) + file.size(), '\0');
    std::minstd_rand random(static_cast<unsigned>(std::hash<std::string>()(tag + file)));
    for (auto& c : content)
        c = static_cast<char>('a' + random() % 26);
    return content;
}

class Interruption : public RootSafeTest {
protected:
    void writeVersion(const std::string& tag) {
        for (auto file : kFiles)
            device->write(file, version(tag, file));
    }

    // Kills six runs at a random moment within one whole run's time, alternately the group
    // and the main process; a run that ended first starts again with a shorter wait.
    void killAtRandom(const std::vector<std::string>& command, const std::function<void()>& check) {
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(device->run(command).status, 0);
        long window = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count();
        std::minstd_rand random{std::random_device{}()};
        prepare();
        for (int trial = 0; trial < 6; ++trial) {
            for (int attempt = 0; attempt < 4; ++attempt, window /= 2) {
                const pid_t pid = device->start(command);
                std::this_thread::sleep_for(std::chrono::microseconds(random() % (window + 1)));
                ::kill(trial % 2 == 0 ? -pid : pid, SIGKILL);
                if (RootSafeDevice::wait(pid) == 128 + SIGKILL)
                    break;
            }
            check();
        }
        auto result = device->run(command);
        ASSERT_EQ(result.status, 0) << result.output;
        EXPECT_EQ(leftovers(), "");
    }

    // Paths in the owner's folders (the store left out) that are not the
    // owner's, and copies left beside a live folder or in the store.
    std::string leftovers(bool copiesToo = true) {
        const std::string store = "var/mobile/Library/Preferences/Mobrix";
        return captureOutput(
            "cd " + shellQuoted(device->root()) +
            " && find var/mobile var/wireless -name Mobrix -prune -o \\( ! -uid " +
            std::to_string(device->owner()) + (copiesToo ? " -o -name '*.restoring'" : "") +
            " \\) -print" +
            (copiesToo ? "; find " + store + " -maxdepth 1 -name tmp; find " + store +
                             "/MobrixLibrary -mindepth 1 \\( ! -name '*.zip' -o -name '.*' \\)"
                       : ""));
    }

    std::function<void()> prepare;
};

} // namespace

TEST_F(Interruption, AKilledSaveKeepsEachArchiveOldOrNewAndTheNextLeavesNoLeftover) {
    writeVersion("old");
    std::map<std::string, std::string> old;
    prepare = [&] {
        for (const auto& name : device->tree(RootSafeDevice::archive("")))
            old[name] = device->read(RootSafeDevice::archive(name));
        ASSERT_EQ(old.size(), 12u);
        writeVersion("new");
    };
    killAtRandom({"save", "all"}, [&] {
        for (const auto& [name, bytes] : old) {
            const std::string archive = device->path(RootSafeDevice::archive(name));
            if (device->read(RootSafeDevice::archive(name)) != bytes) {
                EXPECT_EQ(captureOutput("unzip -tqq " + shellQuoted(archive) +
                                        " >/dev/null && echo whole"),
                          "whole\n")
                    << name << " is neither the old archive nor a whole new one";
            }
        }
        const std::string notes = device->archiveContents("Notes.zip");
        EXPECT_TRUE(notes.find(version("old", kFiles[1])) != std::string::npos ||
                    notes.find(version("new", kFiles[1])) != std::string::npos);
    });
    EXPECT_EQ(device->tree(RootSafeDevice::archive("")).size(), 12u);
    EXPECT_EQ(device->notRootsAlone(), "");
    EXPECT_NE(device->archiveContents("Notes.zip").find(version("new", kFiles[1])),
              std::string::npos);
}

TEST_F(Interruption, AKilledRestoreLeavesEachFileOldOrNewAndTheNextRepairsAll) {
    const std::string added = "/var/mobile/Library/Notes/only-in-archive.txt";
    writeVersion("new");
    device->write(added, "archived");
    ASSERT_EQ(device->run({"save", "all"}).status, 0);
    prepare = [&] {
        writeVersion("old");
        device->remove(added);
    };
    killAtRandom({"--answer", "Close", "restore", "all"}, [&] {
        for (auto file : kFiles) {
            const std::string content = device->read(file);
            EXPECT_TRUE(content == version("old", file) || content == version("new", file))
                << file << " is cut short or mixed (" << content.size() << " bytes)";
        }
        // What an interrupted restoration created is the owner's already.
        EXPECT_EQ(leftovers(false), "");
        if (device->exists(added)) {
            EXPECT_EQ(device->read(added), "archived");
        }
    });
    for (auto file : kFiles)
        EXPECT_EQ(device->read(file), version("new", file)) << file;
}
