#include "url_opener.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <mutex>

namespace platform {
namespace {

std::mutex& sharedMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<UrlOpener>& sharedOpener() {
    static std::shared_ptr<UrlOpener> opener;
    return opener;
}

} // namespace

std::shared_ptr<UrlOpener> UrlOpener::shared() {
    std::lock_guard lock(sharedMutex());
    if (!sharedOpener())
        sharedOpener() = std::make_shared<DesktopUrlOpener>();
    return sharedOpener();
}

void UrlOpener::setShared(std::shared_ptr<UrlOpener> opener) {
    std::lock_guard lock(sharedMutex());
    sharedOpener() = std::move(opener);
}

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
    if (scheme.isEmpty())
        return false;
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (tool.isEmpty())
        return false;
    QProcess query;
    query.start(tool, {QStringLiteral("query"), QStringLiteral("default"),
                       QStringLiteral("x-scheme-handler/") + scheme});
    if (!query.waitForFinished(3000)) {
        query.kill();
        query.waitForFinished(1000);
        return false;
    }
    return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
           !query.readAllStandardOutput().trimmed().isEmpty();
}

bool DesktopUrlOpener::openURL(const QString& url) {
    const QString scheme = schemeOf(url);
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
        scheme == QLatin1String("file")) {
        return QDesktopServices::openUrl(QUrl::fromEncoded(url.toUtf8()));
    }
    // Handed over as typed, so the handler gets the exact text.
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    return !tool.isEmpty() && QProcess::startDetached(tool, {url});
}

} // namespace platform
