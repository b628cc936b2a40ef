#include "cs_session.h"

#include <QVariantList>
#include <QVariantMap>
#include <algorithm>

#include "cs_keychain.h"
#include "cs_log.h"
#include "oauth_credential_names.h"
#include "user_defaults.h"

namespace {

constexpr char kCredentialVersionKey[] = "CSCredentialVersion";
constexpr char kUserCredentialsKey[] = "kCSCloudUserCredentials";
constexpr char kUserIdKey[] = "kCSCloudUserId";
constexpr char kLegacyCredentialsKey[] = "kCSCloudSavedCredentialsKey";
constexpr char kLegacyUserCredentialsKey[] = "kCSCloudSavedCredentials";
constexpr long kCredentialVersion = 3;

std::string text(const QVariantMap& map, const char* key) {
    return map.value(QLatin1String(key)).toString().toStdString();
}

std::string text(const CSJsonValue& object, const char* key) {
    const CSJsonValue* v = object.find(key);
    return v && v->isString() ? v->asString() : std::string();
}

} // namespace

CSSession::CSSession(CSClientContext& context, std::string appKey, std::string appSecret,
                     std::string root)
    : context_(context), appKey_(std::move(appKey)), appSecret_(std::move(appSecret)),
      root_(std::move(root)) {
    baseCredentials_ = {{kOAuthCredentialConsumerKey, appKey_},
                        {kOAuthCredentialConsumerSecret, appSecret_},
                        {kOAuthSignatureMethod, "PLAINTEXT"}};
    migrateLegacyDefaults();
    loadStoredCredentials();
}

void CSSession::migrateLegacyDefaults() {
    platform::UserDefaults defaults;
    if (defaults.contains(QLatin1String(kLegacyCredentialsKey))) {
        const QVariantMap saved =
            defaults.objectForKey(QLatin1String(kLegacyCredentialsKey)).toMap();
        if (text(saved, kOAuthCredentialConsumerKey) == appKey_) {
            updateAccessToken(text(saved, kOAuthCredentialAccessToken),
                              text(saved, kOAuthCredentialAccessTokenSecret),
                              kCSCloudUnknownUserId);
        }
        defaults.removeObjectForKey(QLatin1String(kLegacyCredentialsKey));
        defaults.sync();
    }
    if (defaults.contains(QLatin1String(kLegacyUserCredentialsKey))) {
        const QVariantMap saved =
            defaults.objectForKey(QLatin1String(kLegacyUserCredentialsKey)).toMap();
        if (text(saved, kOAuthCredentialConsumerKey) == appKey_) {
            for (const QVariant& entry : saved.value(QLatin1String(kUserCredentialsKey)).toList()) {
                const QVariantMap user = entry.toMap();
                putAccessToken(text(user, kOAuthCredentialAccessToken),
                               text(user, kOAuthCredentialAccessTokenSecret),
                               text(user, kUserIdKey), Position::last);
            }
            saveCredentials();
        }
        defaults.removeObjectForKey(QLatin1String(kLegacyUserCredentialsKey));
        defaults.sync();
    }
}

void CSSession::loadStoredCredentials() {
    const std::optional<CSJsonValue> record = CSKeychain::credentials(context_.endpoints);
    if (!record)
        return;
    if (text(*record, kOAuthCredentialConsumerKey) != appKey_) {
        CSKeychain::deleteCredentials(context_.endpoints);
        return;
    }
    const CSJsonValue* versionValue = record->find(kCredentialVersionKey);
    const long version = versionValue ? static_cast<long>(versionValue->asInt64()) : 0;
    if (version == 1) {
        updateAccessToken(text(*record, kOAuthCredentialAccessToken),
                          text(*record, kOAuthCredentialAccessTokenSecret), kCSCloudUnknownUserId);
        return;
    }
    const CSJsonValue* users = record->find(kUserCredentialsKey);
    if (!users || !users->isArray())
        return;
    for (const CSJsonValue& user : users->elements()) {
        if (!user.isObject())
            continue;
        putAccessToken(text(user, kOAuthCredentialAccessToken),
                       text(user, kOAuthCredentialAccessTokenSecret), text(user, kUserIdKey),
                       Position::last);
    }
    // Older records are rewritten in the current form.
    if (version <= 2)
        saveCredentials();
}

void CSSession::setAccessToken(const std::string& token, const std::string& secret,
                               const std::string& userId) {
    putAccessToken(token, secret, userId, Position::first);
}

void CSSession::updateAccessToken(const std::string& token, const std::string& secret,
                                  const std::string& userId) {
    setAccessToken(token, secret, userId);
    saveCredentials();
}

void CSSession::putAccessToken(const std::string& token, const std::string& secret,
                               const std::string& userId, Position position) {
    auto it = credentialStores_.find(userId);
    if (it == credentialStores_.end()) {
        it = credentialStores_
                 .emplace(userId, std::make_unique<OAuthCredentialConcreteStore>(baseCredentials_,
                                                                                 context_.keychain))
                 .first;
    }
    userIds_.erase(std::remove(userIds_.begin(), userIds_.end(), userId), userIds_.end());
    if (position == Position::first) {
        userIds_.insert(userIds_.begin(), userId);
    } else {
        userIds_.push_back(userId);
    }
    if (userId != kCSCloudUnknownUserId && credentialStores_.count(kCSCloudUnknownUserId)) {
        credentialStores_.erase(kCSCloudUnknownUserId);
        userIds_.erase(std::remove(userIds_.begin(), userIds_.end(), kCSCloudUnknownUserId),
                       userIds_.end());
    }
    it->second->setAccessToken(token);
    it->second->setAccessTokenSecret(secret);
}

void CSSession::unlinkAll() {
    credentialStores_.clear();
    userIds_.clear();
    CSKeychain::deleteCredentials(context_.endpoints);
}

void CSSession::unlinkUserId(const std::string& userId) {
    credentialStores_.erase(userId);
    userIds_.erase(std::remove(userIds_.begin(), userIds_.end(), userId), userIds_.end());
    saveCredentials();
}

OAuthCredentialConcreteStore*
CSSession::credentialStoreForUserId(const std::optional<std::string>& userId) {
    if (!userId) {
        if (!anonymousStore_)
            anonymousStore_ =
                std::make_unique<OAuthCredentialConcreteStore>(baseCredentials_, context_.keychain);
        return anonymousStore_.get();
    }
    auto it = credentialStores_.find(*userId);
    return it == credentialStores_.end() ? nullptr : it->second.get();
}

void CSSession::saveCredentials() {
    CSJsonValue users = CSJsonValue::array();
    for (const std::string& userId : userIds_) {
        const auto& store = credentialStores_.at(userId);
        users.append(CSJsonValue::object(
            {{kUserIdKey, userId},
             {kOAuthCredentialAccessToken, store->accessToken().value_or("")},
             {kOAuthCredentialAccessTokenSecret, store->accessTokenSecret().value_or("")}}));
    }
    CSKeychain::setCredentials(context_.endpoints,
                               CSJsonValue::object({{kOAuthCredentialConsumerKey, appKey_},
                                                    {kCredentialVersionKey, kCredentialVersion},
                                                    {kUserCredentialsKey, std::move(users)}}));
}
