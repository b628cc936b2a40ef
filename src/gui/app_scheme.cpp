#include "app_scheme.h"

#include <QUrl>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

void registerAppScheme() {
    QWebEngineUrlScheme scheme{QByteArray(kAppScheme)};
    QWebEngineUrlScheme::registerScheme(scheme);
}

namespace {

// Loads nothing: link answers are taken by the navigation decision before
// any load.
class RefusingSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob* job) override {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
    }
};

} // namespace

void installAppSchemeHandler(QWebEngineProfile* profile) {
    const QByteArray scheme(kAppScheme);
    if (!profile || profile->urlSchemeHandler(scheme))
        return;
    profile->installUrlSchemeHandler(scheme, new RefusingSchemeHandler(profile));
}

QString linkAnswerText(const QUrl& url) {
    if (url.host() != QLatin1String("0.0.0.1") || url.port() != -1 || !url.userInfo().isEmpty())
        return url.toString(QUrl::FullyEncoded);
    QString text = url.scheme() + QStringLiteral("://1") + url.path(QUrl::FullyEncoded);
    if (url.hasQuery())
        text += QLatin1Char('?') + url.query(QUrl::FullyEncoded);
    if (url.hasFragment())
        text += QLatin1Char('#') + url.fragment(QUrl::FullyEncoded);
    return text;
}

QString redactedUrl(const QString& url) {
    const QUrl parsed(url);
    if (!parsed.isValid() || parsed.scheme().isEmpty())
        return QStringLiteral("(not a URL)");
    return parsed.adjusted(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment)
        .toString();
}
