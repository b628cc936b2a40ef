#include "alert_dialog.h"
#include "app_scheme.h"
#include "bus_activation.h"
#include "gui_arguments.h"
#include "gui_fixture.h"
#include "input_blocker.h"
#include "link_channel.h"
#include "screen_saver_inhibitor.h"

#include <QDBusConnection>
#include <QLocalSocket>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

TEST(GuiArguments, RootServiceUrlsAndMistakes) {
    EXPECT_EQ(parseGuiArguments({}).root, "/");
    GuiArguments full = parseGuiArguments({"--root", "/tmp/dev", "--service", "https://h:8443",
                                           "--service-ca=/tmp/ca.pem", "cs-x://1/connect?a=b"});
    EXPECT_TRUE(full.error.isEmpty()) << full.error.toStdString();
    EXPECT_EQ(full.root, "/tmp/dev");
    EXPECT_EQ(full.serviceUrl, "https://h:8443");
    EXPECT_EQ(full.serviceCa, "/tmp/ca.pem");
    EXPECT_EQ(full.urls, QStringList{"cs-x://1/connect?a=b"});
    const GuiArguments odd = parseGuiArguments({"--root=/r", "--", "--odd"});
    EXPECT_EQ(odd.root, "/r");
    EXPECT_EQ(odd.urls, QStringList{"--odd"});
    // The service options go only together, like the command line's.
    for (const QStringList& wrong : {QStringList{"--root"},
                                     {"--root="},
                                     {"--bogus"},
                                     {"--service", "https://h"},
                                     {"--service-ca", "/tmp/ca.pem"},
                                     {"--service=https://h", "--service-ca"}})
        EXPECT_FALSE(parseGuiArguments(wrong).error.isEmpty()) << wrong.join(' ').toStdString();
}

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

TEST(AlertDialogs, ButtonsInIndexOrderAndEscapeIsCancel) {
    Alert alert;
    alert.title = "Create Application Folders";
    alert.message = "Select wich folder to recreate";
    alert.cancelButton = "Cancel";
    alert.otherButtons = {"Parent Folder: Mobrix", "CydiaSources", "CydiaPackages",
                          "MobrixLibrary"};
    alert.tag = 2;
    AlertDialog dialog(alert, nullptr, nullptr);
    QSignalSpy clicks(&dialog, &AlertDialog::clicked);
    for (int i = 0; i < alert.buttonCount(); ++i)
        EXPECT_EQ(dialog.button(i)->text().toStdString(), alert.buttonTitle(i));
    EXPECT_EQ(dialog.button(5), nullptr);
    dialog.open();
    QTest::mouseClick(dialog.button(3), Qt::LeftButton);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    ASSERT_EQ(clicks.size(), 2);
    EXPECT_EQ(clicks[0][0].toInt(), 3);
    EXPECT_EQ(clicks[1][0].toInt(), 0);
    EXPECT_TRUE(dialog.isVisible()) << "closing is up to whoever shows the alert";
    EXPECT_TRUE(dialog.button(0)->isDefault()) << "Return must never start the action";
}

// Input dropped during a step is tried on the window in gui_window_test.cpp.
TEST(InputBlocking, NestedBeginsHoldUntilTheLastEndAndAnUnmatchedEndIsIgnored) {
    InputBlocker blocker;
    blocker.begin();
    blocker.begin();
    blocker.end();
    EXPECT_TRUE(blocker.active());
    blocker.end();
    blocker.end();
    EXPECT_FALSE(blocker.active());
    blocker.begin();
    EXPECT_TRUE(blocker.active()) << "an unmatched end leaves no debt";
    EXPECT_TRUE(InputBlocker::isInputEvent(QEvent::MouseButtonPress));
    EXPECT_FALSE(InputBlocker::isInputEvent(QEvent::Paint));
    EXPECT_FALSE(InputBlocker::isInputEvent(QEvent::Timer));
}

// The forwarding itself is tried end to end in gui_launch_test.cpp.
TEST(LinkChannel, DropsOversizedMessagesReplacesStaleSocketsRefusesSharedFolders) {
    QTemporaryDir folder;
    const QString path = folder.path() + "/link";
    EXPECT_FALSE(link_channel::forward(path, {"cs-x://1/connect"})) << "nobody listens yet";
    QFile(path).open(QIODevice::WriteOnly); // a stale file where the socket goes
    LinkServer server;
    ASSERT_TRUE(server.listen(path)) << server.errorString().toStdString();
    EXPECT_FALSE(LinkServer().listen(path)) << "a live window's socket is never taken over";
    QSignalSpy urls(&server, &LinkServer::urlReceived);
    QSignalSpy activations(&server, &LinkServer::activationRequested);
    EXPECT_TRUE(link_channel::forward(path, {}));
    EXPECT_TRUE(waitUntil([&] { return activations.size() == 1; }));

    QLocalSocket flood;
    flood.connectToServer(path);
    ASSERT_TRUE(flood.waitForConnected(2000));
    flood.write(QByteArray(link_channel::kMaxMessage + 10, 'a') + "\ncs-x://1/late\n");
    flood.waitForBytesWritten(2000);
    flood.disconnectFromServer();
    QTest::qWait(200);
    EXPECT_EQ(urls.size(), 0) << "an oversized message is dropped whole";

    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    QTemporaryDir shared;
    ::chmod(QFile::encodeName(shared.path()).constData(), 0777);
    qputenv("XDG_RUNTIME_DIR", shared.path().toUtf8());
    EXPECT_FALSE(link_channel::socketPath().startsWith(shared.path()));
    qputenv("XDG_RUNTIME_DIR", saved);
    EXPECT_EQ(link_channel::socketPath(), QString::fromUtf8(saved) + "/RootMobrix.link");
}

