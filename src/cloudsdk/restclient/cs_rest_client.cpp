#include "cs_rest_client.h"

#include <QLocale>
#include <QMetaObject>
#include <algorithm>

#include "bundle_info.h"
#include "cs_log.h"
#include "cs_service.h"
#include "cs_service_endpoints.h"

namespace {

constexpr double kRequestTimeoutSeconds = 20;

} // namespace

std::unique_ptr<CSRestClient> CSRestClient::initWithSession(std::shared_ptr<CSSession> session) {
    if (!session)
        return initWithSession(nullptr, std::nullopt);
    const auto users = session->userIds();
    std::optional<std::string> userId;
    if (!users.empty())
        userId = users.front();
    return initWithSession(std::move(session), std::move(userId));
}

std::unique_ptr<CSRestClient> CSRestClient::initWithSession(std::shared_ptr<CSSession> session,
                                                            std::optional<std::string> userId) {
    if (!session) {
        CSLogError("CloudSDK: cannot initialize a CSRestClient with a nil session");
        return nullptr;
    }
    return std::unique_ptr<CSRestClient>(new CSRestClient(std::move(session), std::move(userId)));
}

CSRestClient::CSRestClient(std::shared_ptr<CSSession> session, std::optional<std::string> userId)
    : session_(std::move(session)), userId_(std::move(userId)), root_(session_->root()),
      receiver_(std::make_unique<QObject>()), mailbox_(std::make_shared<Mailbox>()) {
    mailbox_->receiver = receiver_.get();
}

CSRestClient::~CSRestClient() {
    {
        std::lock_guard lock(mailbox_->mutex);
        mailbox_->receiver = nullptr;
    }
    cancelAllRequests();
}

std::string CSRestClient::escapePath(std::string_view path) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (unsigned char c : path) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '/';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

const std::string& CSRestClient::bestLanguage() {
    static const std::string language = [] {
        const QStringList preferred = QLocale::system().uiLanguages();
        if (!preferred.isEmpty()) {
            const std::string first = preferred.first().toStdString();
            if (platform::bundle::hasLocalization(first))
                return first;
        }
        return std::string("en");
    }();
    return language;
}

const std::string& CSRestClient::userAgent() {
    static const std::string agent = [] {
        std::string name(platform::bundle::kDisplayName);
        name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
        return name + "/" + std::string(platform::bundle::kShortVersion) + " OfficialCloudSdk/" +
               std::string(kCSSDKVersion);
    }();
    return agent;
}

OAuthCredentialConcreteStore& CSRestClient::store() {
    // A user unlinked since the client was made signs as nobody; the service refuses it.
    OAuthCredentialConcreteStore* s = session_->credentialStoreForUserId(userId_);
    return s ? *s : *session_->credentialStoreForUserId(std::nullopt);
}

std::string CSRestClient::apiURL(const std::string& host, const std::string& operation,
                                 const std::string& path) const {
    return std::string(kCSProtocolHTTPS) + "://" + host + "/" + std::string(kCSCloudAPIVersion) +
           operation + root_ + escapePath(path);
}

CSSignedRequest CSRestClient::requestWithHost(const std::string& host, const std::string& path,
                                              const Params& parameters, const std::string& method) {
    const std::string url = std::string(kCSProtocolHTTPS) + "://" + host + "/" +
                            std::string(kCSCloudAPIVersion) + escapePath(path);
    Params params = {{"locale", bestLanguage()}};
    for (const auto& p : parameters) {
        auto same = std::find_if(params.begin(), params.end(),
                                 [&](const auto& q) { return q.first == p.first; });
        if (same != params.end()) {
            same->second = p.second;
        } else {
            params.push_back(p);
        }
    }
    OAuthCredentialConcreteStore& s = store();
    URLRequestParameters list = s.oauthParameters();
    for (auto& p : URLRequestParameter::parametersFromDictionary(params))
        list.push_back(std::move(p));
    OAuthURLRequest builder(url, list);
    builder.setHTTPMethod(method);
    CSSignedRequest request = builder.urlRequestSignedWithSecret(
        s.signingKey(), s.signatureMethod().value_or("PLAINTEXT"));
    request.headers.emplace_back("User-Agent", userAgent());
    return request;
}

