// The window's parts that guard what reaches it: link answers kept out of
// the log, the socket a second launch hands its answer over, and alerts that
// no stray key answers.
#include "alert_dialog.h"
#include "app_scheme.h"
#include "gui_fixture.h"
#include "link_channel.h"

#include <QLocalSocket>
#include <QSignalSpy>
#include <sys/stat.h>

// Log lines never carry the query. The engine hands a link answer over
// parsed, its host "1" read as 0.0.0.1; the session takes only the text the
// service sent.
TEST(AppScheme, LogLinesWithoutTheQueryAndAnswersAsSent) {
    const QString answer = QStringLiteral(
        "cs-q7w2k9x4m1z8r5t://1/connect?oauth_token=a%2Bb&oauth_token_secret=SECRET&state=S");
    const QString logged = redactedUrl(answer);
    EXPECT_FALSE(logged.contains("a%2Bb") || logged.contains("SECRET"));
    EXPECT_TRUE(logged.startsWith("cs-q7w2k9x4m1z8r5t:"));
    EXPECT_TRUE(logged.endsWith("/connect"));
    EXPECT_FALSE(redactedUrl("https://user:pw@host/p#frag").contains("pw"));
    EXPECT_EQ(redactedUrl(""), "(not a URL)");

    ASSERT_EQ(QUrl(answer).host(), "0.0.0.1");
    EXPECT_EQ(linkAnswerText(QUrl(answer)), answer);
    for (const char* kept :
         {"cs-q7w2k9x4m1z8r5t://1/cancel", "cs-q7w2k9x4m1z8r5t://evil/connect?x=1"})
        EXPECT_EQ(linkAnswerText(QUrl(QString::fromLatin1(kept))), kept);
}

// Escape answers Cancel; Return is never bound to the action.
TEST(AlertDialogs, EscapeIsCancelAndReturnNeverStartsTheAction) {
    Alert alert;
    alert.cancelButton = "Cancel";
    alert.otherButtons = {"Delete now"};
    AlertDialog dialog(alert, nullptr, nullptr);
    QSignalSpy clicks(&dialog, &AlertDialog::clicked);
    dialog.open();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    ASSERT_EQ(clicks.size(), 1);
    EXPECT_EQ(clicks[0][0].toInt(), 0);
    EXPECT_TRUE(dialog.isVisible()) << "closing is up to whoever shows the alert";
    EXPECT_TRUE(dialog.button(0)->isDefault());
}

// The forwarding itself is tried end to end in gui_launch_test.cpp.
TEST(LinkChannel, DropsOversizedMessagesReplacesStaleSocketsRefusesSharedFolders) {
    QTemporaryDir folder;
    const QString path = folder.path() + "/link";
    EXPECT_FALSE(gui::link_channel::forward(path, {"cs-x://1/connect"})) << "nobody listens yet";
    QFile(path).open(QIODevice::WriteOnly); // a stale file where the socket goes
    LinkServer server;
    ASSERT_TRUE(server.listen(path)) << server.errorString().toStdString();
    EXPECT_FALSE(LinkServer().listen(path)) << "a live window's socket is never taken over";
    QSignalSpy urls(&server, &LinkServer::urlReceived);
    QSignalSpy activations(&server, &LinkServer::activationRequested);
    EXPECT_TRUE(gui::link_channel::forward(path, {}));
    EXPECT_TRUE(waitUntil([&] { return activations.size() == 1; }));

    QLocalSocket flood;
    flood.connectToServer(path);
    ASSERT_TRUE(flood.waitForConnected(2000));
    flood.write(QByteArray(gui::link_channel::kMaxMessage + 10, 'a') + "\ncs-x://1/late\n");
    flood.waitForBytesWritten(2000);
    flood.disconnectFromServer();
    QTest::qWait(200);
    EXPECT_EQ(urls.size(), 0) << "an oversized message is dropped whole";

    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    QTemporaryDir shared;
    ::chmod(QFile::encodeName(shared.path()).constData(), 0777);
    qputenv("XDG_RUNTIME_DIR", shared.path().toUtf8());
    EXPECT_FALSE(gui::link_channel::socketPath().startsWith(shared.path()));
    qputenv("XDG_RUNTIME_DIR", saved);
    EXPECT_EQ(gui::link_channel::socketPath(), QString::fromUtf8(saved) + "/RootMobrix.link");
}
