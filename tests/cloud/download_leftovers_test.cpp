// What a killed download left in a store folder, and what the sweep leaves alone.
#include "download_leftovers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(DownloadLeftovers, OnlyOwnRegularFilesOfTheEnginesExactTemporaryName) {
    for (const char* name : {".Notes.zip.a1B2c", ".Notes.zip.a1B2c34", ".Notes.zip.a1B2c-",
                             "..Notes.zip.a1B2c3", ".notes.zip.a1B2c3", ".Notes.zipXa1B2c3"})
        EXPECT_FALSE(cloud::isDownloadTemporaryName(name, "Notes.zip")) << name;

    const fs::path base = fs::temp_directory_path() / ("sweep-test-" + std::to_string(::getpid()));
    const fs::path folder = base / "MobrixLibrary";
    fs::create_directories(folder / ".Notes.zip.dir123");
    auto write = [](const fs::path& path) { std::ofstream(path) << "x"; };
    for (const char* name : {".Notes.zip.a1B2c3", ".Accounts.zip.Q9w8E7", ".SMS.zip.a1B2c3",
                             ".Notes.zip.partial", ".Notes.zip.theirs"})
        write(folder / name);
    write(base / "target");
    fs::create_symlink(base / "target", folder / ".Notes.zip.link12");
    if (::geteuid() == 0)
        ASSERT_EQ(::chown((folder / ".Notes.zip.theirs").c_str(), 501, 501), 0);
    else
        fs::remove(folder / ".Notes.zip.theirs");

    const std::vector<std::string> names = {"Notes.zip", "Accounts.zip"};
    auto sweep = cloud::removeDownloadLeftovers(folder.string(), names);
    EXPECT_EQ(sweep.problem, "");
    std::sort(sweep.removed.begin(), sweep.removed.end());
    EXPECT_EQ(sweep.removed,
              (std::vector<std::string>{".Accounts.zip.Q9w8E7", ".Notes.zip.a1B2c3"}));
    EXPECT_TRUE(fs::exists(base / "target"));
    // A folder reached through a link is not swept; a missing one is no problem.
    fs::create_symlink(folder, base / "linked");
    write(folder / ".Notes.zip.zzzzzz");
    EXPECT_NE(cloud::removeDownloadLeftovers((base / "linked").string(), names).problem, "");
    EXPECT_TRUE(fs::exists(folder / ".Notes.zip.zzzzzz"));
    EXPECT_EQ(cloud::removeDownloadLeftovers((base / "absent").string(), names).problem, "");
    fs::remove_all(base);
}
