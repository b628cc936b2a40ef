#include "bus_activation.h"

#include <QDBusMessage>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QVariantMap>

namespace platform {
namespace {

// "org.example.App.desktop" -> "org.example.App": a well-known bus name has
// at least two elements, none empty or starting with a digit.
QString busNameOf(const QString& desktopId) {
    QString name = desktopId;
    if (name.endsWith(QLatin1String(".desktop")))
        name.chop(8);
    static const QRegularExpression valid(
        QStringLiteral("^[A-Za-z_-][A-Za-z0-9_-]*(\\.[A-Za-z_-][A-Za-z0-9_-]*)+$"));
    return valid.match(name).hasMatch() && name.size() <= 255 ? name : QString();
}

// "/org/example/App", with "-" written "_".
QString objectPathOf(const QString& busName) {
    QString path = QLatin1Char('/') + busName;
    path.replace(QLatin1Char('.'), QLatin1Char('/'));
    path.replace(QLatin1Char('-'), QLatin1Char('_'));
    return path;
}

} // namespace

QString desktopFileOf(const QString& desktopId) {
    if (desktopId.isEmpty() || desktopId.contains(QLatin1Char('/')))
        return {};
    return QStandardPaths::locate(QStandardPaths::ApplicationsLocation, desktopId);
}

bool isBusActivatable(const QString& desktopFile) {
    QFile file(desktopFile);
    if (desktopFile.isEmpty() || !file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    bool inEntry = false;
    // Desktop files are small; a bound keeps a strange one from costing much.
    for (int lines = 0; lines < 1000 && !file.atEnd(); ++lines) {
        const QString line = QString::fromUtf8(file.readLine(4096)).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inEntry = line == QLatin1String("[Desktop Entry]");
        else if (inEntry && line.startsWith(QLatin1String("DBusActivatable")))
            return line.section(QLatin1Char('='), 1).trimmed() == QLatin1String("true");
    }
    return false;
}

bool openThroughBus(const QString& desktopId, const QString& url, const QDBusConnection& bus) {
    const QString busName = busNameOf(desktopId);
    if (busName.isEmpty() || !bus.isConnected())
        return false;
    QDBusMessage open = QDBusMessage::createMethodCall(
        busName, objectPathOf(busName), QStringLiteral("org.freedesktop.Application"),
        QStringLiteral("Open"));
    open << QStringList{url} << QVariantMap{};
    // The bus starts the application when it is not running; nothing waits for it.
    return bus.send(open);
}

} // namespace platform
