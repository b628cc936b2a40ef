// User defaults survive a restart only once flushed; URL schemes are read
// from the text, never from a rewritten URL.
#include <gtest/gtest.h>

#include <QVariantMap>

#include "private_home.h"
#include "url_opener.h"
#include "user_defaults.h"

namespace {

TEST(UserDefaults, ValuesLiveUnderTheConfigFolderAndSurviveARestart) {
    PrivateHome env;
    {
        platform::UserDefaults d;
        EXPECT_EQ(d.path().toStdString(), (env.configHome() / "Mobrix" / "defaults.ini").string());
        d.setObject(QStringLiteral("ABC-123"), QStringLiteral("cloud.sync.nonce"));
        d.setObject(QVariantMap{{"k", "v"}, {"list", QVariantList{1, 2}}},
                    QStringLiteral("nested"));
        ASSERT_TRUE(d.sync());
    }
    platform::UserDefaults again;
    EXPECT_EQ(again.stringForKey(QStringLiteral("cloud.sync.nonce")), QStringLiteral("ABC-123"));
    const QVariantMap nested = again.objectForKey(QStringLiteral("nested")).toMap();
    EXPECT_EQ(nested.value("k").toString(), QStringLiteral("v"));
    EXPECT_EQ(nested.value("list").toList().size(), 2);
    again.removeObjectForKey(QStringLiteral("cloud.sync.nonce"));
    ASSERT_TRUE(again.sync());
    EXPECT_FALSE(platform::UserDefaults().contains(QStringLiteral("cloud.sync.nonce")));
    EXPECT_EQ(platform::UserDefaults().stringForKey(QStringLiteral("absent")), QString());
}

TEST(UrlOpener, SchemesComeFromTheText) {
    EXPECT_EQ(platform::UrlOpener::schemeOf(QStringLiteral("csapi-2://1/connect?k=x")),
              QStringLiteral("csapi-2"));
    EXPECT_EQ(platform::UrlOpener::schemeOf(QStringLiteral("HTTPS://x")), QStringLiteral("https"));
    EXPECT_EQ(platform::UrlOpener::schemeOf(QStringLiteral("no scheme")), QString());
    platform::FakeUrlOpener fake({QStringLiteral("csapi-2")});
    EXPECT_TRUE(fake.openURL(QStringLiteral("csapi-2://1/connect?k=x")));
    EXPECT_FALSE(fake.canOpenURL(QStringLiteral("other://1")));
    EXPECT_EQ(fake.opened(), QStringList{QStringLiteral("csapi-2://1/connect?k=x")});
}

} // namespace
