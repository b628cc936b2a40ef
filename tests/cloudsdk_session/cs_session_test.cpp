// The session: stored credentials and their older forms, user order, link
// start and link answers, against a private home. The command-line link test
// walks the service's link page end to end.
#include <gtest/gtest.h>

#include <QVariantMap>
#include <fstream>
#include <sstream>

#include "cs_json.h"
#include "cs_keychain.h"
#include "cs_service.h"
#include "cs_session.h"
#include "link_presenter.h"
#include "local_cloud.h"
#include "log_capture.h"
#include "private_home.h"
#include "secret_store.h"
#include "url_opener.h"
#include "user_defaults.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

constexpr char kKey[] = "q7w2k9x4m1z8r5t";
constexpr char kSecret[] = "h3n6p0v2c8j5y1f";

class RecordingPresenter : public platform::LinkPresenter {
public:
    void presentLink(const QUrl& url, QObject*, CSSession* session) override {
        urls.push_back(url.toString(QUrl::FullyEncoded).toStdString());
        sessions.push_back(session);
    }
    std::vector<std::string> urls;
    std::vector<CSSession*> sessions;
};

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        presenter = std::make_shared<RecordingPresenter>();
        client.linkPresenter = presenter;
        opener = std::make_shared<platform::FakeUrlOpener>();
        client.urlOpener = opener;
    }

    fs::path credentialsFile() const {
        return platform::SecretStore().pathFor(CSKeychain::serviceNameFor(client.endpoints));
    }

    std::string credentialsText() const {
        std::ifstream in(credentialsFile());
        std::ostringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    void writeRecord(const std::string& json) {
        ASSERT_TRUE(platform::SecretStore()
                        .write(CSKeychain::serviceNameFor(client.endpoints), json)
                        .isOk());
    }

    CSJsonValue record() {
        return CSKeychain::credentials(client.endpoints).value_or(CSJsonValue());
    }

    std::vector<std::string> storedUserIds() {
        std::vector<std::string> ids;
        const CSJsonValue r = record();
        if (const CSJsonValue* users = r.find("kCSCloudUserCredentials")) {
            for (const auto& u : users->elements())
                ids.push_back(u.find("kCSCloudUserId")->asString());
        }
        return ids;
    }

    std::string nonce() {
        return platform::UserDefaults().stringForKey(kCSCloudSyncNonceKey).toStdString();
    }

    PrivateHome env;
    CSClientContext client;
    std::shared_ptr<RecordingPresenter> presenter;
    std::shared_ptr<platform::FakeUrlOpener> opener;
};

TEST_F(SessionTest, LegacyUserDefaultsMoveIntoTheCredentialStore) {
    for (const char* appKey : {kKey, "someoneelse"}) {
        SCOPED_TRACE(appKey);
        {
            platform::UserDefaults d;
            d.setObject(QVariantMap{{"kOAuthCredentialConsumerKey", appKey},
                                    {"kOAuthCredentialAccessToken", "old-token"},
                                    {"kOAuthCredentialAccessTokenSecret", "old-secret"}},
                        "kCSCloudSavedCredentialsKey");
            auto user = [](const char* id) {
                return QVariantMap{{"kCSCloudUserId", id},
                                   {"kOAuthCredentialAccessToken", QString("t") + id},
                                   {"kOAuthCredentialAccessTokenSecret", QString("s") + id}};
            };
            QVariantList users{user("11"), user("22")};
            d.setObject(QVariantMap{{"kOAuthCredentialConsumerKey", appKey},
                                    {"kCSCloudUserCredentials", users}},
                        "kCSCloudSavedCredentials");
            ASSERT_TRUE(d.sync());
        }
        CSSession session(client, kKey, kSecret, "cloud");
        platform::UserDefaults after;
        EXPECT_FALSE(after.contains("kCSCloudSavedCredentialsKey"));
        EXPECT_FALSE(after.contains("kCSCloudSavedCredentials"));
        if (std::string_view(appKey) != kKey) {
            EXPECT_FALSE(session.isLinked()) << "another app key's entries are dropped unread";
            continue;
        }
        // The real users replace the "unknown" one of the older single-user entry.
        EXPECT_EQ(session.userIds(), (std::vector<std::string>{"11", "22"}));
        EXPECT_EQ(*session.credentialStoreForUserId("22")->accessTokenSecret(), "s22");
        EXPECT_EQ(storedUserIds(), (std::vector<std::string>{"11", "22"}));
        EXPECT_EQ(record().find("CSCredentialVersion")->asInt64(), 3);
        session.unlinkAll();
    }
}

