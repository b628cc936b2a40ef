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

TEST(GuiArguments, RootUrlsAndMistakes) {
    GuiArguments plain = parseGuiArguments({});
    EXPECT_EQ(plain.root, "/");
    EXPECT_TRUE(plain.urls.isEmpty());

    GuiArguments full = parseGuiArguments({"--root", "/tmp/dev", "cs-x://1/connect?a=b"});
    EXPECT_TRUE(full.error.isEmpty());
    EXPECT_EQ(full.root, "/tmp/dev");
    EXPECT_EQ(full.urls, QStringList{"cs-x://1/connect?a=b"});
    EXPECT_EQ(parseGuiArguments({"--root=/r", "--", "--odd"}).urls, QStringList{"--odd"});
    EXPECT_EQ(parseGuiArguments({"--root=/r"}).root, "/r");

    EXPECT_FALSE(parseGuiArguments({"--root"}).error.isEmpty());
    EXPECT_FALSE(parseGuiArguments({"--root="}).error.isEmpty());
    EXPECT_FALSE(parseGuiArguments({"--bogus"}).error.isEmpty());
}

TEST(AppScheme, LogLinesNeverCarryTheQuery) {
    const QString answer = QStringLiteral(
        "cs-q7w2k9x4m1z8r5t://1/connect?oauth_token=TOKEN&oauth_token_secret=SECRET&uid=7");
    const QString logged = redactedUrl(answer);
    EXPECT_FALSE(logged.contains("TOKEN"));
    EXPECT_FALSE(logged.contains("SECRET"));
    EXPECT_TRUE(logged.startsWith("cs-q7w2k9x4m1z8r5t:"));
    EXPECT_TRUE(logged.endsWith("/connect"));
    EXPECT_FALSE(redactedUrl("https://user:pw@host/p#frag").contains("pw"));
    EXPECT_EQ(redactedUrl(""), "(not a URL)");
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

TEST(InputBlocking, NestedBeginsHoldUntilTheLastEnd) {
    QPushButton button("Press");
    button.show();
    int presses = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] { ++presses; });
    InputBlocker blocker;
    blocker.begin();
    blocker.begin();
    QTest::mouseClick(&button, Qt::LeftButton);
    blocker.end();
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(presses, 0);
    blocker.end();
    blocker.end(); // unmatched: ignored
    EXPECT_FALSE(blocker.active());
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(presses, 1);
    EXPECT_FALSE(InputBlocker::isInputEvent(QEvent::Paint));
    EXPECT_FALSE(InputBlocker::isInputEvent(QEvent::Timer));
}

TEST(LinkChannel, ForwardsUrlsToTheRunningWindow) {
    QTemporaryDir folder;
    const QString path = folder.path() + "/link";
    EXPECT_FALSE(link_channel::forward(path, {"cs-x://1/connect"})) << "nobody listens yet";

    LinkServer server;
    ASSERT_TRUE(server.listen(path)) << server.errorString().toStdString();
    QSignalSpy urls(&server, &LinkServer::urlReceived);
    QSignalSpy activations(&server, &LinkServer::activationRequested);
    EXPECT_TRUE(link_channel::forward(path, {"cs-x://1/connect?a=1", "cs-x://1/cancel"}));
    EXPECT_TRUE(waitUntil([&] { return urls.size() == 2; }));
    EXPECT_EQ(urls[0][0].toString(), "cs-x://1/connect?a=1");
    EXPECT_EQ(urls[1][0].toString(), "cs-x://1/cancel");
    EXPECT_TRUE(link_channel::forward(path, {}));
    EXPECT_TRUE(waitUntil([&] { return activations.size() == 1; }));

    // An oversized message is dropped whole.
    QLocalSocket flood;
    flood.connectToServer(path);
    ASSERT_TRUE(flood.waitForConnected(2000));
    flood.write(QByteArray(link_channel::kMaxMessage + 10, 'a') + "\ncs-x://1/late\n");
    flood.waitForBytesWritten(2000);
    flood.disconnectFromServer();
    QTest::qWait(200);
    EXPECT_EQ(urls.size(), 2);
}

