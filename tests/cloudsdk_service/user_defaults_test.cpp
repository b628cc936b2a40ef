#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "private_home.h"
#include "user_defaults.h"

namespace {

// The pending link's nonce lives here: a private file in a private folder,
// and a file of another user is neither read nor replaced.
TEST(UserDefaults, TheFileIsPrivateAndOnlyOursIsRead) {
    PrivateHome env;
    const std::filesystem::path folder = env.configHome() / "Mobrix";
    const std::filesystem::path file = folder / "defaults.ini";
    {
        platform::UserDefaults d;
        d.setObject(QStringLiteral("N-1"), QStringLiteral("cloud.sync.nonce"));
        ASSERT_TRUE(d.sync());
    }
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // A file of ours left open to others by an earlier version is closed first.
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    EXPECT_EQ(platform::UserDefaults().stringForKey(QStringLiteral("cloud.sync.nonce")),
              QStringLiteral("N-1"));
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    if (::geteuid() != 0)
        GTEST_SKIP() << "a file of another user needs root to make";
    ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
    platform::UserDefaults foreign;
    EXPECT_FALSE(foreign.contains(QStringLiteral("cloud.sync.nonce")));
    foreign.setObject(QStringLiteral("N-2"), QStringLiteral("cloud.sync.nonce"));
    EXPECT_FALSE(foreign.sync());
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u) << "the file of another user is left alone";
}

} // namespace
