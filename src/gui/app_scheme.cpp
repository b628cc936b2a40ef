#include "app_scheme.h"

#include <QUrl>
#include <QWebEngineUrlScheme>

void registerAppScheme() {
    QWebEngineUrlScheme scheme{QByteArray(kAppScheme)};
    QWebEngineUrlScheme::registerScheme(scheme);
}

QString redactedUrl(const QString& url) {
    const QUrl parsed(url);
    if (!parsed.isValid() || parsed.scheme().isEmpty())
        return QStringLiteral("(not a URL)");
    return parsed.adjusted(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment)
        .toString();
}