TEST(LinkChannel, ReplacesAStaleSocketAndRefusesASharedFolder) {
    QTemporaryDir folder;
    const QString path = folder.path() + "/link";
    {
        QFile stale(path);
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    }
    LinkServer server;
    EXPECT_TRUE(server.listen(path));

    LinkServer second;
    EXPECT_FALSE(second.listen(path)) << "a live window's socket is never taken over";

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

// The service's app, when it takes URLs over the bus, gets the link (and its
// nonce) in a bus message instead of on a command line.
TEST(BusActivation, AHandlerOnTheBusGetsTheUrlInAMessage) {
    const QString applications =
        QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    QDir().mkpath(applications);
    auto writeEntry = [&](const QString& id, const QByteArray& text) {
        QFile file(applications + "/" + id);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    writeEntry("org.example.CloudApp.desktop",
               "[Desktop Entry]\nType=Application\nExec=cloudapp %u\nDBusActivatable=true\n");
    writeEntry("org.example.Plain.desktop",
               "[Desktop Entry]\nExec=plain %u\n[Desktop Action x]\nDBusActivatable=true\n");
    EXPECT_TRUE(
        platform::isBusActivatable(platform::desktopFileOf("org.example.CloudApp.desktop")));
    EXPECT_FALSE(platform::isBusActivatable(platform::desktopFileOf("org.example.Plain.desktop")))
        << "only the [Desktop Entry] group counts";
    EXPECT_TRUE(platform::desktopFileOf("../applications/org.example.Plain.desktop").isEmpty());
    EXPECT_FALSE(platform::isBusActivatable(platform::desktopFileOf("missing.desktop")));

    QTemporaryDir folder;
    QProcess bus;
    bus.start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address=1",
                              "--address=unix:path=" + folder.path() + "/bus"});
    if (!bus.waitForStarted(5000))
        GTEST_SKIP() << "no dbus-daemon";
    ASSERT_TRUE(waitUntil([&] { return bus.canReadLine(); }, 5000));
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();
    {
        QDBusConnection service = QDBusConnection::connectToBus(address, "fake-app");
        FakeApplication app;
        ASSERT_TRUE(
            service.registerObject("/org/example/CloudApp", &app, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(service.registerService("org.example.CloudApp"));
        QDBusConnection client = QDBusConnection::connectToBus(address, "opener");
        const QString link = "csapi-2://1/connect?k=q7w2k9x4m1z8r5t&s=1a2b&state=NONCE";
        EXPECT_TRUE(platform::openThroughBus("org.example.CloudApp.desktop", link, client));
        EXPECT_TRUE(waitUntil([&] { return !app.opened.isEmpty(); }, 5000));
        EXPECT_EQ(app.opened, QStringList{link});
        EXPECT_FALSE(platform::openThroughBus("cloudapp.desktop", link, client))
            << "one element is no bus name";
        service.unregisterService("org.example.CloudApp");
    }
    QDBusConnection::disconnectFromBus("fake-app");
    QDBusConnection::disconnectFromBus("opener");
    bus.terminate();
    bus.waitForFinished(5000);
}

TEST(ScreenSaver, InhibitsThroughTheSessionServiceAndReleasesAtTheEnd) {
    QTemporaryDir folder;
    QProcess bus;
    bus.start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address=1",
                              "--address=unix:path=" + folder.path() + "/bus"});
    if (!bus.waitForStarted(5000))
        GTEST_SKIP() << "no dbus-daemon";
    ASSERT_TRUE(waitUntil([&] { return bus.canReadLine(); }, 5000));
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();

    {
        QDBusConnection service = QDBusConnection::connectToBus(address, "fake-service");
        ASSERT_TRUE(service.isConnected());
        FakeScreenSaver saver;
        ASSERT_TRUE(service.registerObject("/org/freedesktop/ScreenSaver", &saver,
                                           QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(service.registerService("org.freedesktop.ScreenSaver"));

        QDBusConnection client = QDBusConnection::connectToBus(address, "inhibitor");
        {
            ScreenSaverInhibitor inhibitor(client);
            inhibitor.setInhibited(true);
            inhibitor.setInhibited(true);
            EXPECT_TRUE(waitUntil([&] { return inhibitor.cookie().has_value(); }));
            EXPECT_EQ(inhibitor.cookie().value_or(0), 42u);
        }
        EXPECT_TRUE(waitUntil([&] { return saver.calls.size() == 2; }));
        EXPECT_EQ(saver.calls, (QStringList{"Inhibit RootMobrix", "UnInhibit 42"}));
        service.unregisterService("org.freedesktop.ScreenSaver");
    }
    QDBusConnection::disconnectFromBus("fake-service");
    QDBusConnection::disconnectFromBus("inhibitor");
    bus.terminate();
    bus.waitForFinished(5000);
}

TEST(ScreenSaver, DoesNothingWithoutABus) {
    ScreenSaverInhibitor inhibitor(
        QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "none"));
    inhibitor.setInhibited(true);
    EXPECT_TRUE(inhibitor.requested());
    EXPECT_FALSE(inhibitor.cookie().has_value());
    QDBusConnection::disconnectFromBus("none");
}

#include "gui_parts_test.moc"
