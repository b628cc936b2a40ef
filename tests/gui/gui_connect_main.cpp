#include "app_scheme.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

// The web engine in a private home, without its sandbox (the tests run as
// root) and without a GPU; the app scheme registered before the application.
int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!home.isValid()) return 1;
    const QString base = home.path();
    for (const char* name : {"config", "data", "cache", "runtime"}) QDir(base).mkpath(name);
    ::chmod(QFile::encodeName(base + "/runtime").constData(), 0700);
    qputenv("HOME", base.toUtf8());
    qputenv("XDG_CONFIG_HOME", (base + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (base + "/data").toUtf8());
    qputenv("XDG_CACHE_HOME", (base + "/cache").toUtf8());
    qputenv("XDG_RUNTIME_DIR", (base + "/runtime").toUtf8());
    qputenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + base + "/no-bus").toUtf8());
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

    registerAppScheme();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