std::string CSRestClient::apiHost() const {
    return session_->context().endpoints.apiAuthority();
}

std::string CSRestClient::contentHost() const {
    return session_->context().endpoints.contentAuthority();
}

CSRequest* CSRestClient::makeRequest(CSSignedRequest request, Completion completion) {
    const CSClientContext& context = session_->context();
    auto* r = new CSRequest(std::move(request), std::move(completion), context.endpoints,
                            context.networkActivity);
    r->setTimeoutInterval(kRequestTimeoutSeconds);
    return r;
}

CSRequest* CSRestClient::startRequest(CSSignedRequest request, CSJsonValue info,
                                      Completion completion) {
    CSRequest* r = makeRequest(std::move(request), std::move(completion));
    r->setUserInfo(std::move(info));
    requests_.emplace_back(r);
    return r;
}

CSRequest* CSRestClient::startKeyed(Keyed& collection, const std::string& key,
                                    CSSignedRequest request, CSJsonValue info,
                                    Completion completion) {
    CSRequest* r = makeRequest(std::move(request), std::move(completion));
    r->setUserInfo(std::move(info));
    auto& slot = collection[key];
    // A second request of the same key displaces the first, which ends without a call.
    if (slot)
        slot->cancel();
    slot.reset(r);
    return r;
}

void CSRestClient::release(CSRequest* request) {
    auto it = std::find_if(requests_.begin(), requests_.end(),
                           [&](const auto& p) { return p.get() == request; });
    if (it == requests_.end())
        return;
    it->release()->deleteLater();
    requests_.erase(it);
}

void CSRestClient::releaseKeyed(Keyed& collection, const std::string& key, CSRequest* request) {
    auto it = collection.find(key);
    // Only when the entry still holds this request: a newer one may have taken the key.
    if (it == collection.end() || it->second.get() != request)
        return;
    it->second.release()->deleteLater();
    collection.erase(it);
}

void CSRestClient::checkForAuthenticationFailure(const CSRequest* request) {
    if (!request->error() || !request->error()->is(CSErrorDomain, 401))
        return;
    if (CSSessionDelegate* d = session_->delegate())
        d->sessionDidReceiveAuthorizationFailure(session_.get(), userId_.value_or(""));
}

void CSRestClient::postToOwner(std::function<void()> work) {
    std::shared_ptr<Mailbox> mailbox = mailbox_;
    std::lock_guard lock(mailbox->mutex);
    if (mailbox->receiver)
        QMetaObject::invokeMethod(mailbox->receiver, std::move(work), Qt::QueuedConnection);
}

void CSRestClient::cancelFileLoad(const std::string& path) {
    if (auto it = loadRequests_.find(path); it != loadRequests_.end()) {
        it->second->cancel();
        loadRequests_.erase(it);
    }
}

void CSRestClient::cancelThumbnailLoad(const std::string& path,
                                       const std::optional<std::string>& size) {
    if (auto it = imageLoadRequests_.find(path + "##" + size.value_or(""));
        it != imageLoadRequests_.end()) {
        it->second->cancel();
        imageLoadRequests_.erase(it);
    }
}

void CSRestClient::cancelFileUpload(const std::string& path) {
    if (auto it = uploadRequests_.find(path); it != uploadRequests_.end()) {
        it->second->cancel();
        uploadRequests_.erase(it);
    }
}

void CSRestClient::cancelAllRequests() {
    for (auto& r : requests_)
        r->cancel();
    requests_.clear();
    for (Keyed* collection : {&loadRequests_, &imageLoadRequests_, &uploadRequests_}) {
        for (auto& [key, r] : *collection)
            r->cancel();
        collection->clear();
    }
}

std::size_t CSRestClient::requestCount() const {
    return requests_.size() + loadRequests_.size() + imageLoadRequests_.size() +
           uploadRequests_.size();
}
