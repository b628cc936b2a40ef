#include <QUrl>
#include <QUuid>

#include "bundle_info.h"
#include "cs_log.h"
#include "cs_service.h"
#include "cs_service_endpoints.h"
#include "cs_session.h"
#include "link_presenter.h"
#include "url_opener.h"
#include "user_defaults.h"

std::string CSSession::appScheme() const {
    return "cs-" + appKey_;
}

bool CSSession::appConformsToScheme() const {
    return platform::bundle::declaresURLScheme(appScheme());
}

void CSSession::linkFromController(QObject* controller) {
    linkUserId(std::nullopt, controller);
}

void CSSession::linkUserId(const std::optional<std::string>& userId, QObject* controller) {
    if (!appConformsToScheme()) {
        CSLogError("CloudSDK: unable to link; app isn't registered for correct URL scheme (%s)",
                   appScheme().c_str());
        return;
    }
    const std::string userPart =
        (userId && *userId != kCSCloudUnknownUserId) ? "&u=" + *userId : std::string();
    const std::string fingerprint = secretFingerprint(appSecret_);
    const std::string nonce =
        QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString();
    platform::UserDefaults defaults;
    defaults.setObject(QString::fromStdString(nonce), QLatin1String(kCSCloudSyncNonceKey));
    defaults.sync();

    const std::string appLink =
        std::string(kCSServiceAppScheme) + "://" + std::string(kCSCloudAPIVersion) + "/connect";
    const std::shared_ptr<platform::UrlOpener> opener = context_.urlOpener;
    if (opener->canOpenURL(QString::fromStdString(appLink))) {
        const std::string address =
            appLink + "?k=" + appKey_ + "&s=" + fingerprint + "&state=" + nonce + userPart;
        opener->openURL(QString::fromStdString(address));
        return;
    }
    const std::string webLink = std::string(kCSProtocolHTTPS) + "://" +
                                context_.endpoints.webAuthority() + "/" +
                                std::string(kCSCloudAPIVersion) + "/connect_login?k=" + appKey_ +
                                "&s=" + fingerprint + "&state=" + nonce + "&easl=1" + userPart;
    context_.linkPresenter->presentLink(QUrl::fromEncoded(QByteArray::fromStdString(webLink)),
                                        controller, this);
}

bool CSSession::handleOpenURL(const std::string& url) {
    const std::string prefix = appScheme() + "://" + std::string(kCSCloudAPIVersion) + "/";
    if (url.compare(0, prefix.size(), prefix) != 0)
        return false;
    // The path begins at the "/" after the host; the query follows "?".
    std::string_view rest(url);
    rest.remove_prefix(prefix.size() - 1);
    std::string_view query;
    if (const auto hash = rest.find('#'); hash != std::string_view::npos)
        rest = rest.substr(0, hash);
    if (const auto q = rest.find('?'); q != std::string_view::npos) {
        query = rest.substr(q + 1);
        rest = rest.substr(0, q);
    }
    std::string_view component = rest.substr(1);
    if (const auto slash = component.find('/'); slash != std::string_view::npos)
        component = component.substr(0, slash);

    if (component == "connect")
        return takeConnectAnswer(query);
    if (component == "cancel")
        CSLogInfo("CloudSDK: user cancelled Cloud link");
    return true;
}

bool CSSession::takeConnectAnswer(std::string_view query) {
    const auto params = parseURLParams(query);
    auto value = [&](const char* key) -> std::optional<std::string> {
        auto it = params.find(key);
        return it == params.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
    const auto token = value("oauth_token");
    const auto secret = value("oauth_token_secret");
    const auto uid = value("uid");
    const auto state = value("state");

    // The nonce is used once, whatever the answer.
    platform::UserDefaults defaults;
    const QString nonce = defaults.stringForKey(QLatin1String(kCSCloudSyncNonceKey));
    defaults.removeObjectForKey(QLatin1String(kCSCloudSyncNonceKey));
    defaults.sync();
    if (nonce.isEmpty() || !state || nonce.toStdString() != *state) {
        CSLogError("unable to verify link request");
        return false;
    }
    if (!token || token->empty() || !secret || !uid || uid->empty()) {
        CSLogError("CloudSDK: link answer lacks its token, secret or user id");
        return false;
    }
    updateAccessToken(*token, *secret, *uid);
    return true;
}
