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

// The real program: a second launch hands its link answer to the running
// window and ends; the window logs the answer without its query.
TEST(RootMobrixLaunch, SecondLaunchForwardsItsUrlAndEnds) {
    QTemporaryDir folder;
    const QString runtime = folder.path() + "/runtime";
    const QString device = folder.path() + "/device";
    QDir().mkpath(runtime);
    QDir().mkpath(device);
    ::chmod(QFile::encodeName(runtime).constData(), 0700);

    QProcess first;
    first.setProcessEnvironment(launchEnvironment(runtime));
    first.start(ROOTMOBRIX_BINARY, {"--root", device});
    ASSERT_TRUE(first.waitForStarted(10000));
    const QString socket = runtime + "/RootMobrix.link";
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(socket); }, 20000))
        << first.readAllStandardError().toStdString();

    QProcess second;
    second.setProcessEnvironment(launchEnvironment(runtime));
    second.start(ROOTMOBRIX_BINARY,
                 {"cs-q7w2k9x4m1z8r5t://1/connect?oauth_token=TOKEN&oauth_token_secret=SECRET"});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 0);

    QByteArray log;
    EXPECT_TRUE(waitUntil(
        [&] {
            log += first.readAllStandardError();
            return log.contains("/connect");
        },
        10000))
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
}
