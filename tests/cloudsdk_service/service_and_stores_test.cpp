// The service endpoints, and the per-user stores the session keeps its
// credentials and link nonce in.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "cs_service_endpoints.h"
#include "hidden_arguments.h"
#include "private_home.h"
#include "secret_store.h"
#include "test_pki.h"
#include "user_folders.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

TEST(ServiceEndpoints, AnExplicitServiceTrustsOnlyItsCertificateFile) {
    EXPECT_TRUE(CSServiceEndpoints::defaults().usePinnedRoots) << "the real service is pinned";
    PrivateHome env;
    const fs::path ca = env.root() / "ca.pem";
    auto root = makeRootCA("Endpoint Root");
    ASSERT_TRUE(root.writePem(ca.string()));
    std::string error;
    auto e = CSServiceEndpoints::forService("https://127.0.0.1:8443", ca.string(), &error);
    ASSERT_TRUE(e) << error;
    EXPECT_EQ(e->apiAuthority(), "127.0.0.1:8443");
    EXPECT_EQ(e->webAuthority(), "127.0.0.1:8443");
    EXPECT_FALSE(e->usePinnedRoots);
    ASSERT_EQ(e->trustAnchors.size(), 1u);
    EXPECT_EQ(e->trustAnchors[0], root.der());

    for (const char* bad :
         {"http://127.0.0.1:8443", "https://:8443", "https://h:70000", "https://h/path"}) {
        EXPECT_FALSE(CSServiceEndpoints::forService(bad, ca.string(), &error)) << bad;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_FALSE(
        CSServiceEndpoints::forService("https://h", (env.root() / "missing.pem").string(), &error));
    std::ofstream(env.root() / "empty.pem") << "no certificate here";
    EXPECT_FALSE(
        CSServiceEndpoints::forService("https://h", (env.root() / "empty.pem").string(), &error));
}

TEST(SecretStore, PrivateFilesReplacedAtomically) {
    PrivateHome env;
    platform::SecretStore store;
    EXPECT_EQ(store.folder(), env.dataHome() / "Mobrix" / "secrets");
    std::string data;
    EXPECT_EQ(store.read("svc", &data).kind, platform::SecretStatus::notFound);
    EXPECT_EQ(store.remove("svc").kind, platform::SecretStatus::notFound);
    ASSERT_TRUE(store.write("svc", "one").isOk());
    ASSERT_TRUE(store.write("svc", "two").isOk());
    ASSERT_TRUE(store.read("svc", &data).isOk());
    EXPECT_EQ(data, "two");
    struct stat st {};
    ASSERT_EQ(::stat(store.pathFor("svc").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    for (const fs::path& folder : {store.folder(), store.folder().parent_path()}) {
        ASSERT_EQ(::stat(folder.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(store.folder()), fs::directory_iterator()), 1)
        << "no temporary file is left";
    ASSERT_TRUE(store.remove("svc").isOk());
    EXPECT_FALSE(fs::exists(store.pathFor("svc")));
}

TEST(SecretStore, ServiceNamesNeverLeaveTheFolder) {
    PrivateHome env;
    platform::SecretStore store;
    for (const char* name :
         {"../escape", "/abs/path", ".hidden", "a/b", "", "com.mobrix.app.cloud.auth"}) {
        const fs::path p = store.pathFor(name);
        EXPECT_EQ(p.parent_path(), store.folder()) << name;
        EXPECT_NE(p.filename().string()[0], '.') << name;
    }
    EXPECT_NE(store.pathFor("a/b"), store.pathFor("a%2Fb"));
}

TEST(SecretStore, ALinkPlantedAtTheFolderIsRefused) {
    PrivateHome env;
    fs::create_directories(env.dataHome() / "Mobrix");
    fs::create_directories(env.root() / "elsewhere");
    fs::create_directory_symlink(env.root() / "elsewhere", env.dataHome() / "Mobrix" / "secrets");
    platform::SecretStore store;
    EXPECT_FALSE(store.write("svc", "secret").isOk());
    EXPECT_TRUE(fs::is_empty(env.root() / "elsewhere"));
}

// Every read and write checks the two private folders and the file on open
// descriptors: another user's item, an item open to others or a link is
// refused, whatever the file's contents.
TEST(SecretStore, ItemsOfOtherUsersOrOpenToOthersAreRefused) {
    PrivateHome env;
    platform::SecretStore store;
    ASSERT_TRUE(store.write("svc", "secret").isOk());
    const fs::path file = store.pathFor("svc");
    std::string data;

    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    EXPECT_EQ(store.read("svc", &data).errnum, EPERM) << "a secret open to others is not read";
    ASSERT_TRUE(store.write("svc", "renewed").isOk());
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "a write puts a private file in its place";

    fs::remove(file);
    fs::create_symlink(env.root() / "elsewhere", file);
    std::ofstream(env.root() / "elsewhere") << "planted";
    EXPECT_FALSE(store.read("svc", &data).isOk()) << "a link at the file is not followed";
    fs::remove(file);

    // An owned folder that others may enter is closed to them again.
    ASSERT_EQ(::chmod(store.folder().c_str(), 0755), 0);
    ASSERT_TRUE(store.write("svc", "x").isOk());
    ASSERT_EQ(::stat(store.folder().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    if (::geteuid() != 0)
        GTEST_SKIP() << "items of another user need root to make";
    constexpr uid_t kNobody = 65534;
    ASSERT_EQ(::chown(file.c_str(), kNobody, kNobody), 0);
    EXPECT_EQ(store.read("svc", &data).errnum, EPERM);
    ASSERT_EQ(::chown(file.c_str(), 0, 0), 0);
    for (const fs::path& folder : {store.folder(), store.folder().parent_path()}) {
        ASSERT_EQ(::chown(folder.c_str(), kNobody, kNobody), 0);
        EXPECT_EQ(store.read("svc", &data).errnum, EPERM) << folder;
        EXPECT_EQ(store.write("svc", "y").errnum, EPERM) << folder;
        EXPECT_EQ(store.remove("svc").errnum, EPERM) << folder;
        ASSERT_EQ(::chown(folder.c_str(), 0, 0), 0);
    }
    ASSERT_TRUE(store.read("svc", &data).isOk());
    EXPECT_EQ(data, "x");
}

// As root the folders come from the password database, never from an
// inherited environment; only the explicit hook replaces them.
TEST(UserFolders, RootIgnoresTheEnvironment) {
    PrivateHome env;
    EXPECT_EQ(platform::SecretStore::defaultFolder(), env.dataHome() / "Mobrix" / "secrets");
    platform::setUserFoldersOverride(std::nullopt);
    const platform::UserFolders folders = platform::userFolders();
    if (::geteuid() == 0) {
        const fs::path rootHome = ::getpwuid(0)->pw_dir;
        EXPECT_EQ(folders.data, rootHome / ".local" / "share");
        EXPECT_EQ(folders.config, rootHome / ".config");
    } else {
        EXPECT_EQ(folders.data, env.dataHome());
        EXPECT_EQ(folders.config, env.configHome());
    }
    EXPECT_FALSE(platform::startedWithRaisedRights());
}

TEST(HiddenArguments, LinkAnswersAreBlankedInPlace) {
    std::string program = "mobrix", verb = "open-url";
    std::string answer = "CS-q7w2k9x4m1z8r5t://1/connect?oauth_token=T&oauth_token_secret=S";
    std::string other = "https://cs-q7w2k9x4m1z8r5t.example";
    std::vector<char*> argv = {program.data(), verb.data(), answer.data(), other.data()};
    const std::size_t length = answer.size();
    EXPECT_EQ(platform::hideArgumentsStartingWith(4, argv.data(), "cs-q7w2k9x4m1z8r5t:"), 1);
    EXPECT_EQ(answer, std::string(length, '\0'));
    EXPECT_EQ(other, "https://cs-q7w2k9x4m1z8r5t.example");
    EXPECT_EQ(verb, "open-url");
}

} // namespace
