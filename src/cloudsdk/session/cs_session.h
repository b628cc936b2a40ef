#pragma once
// The client's one place for the application's identity with the cloud
// service and for the accounts linked to it: the app key and secret, the
// root, and one credential store per linked user, persisted in the secret
// store. Links a new account and takes the link answer. Main thread only.

#include <QObject>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cs_client_context.h"
#include "oauth_credential_concrete_store.h"

class CSSession;

class CSSessionDelegate {
public:
    virtual ~CSSessionDelegate() = default;
    virtual void sessionDidReceiveAuthorizationFailure(CSSession* session,
                                                       const std::string& userId) = 0;
};

// Stands for credentials stored before user ids were kept.
inline constexpr char kCSCloudUnknownUserId[] = "unknown";
// User-defaults key of the link nonce.
inline constexpr char kCSCloudSyncNonceKey[] = "cloud.sync.nonce";

class CSSession {
public:
    // initWithAppKey:appSecret:root: — loads and migrates stored credentials.
    // The session works in `context` (its endpoints, keychain, URL opener and
    // link presenter), which outlives it. The shared session is the
    // context's.
    CSSession(CSClientContext& context, std::string appKey, std::string appSecret,
              std::string root);

    // Query text to dictionary: the key unchanged, the value percent-decoded
    // as UTF-8; later keys replace earlier ones; pieces without "=" are skipped.
    static std::map<std::string, std::string> parseURLParams(std::string_view query);

    // The lower-case hexadecimal of the last four bytes of SHA-1(secret), without leading zeros.
    static std::string secretFingerprint(std::string_view appSecret);

    CSClientContext& context() const { return context_; }
    const OAuthCredentials& baseCredentials() const { return baseCredentials_; }
    const std::string& root() const { return root_; }

    // Puts a user's token into its store (made if needed); a real user id
    // replaces the "unknown" one. The user becomes the first of userIds().
    void setAccessToken(const std::string& token, const std::string& secret,
                        const std::string& userId);
    // setAccessToken, then saveCredentials.
    void updateAccessToken(const std::string& token, const std::string& secret,
                           const std::string& userId);

    bool isLinked() const { return !credentialStores_.empty(); }
    // Forgets every user and deletes the stored record.
    void unlinkAll();
    void unlinkUserId(const std::string& userId);

    // No user id: the anonymous store (made on first use). A user id: its
    // store, or null when that user is not linked.
    OAuthCredentialConcreteStore*
    credentialStoreForUserId(const std::optional<std::string>& userId);
    // In link order, the latest accepted link first.
    std::vector<std::string> userIds() const { return userIds_; }
    void saveCredentials();

    CSSessionDelegate* delegate() const { return delegate_; }
    void setDelegate(CSSessionDelegate* delegate) { delegate_ = delegate; }

    // "cs-" and the app key.
    std::string appScheme() const;
    // The bundle declares the app scheme.
    bool appConformsToScheme() const;

    void linkFromController(QObject* controller);
    void linkUserId(const std::optional<std::string>& userId, QObject* controller);
    // Takes a link answer given as the URL's text (parsed here: the platform's
    // URL type turns the host "1" into an address).
    bool handleOpenURL(const std::string& url);

private:
    enum class Position { first, last };

    void putAccessToken(const std::string& token, const std::string& secret,
                        const std::string& userId, Position position);
    void migrateLegacyDefaults();
    void loadStoredCredentials();
    bool takeConnectAnswer(std::string_view query);

    CSClientContext& context_;
    std::string appKey_;
    std::string appSecret_;
    std::string root_;
    OAuthCredentials baseCredentials_;
    std::map<std::string, std::unique_ptr<OAuthCredentialConcreteStore>> credentialStores_;
    std::vector<std::string> userIds_;
    std::unique_ptr<OAuthCredentialConcreteStore> anonymousStore_;
    CSSessionDelegate* delegate_ = nullptr;
};