TEST_F(SessionTest, StoredRecordVersions) {
    const std::string key = R"("kOAuthCredentialConsumerKey":"q7w2k9x4m1z8r5t",)";
    auto user = [](const std::string& id) {
        return R"({"kCSCloudUserId":")" + id + R"(","kOAuthCredentialAccessToken":"t7",)" +
               R"("kOAuthCredentialAccessTokenSecret":"s"})";
    };
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> users;
        bool rewritten;
    };
    const std::string v3 = R"("CSCredentialVersion":3,)";
    // clang-format off
    const Case cases[] = {
        {"version 1: one user \"unknown\"",
         "{" + key + R"("CSCredentialVersion":1,"kOAuthCredentialAccessToken":"t7","kOAuthCredentialAccessTokenSecret":"s7"})", {"unknown"}, true},
        {"version 2, or none", "{" + key + R"("kCSCloudUserCredentials":[)" + user("5") + "]}", {"5"}, true},
        {"version 3, read as it is",
         "{ " + key + v3 + "\n \"kCSCloudUserCredentials\" : [" + user("7") + ", " + user("8") + "]}", {"7", "8"}, false},
        {"another app key's record is deleted", R"({"kOAuthCredentialConsumerKey":"other",)" + v3 + R"("kCSCloudUserCredentials":[]})", {}, false},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeRecord(c.text);
        CSSession session(client, kKey, kSecret, "cloud");
        EXPECT_EQ(session.userIds(), c.users);
        if (c.users.empty()) {
            EXPECT_FALSE(fs::exists(credentialsFile()));
            continue;
        }
        EXPECT_EQ(*session.credentialStoreForUserId(c.users[0])->accessToken(), "t7");
        if (c.rewritten)
            EXPECT_EQ(record().find("CSCredentialVersion")->asInt64(), 3);
        else
            EXPECT_EQ(credentialsText(), c.text);
    }
}

TEST_F(SessionTest, UsersKeepLinkOrderLatestFirstAcrossARestart) {
    {
        CSSession session(client, kKey, kSecret, "cloud");
        session.updateAccessToken("tu", "su", kCSCloudUnknownUserId);
        session.updateAccessToken("ta", "sa", "100");
        EXPECT_EQ(session.userIds(), std::vector<std::string>{"100"})
            << "a real user replaces \"unknown\"";
        session.updateAccessToken("tb", "sb", "200");
        session.updateAccessToken("tc", "sc", "300");
        session.updateAccessToken("ta2", "sa2", "100");
        EXPECT_EQ(session.userIds(), (std::vector<std::string>{"100", "300", "200"}));
    }
    CSSession again(client, kKey, kSecret, "cloud");
    EXPECT_EQ(again.userIds(), (std::vector<std::string>{"100", "300", "200"}));
    EXPECT_EQ(*again.credentialStoreForUserId("100")->accessToken(), "ta2");
}

TEST_F(SessionTest, Unlinking) {
    CSSession session(client, kKey, kSecret, "cloud");
    session.updateAccessToken("t", "s", "1");
    session.unlinkUserId("1");
    EXPECT_FALSE(session.isLinked());
    ASSERT_TRUE(fs::exists(credentialsFile()));
    EXPECT_TRUE(storedUserIds().empty())
        << "the last user's unlink leaves a record with an empty list";

    session.updateAccessToken("t", "s", "1");
    session.unlinkAll();
    EXPECT_FALSE(session.isLinked());
    EXPECT_FALSE(fs::exists(credentialsFile()));
    EXPECT_EQ(session.credentialStoreForUserId("1"), nullptr);
}

// An account linked on one service stays with it: another service named for
// a run neither loads it nor overwrites it, and the built-in service keeps
// the record's original name.
TEST_F(SessionTest, CredentialsAreKeptPerService) {
    const std::string builtIn = CSKeychain::serviceNameFor(client.endpoints);
    EXPECT_EQ(builtIn, "com.mobrix.app.cloud.auth");
    {
        CSSession session(client, kKey, kSecret, "cloud");
        session.updateAccessToken("built-in-token", "built-in-secret", "1");
    }
    {
        LocalCloud cloud;
        const std::string local = CSKeychain::serviceNameFor(cloud.client().endpoints);
        EXPECT_EQ(local, builtIn + "@127.0.0.1:" + std::to_string(cloud.service().port()));
        CSSession elsewhere(cloud.client(), kKey, kSecret, "cloud");
        EXPECT_FALSE(elsewhere.isLinked()) << "the built-in account is not sent to another host";
        elsewhere.updateAccessToken("local-token", "local-secret", "2");
    }
    CSSession home(client, kKey, kSecret, "cloud");
    EXPECT_EQ(home.userIds(), std::vector<std::string>{"1"});
    EXPECT_EQ(*home.credentialStoreForUserId("1")->accessToken(), "built-in-token");
}