namespace {

// A stand-in for the desktop's screen-saver service.
class FakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    QStringList calls;
public slots:
    uint Inhibit(const QString& application, const QString&) {
        calls << "Inhibit " + application;
        return 42;
    }
    void UnInhibit(uint cookie) { calls << QStringLiteral("UnInhibit %1").arg(cookie); }
};

// A stand-in for a URL handler that takes URLs over the bus.
class FakeApplication : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    QStringList opened;
public slots:
    void Open(const QStringList& uris, const QVariantMap&) { opened << uris; }
};

} // namespace

// Only the [Desktop Entry] group counts, and only plain entry names.
TEST(BusActivation, WhichHandlersTakeUrlsOverTheBus) {
    const QString applications =
        QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    QDir().mkpath(applications);
    const std::pair<const char*, const char*> entries[] = {
        {"org.example.CloudApp.desktop",
         "[Desktop Entry]\nExec=cloudapp %u\nDBusActivatable=true\n"},
        {"org.example.Plain.desktop",
         "[Desktop Entry]\nExec=plain %u\n[Desktop Action x]\nDBusActivatable=true\n"}};
    for (const auto& [id, text] : entries) {
        QFile file(applications + "/" + id);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    EXPECT_TRUE(
        platform::isBusActivatable(platform::desktopFileOf("org.example.CloudApp.desktop")));
    EXPECT_FALSE(platform::isBusActivatable(platform::desktopFileOf("org.example.Plain.desktop")));
    EXPECT_TRUE(platform::desktopFileOf("../applications/org.example.Plain.desktop").isEmpty());
    EXPECT_FALSE(platform::isBusActivatable(platform::desktopFileOf("missing.desktop")));
}

// On a session bus of the test's own: the service's app, when it takes URLs
// over the bus, gets the link (and its nonce) in a message instead of on a
// command line; the screen saver is held off and released at the end.
TEST(SessionBus, UrlsInAMessageAndTheScreenSaverHeldOff) {
    QTemporaryDir folder;
    QProcess daemon;
    daemon.start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address=1",
                                 "--address=unix:path=" + folder.path() + "/bus"});
    if (!daemon.waitForStarted(5000))
        GTEST_SKIP() << "no dbus-daemon";
    ASSERT_TRUE(waitUntil([&] { return daemon.canReadLine(); }));
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    {
        QDBusConnection service = QDBusConnection::connectToBus(address, "fake-service");
        FakeApplication app;
        FakeScreenSaver saver;
        ASSERT_TRUE(
            service.registerObject("/org/example/CloudApp", &app, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(service.registerObject("/org/freedesktop/ScreenSaver", &saver,
                                           QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(service.registerService("org.example.CloudApp"));
        ASSERT_TRUE(service.registerService("org.freedesktop.ScreenSaver"));
        QDBusConnection client = QDBusConnection::connectToBus(address, "client");

        const QString link = "csapi-2://1/connect?k=q7w2k9x4m1z8r5t&s=1a2b&state=NONCE";
        EXPECT_TRUE(platform::openThroughBus("org.example.CloudApp.desktop", link, client));
        EXPECT_TRUE(waitUntil([&] { return !app.opened.isEmpty(); }));
        EXPECT_EQ(app.opened, QStringList{link});
        EXPECT_FALSE(platform::openThroughBus("cloudapp.desktop", link, client))
            << "one element is no bus name";
        {
            ScreenSaverInhibitor inhibitor(client);
            inhibitor.setInhibited(true);
            inhibitor.setInhibited(true);
            EXPECT_TRUE(waitUntil([&] { return inhibitor.cookie().has_value(); }));
            EXPECT_EQ(inhibitor.cookie().value_or(0), 42u);
        }
        EXPECT_TRUE(waitUntil([&] { return saver.calls.size() == 2; }));
        EXPECT_EQ(saver.calls, (QStringList{"Inhibit RootMobrix", "UnInhibit 42"}));
    }
    QDBusConnection::disconnectFromBus("fake-service");
    QDBusConnection::disconnectFromBus("client");
    daemon.terminate();
    daemon.waitForFinished(5000);
}

#include "gui_parts_test.moc"
