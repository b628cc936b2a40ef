#include "oauth_keychain.h"

#include <utility>

namespace {

std::mutex& defaultMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<OAuthKeychain>& defaultSlot() {
    static std::shared_ptr<OAuthKeychain> keychain;
    return keychain;
}

} // namespace

std::string describeKeychainItemKey(const OAuthKeychainItemKey& key) {
    std::string text = "{class=" + key.itemClass + ", account=" + key.account;
    if (key.server)
        text += ", server=" + *key.server;
    if (key.securityDomain)
        text += ", securityDomain=" + *key.securityDomain;
    return text + "}";
}

std::shared_ptr<OAuthKeychain> OAuthKeychain::defaultKeychain() {
    std::lock_guard<std::mutex> lock(defaultMutex());
    if (!defaultSlot())
        defaultSlot() = std::make_shared<OAuthMemoryKeychain>();
    return defaultSlot();
}

void OAuthKeychain::setDefaultKeychain(std::shared_ptr<OAuthKeychain> keychain) {
    std::lock_guard<std::mutex> lock(defaultMutex());
    defaultSlot() = std::move(keychain);
}

int OAuthMemoryKeychain::addItem(const OAuthKeychainItemKey& key, std::uint32_t,
                                 const std::string& data) {
    if (key.account.empty())
        return kOAuthKeychainParameterError;
    std::lock_guard<std::mutex> lock(mutex_);
    return items_.emplace(key, data).second ? kOAuthKeychainSuccess : kOAuthKeychainDuplicateItem;
}

int OAuthMemoryKeychain::updateItem(const OAuthKeychainItemKey& key, const std::string& data) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = items_.find(key);
    if (it == items_.end())
        return kOAuthKeychainItemNotFound;
    it->second = data;
    return kOAuthKeychainSuccess;
}

int OAuthMemoryKeychain::findItem(const OAuthKeychainItemKey& key, std::string* data) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = items_.find(key);
    if (it == items_.end())
        return kOAuthKeychainItemNotFound;
    if (data != nullptr)
        *data = it->second;
    return kOAuthKeychainSuccess;
}

int OAuthMemoryKeychain::deleteItem(const OAuthKeychainItemKey& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    return items_.erase(key) != 0 ? kOAuthKeychainSuccess : kOAuthKeychainItemNotFound;
}

size_t OAuthMemoryKeychain::size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return items_.size();
}
