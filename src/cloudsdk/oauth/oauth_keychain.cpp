#include "oauth_keychain.h"

#include <utility>

std::string describeKeychainItemKey(const OAuthKeychainItemKey& key) {
    std::string text = "{class=" + key.itemClass + ", account=" + key.account;
    if (key.server)
        text += ", server=" + *key.server;
    if (key.securityDomain)
        text += ", securityDomain=" + *key.securityDomain;
    return text + "}";
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
