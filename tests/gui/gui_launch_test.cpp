// The real program, started as the desktop starts it.
#include "gui_fixture.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <sys/stat.h>

namespace {

// Runs the program offscreen with its socket in `runtime`.
void launch(QProcess& process, const QString& program, const QString& runtime,
            const QStringList& arguments) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_RUNTIME_DIR", runtime);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
}

} // namespace

// The desktop's forwarder and a second launch both hand their link answer to
// the running window and end; the window logs the answers without their query.
TEST(RootMobrixLaunch, ForwarderAndSecondLaunchHandTheirUrlsOver) {
    QTemporaryDir folder;
    const QString runtime = folder.path() + "/runtime";
    QDir().mkpath(runtime);
    QDir().mkpath(folder.path() + "/device");
    ::chmod(QFile::encodeName(runtime).constData(), 0700);

    QProcess first;
    launch(first, ROOTMOBRIX_BINARY, runtime,
           {"--root", folder.path() + "/device", "--test-home", folder.path() + "/home"});
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(runtime + "/RootMobrix.link"); }, 20000))
        << first.readAllStandardError().toStdString();
    const std::pair<const char*, const char*> handOvers[] = {
        {ROOTMOBRIX_OPEN_BINARY, "cs-q7w2k9x4m1z8r5t://1/connect?oauth_token=TOKEN&"
                                 "oauth_token_secret=SECRET"},
        {ROOTMOBRIX_BINARY, "cs-q7w2k9x4m1z8r5t://1/cancel?oauth_token=TOKEN"}};
    for (const auto& [program, url] : handOvers) {
        QProcess other;
        launch(other, program, runtime, {url});
        ASSERT_TRUE(other.waitForFinished(20000));
        EXPECT_EQ(other.exitCode(), 0) << program << other.readAllStandardError().toStdString();
    }
    QByteArray log;
    EXPECT_TRUE(waitUntil(
        [&] {
            log += first.readAllStandardError();
            return log.contains("/connect") && log.contains("/cancel");
        },
        20000))
        << log.toStdString();
    EXPECT_FALSE(log.contains("TOKEN") || log.contains("SECRET"));
    first.terminate();
    EXPECT_TRUE(first.waitForFinished(10000));
}

// A missing device root, an unknown option, a service without its
// certificate file or one that cannot be read: no window, exit status 2.
TEST(RootMobrixLaunch, RefusesWhatItCannotUse) {
    QTemporaryDir folder;
    for (const QStringList& arguments :
         {QStringList{"--root", folder.path() + "/missing"},
          {"--frobnicate"},
          {"--service", "https://127.0.0.1:8443"},
          {"--test-home", folder.path(), "--service", "https://127.0.0.1:8443", "--service-ca",
           folder.path() + "/missing.pem"}}) {
        QProcess process;
        launch(process, ROOTMOBRIX_BINARY, folder.path(), arguments);
        ASSERT_TRUE(process.waitForFinished(20000));
        EXPECT_EQ(process.exitCode(), 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(!arguments.contains("--service-ca") ||
                    process.readAllStandardError().contains("cannot read"));
    }
}
