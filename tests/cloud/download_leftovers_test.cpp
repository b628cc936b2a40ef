// What a killed download left in a store folder, and what the sweep leaves alone.
#include "download_leftovers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(DownloadLeftovers, OnlyTheEnginesExactTemporaryNameOfAKnownFile) {
    EXPECT_TRUE(cloud::isDownloadTemporaryName(".Notes.zip.a1B2c3", "Notes.zip"));
    EXPECT_TRUE(cloud::isDownloadTemporaryName(".cydia.list.ZZZZZZ", "cydia.list"));
    for (const char* name : {"Notes.zip", ".Notes.zip", ".Notes.zip.a1B2c", ".Notes.zip.a1B2c34",
                             ".Notes.zip.a1B2c-", ".Notes.zip.partial", "..Notes.zip.a1B2c3",
                             ".notes.zip.a1B2c3", ".Notes.zipXa1B2c3", ".SMS.zip.a1B2c3"})
        EXPECT_FALSE(cloud::isDownloadTemporaryName(name, "Notes.zip")) << name;
    EXPECT_FALSE(cloud::isDownloadTemporaryName("..abcdef", ""));
}

TEST(DownloadLeftovers, SweepRemovesOnlyOwnRegularFilesNeverThroughLinks) {
    const fs::path base = fs::temp_directory_path() / ("sweep-test-" + std::to_string(::getpid()));
    fs::remove_all(base);
    const fs::path folder = base / "MobrixLibrary";
    fs::create_directories(folder / ".Notes.zip.dir123");
    fs::create_directories(base / "outside");
    auto write = [](const fs::path& path) { std::ofstream(path) << "x"; };
    write(folder / ".Notes.zip.a1B2c3");
    write(folder / ".Accounts.zip.Q9w8E7");
    write(folder / "Notes.zip");
    write(folder / ".SMS.zip.a1B2c3");
    write(folder / ".Notes.zip.partial");
    write(base / "outside" / "target");
    fs::create_symlink(base / "outside" / "target", folder / ".Notes.zip.link12");
    const bool root = ::geteuid() == 0;
    if (root) {
        write(folder / ".Notes.zip.theirs");
        ASSERT_EQ(::chown((folder / ".Notes.zip.theirs").c_str(), 501, 501), 0);
    }

    const std::vector<std::string> names = {"Notes.zip", "Accounts.zip"};
    auto sweep = cloud::removeDownloadLeftovers(folder.string(), names);
    EXPECT_EQ(sweep.problem, "");
    std::sort(sweep.removed.begin(), sweep.removed.end());
    EXPECT_EQ(sweep.removed,
              (std::vector<std::string>{".Accounts.zip.Q9w8E7", ".Notes.zip.a1B2c3"}));
    for (const char* kept : {"Notes.zip", ".SMS.zip.a1B2c3", ".Notes.zip.partial",
                             ".Notes.zip.link12", ".Notes.zip.dir123"})
        EXPECT_TRUE(fs::exists(fs::symlink_status(folder / kept))) << kept;
    EXPECT_TRUE(fs::exists(base / "outside" / "target"));
    if (root) {
        EXPECT_TRUE(fs::exists(folder / ".Notes.zip.theirs"));
    }

    // A folder reached through a link is not swept; a missing one is no problem.
    fs::create_symlink(folder, base / "linked");
    write(folder / ".Notes.zip.zzzzzz");
    EXPECT_NE(cloud::removeDownloadLeftovers((base / "linked").string(), names).problem, "");
    EXPECT_TRUE(fs::exists(folder / ".Notes.zip.zzzzzz"));
    EXPECT_EQ(cloud::removeDownloadLeftovers((base / "absent").string(), names).problem, "");
    fs::remove_all(base);
}
