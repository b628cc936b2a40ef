#pragma once
// The secret store behind the credential store's keychain items. The platform
// supplies the real one; OAuthMemoryKeychain serves tests and platforms
// without one.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>

// Status codes, as the device keychain reports them.
enum OAuthKeychainStatus : int {
    kOAuthKeychainSuccess = 0,
    kOAuthKeychainParameterError = -50,
    kOAuthKeychainMemoryError = -108,
    kOAuthKeychainNotAvailable = -25291,
    kOAuthKeychainDuplicateItem = -25299,
    kOAuthKeychainItemNotFound = -25300,
};

inline constexpr char kOAuthKeychainClassInternetPassword[] = "inet";
// 'oaut', the item type of credential items.
inline constexpr std::uint32_t kOAuthKeychainItemType = 0x6F617574;

// What identifies one item. Absent server or security domain match only items
// without one.
struct OAuthKeychainItemKey {
    std::string itemClass = kOAuthKeychainClassInternetPassword;
    std::string account;
    std::optional<std::string> server;
    std::optional<std::string> securityDomain;

    auto tie() const { return std::tie(itemClass, account, server, securityDomain); }
    bool operator<(const OAuthKeychainItemKey& o) const { return tie() < o.tie(); }
    bool operator==(const OAuthKeychainItemKey& o) const { return tie() == o.tie(); }
};

// A readable form of a key for exception reasons (never holds item data).
std::string describeKeychainItemKey(const OAuthKeychainItemKey& key);

class OAuthKeychain {
public:
    virtual ~OAuthKeychain() = default;

    virtual int addItem(const OAuthKeychainItemKey& key, std::uint32_t itemType,
                        const std::string& data) = 0;
    virtual int updateItem(const OAuthKeychainItemKey& key, const std::string& data) = 0;
    virtual int findItem(const OAuthKeychainItemKey& key, std::string* data) const = 0;
    virtual int deleteItem(const OAuthKeychainItemKey& key) = 0;
};

class OAuthMemoryKeychain : public OAuthKeychain {
public:
    int addItem(const OAuthKeychainItemKey& key, std::uint32_t itemType,
                const std::string& data) override;
    int updateItem(const OAuthKeychainItemKey& key, const std::string& data) override;
    int findItem(const OAuthKeychainItemKey& key, std::string* data) const override;
    int deleteItem(const OAuthKeychainItemKey& key) override;

    size_t size() const;

private:
    mutable std::mutex mutex_;
    std::map<OAuthKeychainItemKey, std::string> items_;
};
