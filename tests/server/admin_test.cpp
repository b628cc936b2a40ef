// The operator's commands of the real binary: a data folder made from
// nothing, accounts, quotas, unlinking devices.
#include "metadata_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>

namespace fs = std::filesystem;

#ifdef MOBRIX_CLOUD_BINARY
namespace {

struct Ran {
    int status = -1;
    std::string out;
};

Ran cloud(const std::string& arguments) {
    Ran ran;
    FILE* pipe =
        ::popen((std::string(MOBRIX_CLOUD_BINARY) + " " + arguments + " 2>&1").c_str(), "r");
    char buffer[512];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe))
        ran.out += buffer;
    const int status = pipe ? ::pclose(pipe) : -1;
    ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return ran;
}

mode_t modeOf(const fs::path& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 0777;
}

} // namespace

TEST(Admin, ADataFolderIsPrivateAndItsAccountsGetPasswordsQuotasAndUnlinks) {
    char pattern[] = "/tmp/mobrix-cloud-admin-XXXXXX";
    const fs::path folder = ::mkdtemp(pattern), data = folder / "data";
    const std::string config = (data / "mobrix-cloud.conf").string();
    Ran init = cloud("init " + data.string() + " --listen 127.0.0.1:0");
    ASSERT_EQ(init.status, 0) << init.out;
    EXPECT_EQ(modeOf(data), 0700u);
    EXPECT_EQ(modeOf(config), 0600u);
    EXPECT_EQ(modeOf(data / "tls" / "server-key.pem"), 0600u);
    EXPECT_NE(cloud("init " + data.string()).out.find("exists already"), std::string::npos);

    Ran added = cloud("user add ann --quota 5G --config " + config);
    ASSERT_EQ(added.status, 0) << added.out;
    EXPECT_NE(added.out.find("First password: "), std::string::npos);
    EXPECT_EQ(cloud("user add ann --config " + config).status, 1);
    EXPECT_EQ(cloud("user quota ann 512M --config " + config).status, 0);
    Ran listed = cloud("user list --config " + config);
    EXPECT_NE(listed.out.find("1 ann: 0 bytes used of 512.0 MB"), std::string::npos) << listed.out;

    // Unlinking, and a new password, end every device link of the account.
    auto store = server::openMetadataStore("sqlite:" + (data / "metadata.db").string(), nullptr);
    ASSERT_TRUE(store);
    auto tokens = [&](bool add) {
        std::size_t n = 0;
        store->transact(
            [&](server::MetadataTxn& txn) {
                for (const std::string t : {"t1", "t2"}) {
                    if (add)
                        txn.putToken({t, "s", 1, server::TokenKind::Access, 0});
                    n += txn.token(t).has_value();
                }
                return true;
            },
            nullptr);
        return n;
    };
    ASSERT_EQ(tokens(true), 2u);
    EXPECT_NE(cloud("user unlink ann --config " + config).out.find("Unlinked 2"),
              std::string::npos);
    EXPECT_EQ(tokens(false), 0u);
    ASSERT_EQ(tokens(true), 2u);
    EXPECT_EQ(cloud("user password ann --config " + config).status, 0);
    EXPECT_EQ(tokens(false), 0u);
    EXPECT_EQ(cloud("user password nobody --config " + config).status, 1);
    fs::remove_all(folder);
}
#endif