// To the service's app when one can open its scheme, to the web page otherwise.
TEST_F(SessionTest, LinkStart) {
    const std::string query = "?k=q7w2k9x4m1z8r5t&s=" + CSSession::secretFingerprint(kSecret);
    {
        CSSession session(client, kKey, kSecret, "cloud");
        session.linkUserId(std::string(kCSCloudUnknownUserId), nullptr);
        ASSERT_EQ(presenter->urls.size(), 1u);
        EXPECT_EQ(presenter->urls[0], "https://www.cloud.example/1/connect_login" + query +
                                          "&state=" + nonce() + "&easl=1")
            << "no \"u\" for the unknown user";
        EXPECT_EQ(presenter->sessions[0], &session);
        EXPECT_TRUE(opener->opened().isEmpty());
    }
    opener = std::make_shared<platform::FakeUrlOpener>(QStringList{"csapi-2"});
    client.urlOpener = opener;
    CSSession session(client, kKey, kSecret, "cloud");
    session.linkUserId(std::string("42"), nullptr);
    ASSERT_EQ(opener->opened().size(), 1);
    EXPECT_EQ(opener->opened().front().toStdString(),
              "csapi-2://1/connect" + query + "&state=" + nonce() + "&u=42");
    EXPECT_EQ(presenter->urls.size(), 1u);
    EXPECT_EQ(nonce().size(), 36u);
}

TEST_F(SessionTest, AnotherAppKeyCannotLink) {
    LogCapture log;
    CSSession session(client, "otherkey", kSecret, "cloud");
    EXPECT_FALSE(session.appConformsToScheme());
    session.linkFromController(nullptr);
    EXPECT_TRUE(presenter->urls.empty());
    EXPECT_TRUE(log.contains(
        "CloudSDK: unable to link; app isn't registered for correct URL scheme (cs-otherkey)"));
}

TEST_F(SessionTest, LinkAnswers) {
    const std::string base = "cs-q7w2k9x4m1z8r5t://1/";
    {
        CSSession first(client, kKey, kSecret, "cloud");
        first.linkFromController(nullptr);
    }
    CSSession session(client, kKey, kSecret, "cloud");
    LogCapture log;
    // A matching state links the user, and the nonce is gone; it outlived a restart.
    EXPECT_TRUE(session.handleOpenURL(
        base + "connect?oauth_token=tok&oauth_token_secret=se%26c&uid=77&state=" + nonce()));
    EXPECT_EQ(storedUserIds(), std::vector<std::string>{"77"});
    EXPECT_EQ(*session.credentialStoreForUserId("77")->accessTokenSecret(), "se&c");
    EXPECT_EQ(nonce(), "");
    // A wrong state, or none stored, is refused; the nonce is used up either way.
    session.linkFromController(nullptr);
    const std::string answer = base + "connect?oauth_token=x&oauth_token_secret=y&uid=88&state=";
    EXPECT_FALSE(session.handleOpenURL(answer + "wrong"));
    EXPECT_TRUE(log.contains("[ERROR] unable to verify link request"));
    EXPECT_EQ(nonce(), "");
    EXPECT_FALSE(session.handleOpenURL(answer));
    // So is an answer missing its token, secret or user id.
    for (const std::string missing :
         {"oauth_token=t&oauth_token_secret=s", "oauth_token=t&uid=9", "oauth_token_secret=s&uid=9",
          "oauth_token=&oauth_token_secret=s&uid=9"}) {
        session.linkFromController(nullptr);
        EXPECT_FALSE(session.handleOpenURL(base + "connect?" + missing + "&state=" + nonce()))
            << missing;
        EXPECT_EQ(nonce(), "");
    }
    // Cancel and other answers change nothing.
    EXPECT_TRUE(session.handleOpenURL(base + "cancel"));
    EXPECT_TRUE(session.handleOpenURL(base + "elsewhere?uid=1"));
    EXPECT_FALSE(session.handleOpenURL("cs-q7w2k9x4m1z8r5t://2/connect"));
    EXPECT_FALSE(session.handleOpenURL("https://www.cloud.example/1/connect"));
    EXPECT_EQ(session.userIds(), std::vector<std::string>{"77"});
}

} // namespace
