#include "url_opener.h"

#include "bus_activation.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

namespace platform {
QString UrlOpener::schemeOf(const QString& url) {
    const qsizetype colon = url.indexOf(QLatin1Char(':'));
    return colon <= 0 ? QString() : url.left(colon).toLower();
}

bool DesktopUrlOpener::canOpenURL(const QString& url) {
    const QString scheme = schemeOf(url);
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
        scheme == QLatin1String("file")) {
        return true;
    }
    return !defaultHandler(scheme).isEmpty();
}

QString DesktopUrlOpener::defaultHandler(const QString& scheme) {
    if (scheme.isEmpty())
        return {};
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (tool.isEmpty())
        return {};
    QProcess query;
    query.start(tool, {QStringLiteral("query"), QStringLiteral("default"),
                       QStringLiteral("x-scheme-handler/") + scheme});
    if (!query.waitForFinished(3000)) {
        query.kill();
        query.waitForFinished(1000);
        return {};
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return {};
    return QString::fromUtf8(query.readAllStandardOutput().trimmed());
}

bool DesktopUrlOpener::openURL(const QString& url) {
    const QString scheme = schemeOf(url);
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
        scheme == QLatin1String("file")) {
        return QDesktopServices::openUrl(QUrl::fromEncoded(url.toUtf8()));
    }
    // A handler on the bus takes the address in a message. Otherwise it goes
    // on the command lines of the opener and of the handler, as the desktop
    // starts handlers; the address is handed over as typed, so the handler
    // gets the exact text.
    const QString handler = defaultHandler(scheme);
    if (isBusActivatable(desktopFileOf(handler)) && openThroughBus(handler, url))
        return true;
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    return !tool.isEmpty() && QProcess::startDetached(tool, {url});
}

} // namespace platform
