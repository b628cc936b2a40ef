// The operator's commands of the real binary: a data folder made from
// nothing, accounts, quotas, unlinking devices.
#include "metadata_store.h"
#include "server_config.h"

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

class Admin : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/mobrix-cloud-admin-XXXXXX";
        folder = ::mkdtemp(pattern);
        data = folder / "data";
        config = (data / "mobrix-cloud.conf").string();
    }
    void TearDown() override { fs::remove_all(folder); }

    fs::path folder, data;
    std::string config;
};

} // namespace

TEST_F(Admin, InitMakesAPrivateDataFolderOnceAndItsConfigurationReads) {
    Ran init = cloud("init " + data.string() + " --listen 127.0.0.1:0 --host backup.test");
    ASSERT_EQ(init.status, 0) << init.out;
    EXPECT_NE(init.out.find("Clients trust: " + (data / "tls" / "ca.pem").string()),
              std::string::npos);
    EXPECT_EQ(modeOf(data), 0700u);
    EXPECT_EQ(modeOf(config), 0600u);
    EXPECT_EQ(modeOf(data / "tls" / "server-key.pem"), 0600u);
    std::string error;
    auto loaded = server::ServerConfig::load(config, &error);
    ASSERT_TRUE(loaded) << error;
    EXPECT_EQ(loaded->appKey, "q7w2k9x4m1z8r5t");
    EXPECT_EQ(loaded->port(), 0);

    Ran again = cloud("init " + data.string());
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.out.find("exists already"), std::string::npos);
    Ran broken = cloud("serve --config " + (folder / "missing.conf").string());
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.out.find("cannot read"), std::string::npos);
}

TEST_F(Admin, AccountsGetAPasswordAQuotaAndCanBeUnlinked) {
    ASSERT_EQ(cloud("init " + data.string()).status, 0);
    Ran added = cloud("user add ann --quota 5G --config " + config);
    ASSERT_EQ(added.status, 0) << added.out;
    EXPECT_NE(added.out.find("First password: "), std::string::npos);
    EXPECT_NE(added.out.find("quota 5.0 GB"), std::string::npos);
    EXPECT_EQ(cloud("user add ann --config " + config).status, 1);
    EXPECT_EQ(cloud("user add 'two words' --config " + config).status, 1);
    EXPECT_EQ(cloud("user quota ann 512M --config " + config).status, 0);
    EXPECT_EQ(cloud("user quota ann lots --config " + config).status, 2);
    Ran listed = cloud("user list --config " + config);
    EXPECT_NE(listed.out.find("1 ann: 0 bytes used of 512.0 MB"), std::string::npos) << listed.out;

    // Unlinking, and a new password, end every device link of the account.
    std::string error;
    auto store = server::openMetadataStore("sqlite:" + (data / "metadata.db").string(), &error);
    ASSERT_TRUE(store) << error;
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
}
#endif
