#include "secret_store_keychain.h"

namespace platform {
namespace {

int statusCode(const SecretStatus& s) {
    switch (s.kind) {
    case SecretStatus::ok:
        return kOAuthKeychainSuccess;
    case SecretStatus::notFound:
        return kOAuthKeychainItemNotFound;
    case SecretStatus::failed:
        break;
    }
    return kOAuthKeychainNotAvailable;
}

// Length-prefixed parts keep "a" + "bc" apart from "ab" + "c".
void appendPart(std::string& out, const std::optional<std::string>& part) {
    if (!part) {
        out += "-;";
        return;
    }
    out += std::to_string(part->size());
    out += ':';
    out += *part;
    out += ';';
}

} // namespace

SecretStoreKeychain::SecretStoreKeychain(SecretStore store) : store_(std::move(store)) {}

std::string SecretStoreKeychain::serviceName(const OAuthKeychainItemKey& key) {
    std::string name = "oauth." + key.itemClass + ".";
    appendPart(name, key.account);
    appendPart(name, key.server);
    appendPart(name, key.securityDomain);
    return name;
}

int SecretStoreKeychain::addItem(const OAuthKeychainItemKey& key, std::uint32_t,
                                 const std::string& data) {
    if (store_.read(serviceName(key), nullptr).isOk())
        return kOAuthKeychainDuplicateItem;
    return statusCode(store_.write(serviceName(key), data));
}

int SecretStoreKeychain::updateItem(const OAuthKeychainItemKey& key, const std::string& data) {
    auto found = store_.read(serviceName(key), nullptr);
    if (!found.isOk())
        return statusCode(found);
    return statusCode(store_.write(serviceName(key), data));
}

int SecretStoreKeychain::findItem(const OAuthKeychainItemKey& key, std::string* data) const {
    return statusCode(store_.read(serviceName(key), data));
}

int SecretStoreKeychain::deleteItem(const OAuthKeychainItemKey& key) {
    return statusCode(store_.remove(serviceName(key)));
}

} // namespace platform
