#pragma once
// The OAuth component's keychain items kept in the secret store: one file per
// item, named after its class, account, server and security domain.

#include <memory>

#include "oauth_keychain.h"
#include "secret_store.h"

namespace platform {

class SecretStoreKeychain : public OAuthKeychain {
public:
    explicit SecretStoreKeychain(SecretStore store = SecretStore());

    int addItem(const OAuthKeychainItemKey& key, std::uint32_t itemType,
                const std::string& data) override;
    int updateItem(const OAuthKeychainItemKey& key, const std::string& data) override;
    int findItem(const OAuthKeychainItemKey& key, std::string* data) const override;
    int deleteItem(const OAuthKeychainItemKey& key) override;

    // The item's service name in the store.
    static std::string serviceName(const OAuthKeychainItemKey& key);

private:
    SecretStore store_;
};

} // namespace platform
