#include "gui_fixture.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <sys/stat.h>

namespace {

QProcessEnvironment launchEnvironment(const QString& runtime) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_RUNTIME_DIR", runtime);
    return environment;
}

} // namespace

// The real program: the desktop's forwarder and a second launch both hand
// their link answer to the running window and end; the window logs the
// answers without their query.
TEST(RootMobrixLaunch, ForwarderAndSecondLaunchHandTheirUrlsOver) {
    QTemporaryDir folder;
    const QString runtime = folder.path() + "/runtime";
    const QString device = folder.path() + "/device";
    QDir().mkpath(runtime);
    QDir().mkpath(device);
    ::chmod(QFile::encodeName(runtime).constData(), 0700);

    QProcess first;
    first.setProcessEnvironment(launchEnvironment(runtime));
    first.start(ROOTMOBRIX_BINARY, {"--root", device, "--test-home", folder.path() + "/home"});
    ASSERT_TRUE(first.waitForStarted(10000));
    const QString socket = runtime + "/RootMobrix.link";
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(socket); }, 20000))
        << first.readAllStandardError().toStdString();

    QProcess forwarder;
    forwarder.setProcessEnvironment(launchEnvironment(runtime));
    forwarder.start(ROOTMOBRIX_OPEN_BINARY,
                    {"cs-q7w2k9x4m1z8r5t://1/connect?oauth_token=TOKEN&oauth_token_secret=SECRET"});
    ASSERT_TRUE(forwarder.waitForFinished(20000));
    EXPECT_EQ(forwarder.exitCode(), 0) << forwarder.readAllStandardError().toStdString();

    QProcess second;
    second.setProcessEnvironment(launchEnvironment(runtime));
    second.start(ROOTMOBRIX_BINARY,
                 {"cs-q7w2k9x4m1z8r5t://1/cancel?oauth_token=TOKEN&oauth_token_secret=SECRET"});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 0);

    QByteArray log;
    EXPECT_TRUE(waitUntil(
        [&] {
            log += first.readAllStandardError();
            return log.contains("/connect") && log.contains("/cancel");
        },
        20000))
        << log.toStdString();
    EXPECT_FALSE(log.contains("TOKEN"));
    EXPECT_FALSE(log.contains("SECRET"));

    first.terminate();
    EXPECT_TRUE(first.waitForFinished(10000));
}

TEST(RootMobrixLaunch, RefusesAMissingDeviceRootAndUnknownOptions) {
    QTemporaryDir folder;
    QProcess launch;
    launch.setProcessEnvironment(launchEnvironment(folder.path()));
    launch.start(ROOTMOBRIX_BINARY, {"--root", folder.path() + "/missing"});
    ASSERT_TRUE(launch.waitForFinished(20000));
    EXPECT_EQ(launch.exitCode(), 2);
    launch.start(ROOTMOBRIX_BINARY, {"--frobnicate"});
    ASSERT_TRUE(launch.waitForFinished(20000));
    EXPECT_EQ(launch.exitCode(), 2);
    // A service whose certificate file cannot be read: no window, as with mobrix.
    launch.start(ROOTMOBRIX_BINARY,
                 {"--test-home", folder.path(), "--service", "https://127.0.0.1:8443",
                  "--service-ca", folder.path() + "/missing.pem"});
    ASSERT_TRUE(launch.waitForFinished(20000));
    EXPECT_EQ(launch.exitCode(), 2);
    EXPECT_TRUE(launch.readAllStandardError().contains("cannot read"));
}
