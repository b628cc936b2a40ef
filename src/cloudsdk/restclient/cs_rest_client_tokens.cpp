// Fetching OAuth tokens directly, without the link flow.
#include "cs_log.h"
#include "cs_rest_client.h"
#include "cs_service.h"
#include "cs_service_endpoints.h"

namespace {

struct TokenAnswer {
    std::string token;
    std::string secret;
    std::string uid;
};

TokenAnswer parseTokenAnswer(std::string_view text) {
    TokenAnswer answer;
    while (!text.empty()) {
        const auto amp = text.find('&');
        const std::string_view piece = text.substr(0, amp);
        const auto eq = piece.find('=');
        if (eq == std::string_view::npos || piece.find('=', eq + 1) != std::string_view::npos) {
            CSLogWarning("CSRestClient: error parsing oauth result");
        } else {
            const std::string_view name = piece.substr(0, eq);
            const std::string value(piece.substr(eq + 1));
            if (name == "oauth_token") {
                answer.token = value;
            } else if (name == "oauth_token_secret") {
                answer.secret = value;
            } else if (name == "uid") {
                answer.uid = value;
            } else {
                CSLogWarning("CSRestClient: unknown parameter received");
            }
        }
        if (amp == std::string_view::npos)
            break;
        text.remove_prefix(amp + 1);
    }
    return answer;
}

} // namespace

void CSRestClient::loadRequestToken() {
    startRequest(
        requestWithHost(session_->context().endpoints.apiAuthority(), "/oauth/request_token", {}),
        CSJsonValue::object(), [this](CSRequest* r) { tokenLoaded(r, false); });
}

std::optional<std::string> CSRestClient::authorizeURL() {
    const auto token = store().requestToken();
    if (!token) {
        CSLogWarning(
            "CSRestClient: You must get a request token before creating the authorize url");
        return std::nullopt;
    }
    return std::string(kCSProtocolHTTPS) + "://" + session_->context().endpoints.webAuthority() +
           "/" + std::string(kCSCloudAPIVersion) + "/oauth/authorize?oauth_token=" + *token +
           "&osx_protocol=" + session_->appScheme() + "&embedded=1";
}

void CSRestClient::loadAccessToken() {
    if (!store().requestToken()) {
        CSLogWarning("CSRestClient: You must get a request token and authorize it before getting "
                     "an access token");
        return;
    }
    startRequest(
        requestWithHost(session_->context().endpoints.apiAuthority(), "/oauth/access_token", {}),
        CSJsonValue::object(), [this](CSRequest* r) { tokenLoaded(r, true); });
}

void CSRestClient::tokenLoaded(CSRequest* request, bool accessToken) {
    OAuthCredentialConcreteStore& s = store();
    if (request->error()) {
        const CSError error = *request->error();
        if (accessToken && error.domain == CSErrorDomain &&
            (error.code == 401 || error.code == 403)) {
            s.setRequestToken(std::nullopt);
            s.setRequestTokenSecret(std::nullopt);
        }
        release(request);
        if (accessToken) {
            if (delegate_.loadAccessTokenFailedWithError)
                delegate_.loadAccessTokenFailedWithError(this, error);
        } else if (delegate_.loadRequestTokenFailedWithError) {
            delegate_.loadRequestTokenFailedWithError(this, error);
        }
        return;
    }
    const TokenAnswer answer = parseTokenAnswer(request->resultString().value_or(""));
    release(request);
    if (!accessToken) {
        s.setRequestToken(answer.token);
        s.setRequestTokenSecret(answer.secret);
        if (delegate_.restClientLoadedRequestToken)
            delegate_.restClientLoadedRequestToken(this);
        return;
    }
    s.setRequestToken(std::nullopt);
    s.setRequestTokenSecret(std::nullopt);
    if (!userId_)
        userId_ = answer.uid;
    session_->updateAccessToken(answer.token, answer.secret, answer.uid);
    if (delegate_.restClientLoadedAccessToken)
        delegate_.restClientLoadedAccessToken(this);
}
