#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <sys/stat.h>

#include "user_folders.h"

// Settings, caches and sockets go to a private home under base, and the
// session bus address leads nowhere, so no test reaches the desktop's own.
// The program's own user folders take it through their explicit hook (as
// root they never follow the environment).
inline void usePrivateHome(const QString& base) {
    for (const char* name : {"config", "data", "cache", "runtime"})
        QDir(base).mkpath(name);
    ::chmod(QFile::encodeName(base + "/runtime").constData(), 0700);
    qputenv("HOME", base.toUtf8());
    qputenv("XDG_CONFIG_HOME", (base + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (base + "/data").toUtf8());
    qputenv("XDG_CACHE_HOME", (base + "/cache").toUtf8());
    qputenv("XDG_RUNTIME_DIR", (base + "/runtime").toUtf8());
    platform::setUserFoldersOverride(
        platform::UserFolders{(base + "/data").toStdString(), (base + "/config").toStdString()});
    qputenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + base + "/no-bus").toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}
