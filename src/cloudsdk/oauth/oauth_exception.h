#pragma once
// Programming errors of the OAuth component: an unsupported HTTP or signature
// method, and keychain failures. Each carries a name and a reason.

#include <stdexcept>
#include <string>

class OAuthException : public std::runtime_error {
public:
    OAuthException(std::string name, const std::string& reason)
        : std::runtime_error(reason), name_(std::move(name)) {}

    const std::string& name() const { return name_; }
    std::string reason() const { return what(); }

private:
    std::string name_;
};

inline constexpr char kOAuthUnhandledHTTPMethodException[] = "UnhandledHTTPMethodException";
inline constexpr char kOAuthUnsupportedSignatureMethodException[] = "Unsupported Signature Method";
inline constexpr char kOAuthKeychainParameterException[] = "Keychain parameter error";
inline constexpr char kOAuthKeychainMemoryException[] = "Keychain memory error";
inline constexpr char kOAuthKeychainNotAvailableException[] = "Keychain Not Available";
inline constexpr char kOAuthKeychainDuplicateItemException[] = "Keychain duplicate item exception";
