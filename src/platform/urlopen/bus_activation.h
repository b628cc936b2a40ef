#pragma once
// Handing a URL to a desktop application over the session bus. An
// application whose desktop file says DBusActivatable=true takes URLs
// through org.freedesktop.Application.Open: the URL then travels in a bus
// message, and never stands on a command line that every local user can
// read (the account link's nonce is in it).

#include <QDBusConnection>
#include <QString>

namespace platform {

// The desktop file of an application id ("org.example.App.desktop") in the
// user's and the system's application folders; empty when there is none.
QString desktopFileOf(const QString& desktopId);

// The file's [Desktop Entry] group says DBusActivatable=true.
bool isBusActivatable(const QString& desktopFile);

// Sends Open([url], {}) to the application named by the id; false when the
// bus is not there or the id names no bus name.
bool openThroughBus(const QString& desktopId, const QString& url,
                    const QDBusConnection& bus = QDBusConnection::sessionBus());

} // namespace platform
