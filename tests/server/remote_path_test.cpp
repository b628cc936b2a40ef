// Which paths enter the namespace, and in which form.
#include "remote_path.h"

#include <gtest/gtest.h>

using server::parseRemotePath;

TEST(RemotePath, NormalFormKeysByLowerCaseAndContainsWholeComponentsOnly) {
    auto path = parseRemotePath("Mobrix//Library/Notes.ZIP/", nullptr);
    ASSERT_TRUE(path);
    EXPECT_EQ(path->display, "/Mobrix/Library/Notes.ZIP");
    EXPECT_EQ(path->key, "/mobrix/library/notes.zip");
    EXPECT_TRUE(parseRemotePath("", nullptr)->isRoot());
    auto folder = *parseRemotePath("/Mobrix", nullptr);
    EXPECT_TRUE(folder.contains(*parseRemotePath("/mobrix/x", nullptr)));
    EXPECT_FALSE(folder.contains(*parseRemotePath("/MobrixOther", nullptr)));
}

TEST(RemotePath, RefusesTraversalControlCharactersAndOverlongNames) {
    std::string why;
    const std::vector<std::string> refused = {
        "/a/../b", "/..", "/./a", std::string("/a\0b", 4), "/a\nb", "/a\\..\\b", "/\xff\xfe"};
    for (const auto& bad : refused) {
        EXPECT_FALSE(parseRemotePath(bad, &why)) << bad;
        EXPECT_FALSE(why.empty());
    }
    EXPECT_TRUE(parseRemotePath("/" + std::string(255, 'n'), nullptr));
    EXPECT_FALSE(parseRemotePath("/" + std::string(256, 'n'), nullptr));
    std::string deep;
    while (deep.size() <= server::kMaxPathBytes)
        deep += "/abcdefgh";
    EXPECT_FALSE(parseRemotePath(deep, nullptr));
    // Dots inside names are names.
    EXPECT_TRUE(parseRemotePath("/a..b/...", nullptr));
}
