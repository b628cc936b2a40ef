#pragma once
// Each operation on the cloud account becomes one signed request that starts
// at once; the client keeps it while it runs and, when it ends, turns the
// answer into records and one call on its delegate, on the thread that
// started it. It works for one linked user of one session.

#include <QObject>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cs_request.h"
#include "cs_rest_client_delegate.h"
#include "cs_session.h"
#include "oauth_url_request.h"

class CSRestClient {
public:
    using Params = URLParameterPairs;

    // initWithSession: — the first of the session's users (none when it has none).
    // Null session: logs and gives nothing.
    static std::unique_ptr<CSRestClient> initWithSession(std::shared_ptr<CSSession> session);
    static std::unique_ptr<CSRestClient> initWithSession(std::shared_ptr<CSSession> session,
                                                         std::optional<std::string> userId);
    // Cancels every request first.
    ~CSRestClient();
    CSRestClient(const CSRestClient&) = delete;
    CSRestClient& operator=(const CSRestClient&) = delete;

    // Every character that may not stand in a URL and each of ":?=,!$&'()*+;[]@#~"
    // percent-escaped as UTF-8; "/" stays.
    static std::string escapePath(std::string_view path);
    static const std::string& bestLanguage();
    static const std::string& userAgent();

    const std::shared_ptr<CSSession>& session() const { return session_; }
    const std::optional<std::string>& userId() const { return userId_; }
    const std::string& root() const { return root_; }
    CSRestClientDelegate& delegate() { return delegate_; }
    void setDelegate(CSRestClientDelegate delegate) { delegate_ = std::move(delegate); }

    void loadMetadata(const std::string& path);
    void loadMetadataWithHash(const std::string& path, const std::string& hash);
    void loadMetadataAtRev(const std::string& path, const std::string& rev);
    void loadMetadataWithParams(const std::string& path, const Params& params);
    void loadDelta(const std::optional<std::string>& cursor);

    void loadFile(const std::string& path, const std::string& intoPath);
    void loadFile(const std::string& path, const std::optional<std::string>& atRev,
                  const std::string& intoPath);
    void loadThumbnail(const std::string& path, const std::optional<std::string>& ofSize,
                       const std::string& intoPath);

    void uploadFile(const std::string& filename, const std::string& toPath,
                    const std::string& fromPath);
    void uploadFile(const std::string& filename, const std::string& toPath,
                    const std::optional<std::string>& withParentRev, const std::string& fromPath);
    void uploadFileChunk(const std::optional<std::string>& uploadId, std::int64_t offset,
                         const std::string& fromPath);
    void uploadFileFromUploadId(const std::string& filename, const std::string& toPath,
                                const std::optional<std::string>& withParentRev,
                                const std::string& fromUploadId);
    // The same commit without "overwrite": the service's default for an
    // existing file applies, as for uploadFile(filename, toPath, fromPath).
    void uploadFileFromUploadId(const std::string& filename, const std::string& toPath,
                                const std::string& fromUploadId);

    void loadRevisionsForFile(const std::string& path, int limit = 10);
    void restoreFile(const std::string& path, const std::string& toRev);
    void moveFrom(const std::string& fromPath, const std::string& toPath);
    void copyFrom(const std::string& fromPath, const std::string& toPath);
    void createCopyRef(const std::string& path);
    void copyFromRef(const std::string& copyRef, const std::string& toPath);
    void deletePath(const std::string& path);
    void createFolder(const std::string& path);
    void loadAccountInfo();
    void searchPath(const std::string& path, const std::string& forKeyword);
    void loadSharableLinkForFile(const std::string& path, bool shortUrl = true);
    void loadStreamableURLForFile(const std::string& path);

    void loadRequestToken();
    // Nothing (and a log line) without a request token.
    std::optional<std::string> authorizeURL();
    void loadAccessToken();

    void cancelFileLoad(const std::string& path);
    void cancelThumbnailLoad(const std::string& path, const std::optional<std::string>& size);
    void cancelFileUpload(const std::string& path);
    void cancelAllRequests();
    std::size_t requestCount() const;

    // A signed request for the host and path (requestWithHost:path:parameters:method:).
    CSSignedRequest requestWithHost(const std::string& host, const std::string& path,
                                    const Params& parameters, const std::string& method = "GET");

private:
    CSRestClient(std::shared_ptr<CSSession> session, std::optional<std::string> userId);

    using Completion = std::function<void(CSRequest*)>;
    using Keyed = std::map<std::string, std::unique_ptr<CSRequest>>;

    OAuthCredentialConcreteStore& store();
    // Of the endpoints in the session's client context.
    std::string apiHost() const;
    std::string contentHost() const;
    CSRequest* makeRequest(CSSignedRequest request, Completion completion);
    // Adds to `requests`.
    CSRequest* startRequest(CSSignedRequest request, CSJsonValue info, Completion completion);
    // Adds to a keyed collection, cancelling a request it displaces.
    CSRequest* startKeyed(Keyed& collection, const std::string& key, CSSignedRequest request,
                          CSJsonValue info, Completion completion);
    // Takes the request out of its collection; it is deleted once control returns to the loop.
    void release(CSRequest* request);
    void releaseKeyed(Keyed& collection, const std::string& key, CSRequest* request);
    void checkForAuthenticationFailure(const CSRequest* request);
    std::string apiURL(const std::string& host, const std::string& pathFormatRoot,
                       const std::string& path) const;
    void postToOwner(std::function<void()> work);

    void commitChunkedUpload(const std::string& filename, const std::string& toPath,
                             const std::optional<std::string>& withParentRev,
                             const std::string& fromUploadId, const Params& params);
    void uploadFileWithParams(const std::string& filename, const std::string& toPath,
                              const std::string& fromPath, const Params& extra);
    // Error 1004 for an answer whose elements are not what the operation reads.
    void wrongShape(const CSRestClientDelegate::Failure& failure, const CSJsonValue& info);
    void metadataFinished(CSRequest* request);
    void deltaFinished(CSRequest* request);
    void fileLoaded(CSRequest* request, const std::string& path);
    void thumbnailLoaded(CSRequest* request, const std::string& key);
    void fileUploaded(CSRequest* request, const std::string& destination);
    void tokenLoaded(CSRequest* request, bool accessToken);

    std::shared_ptr<CSSession> session_;
    std::optional<std::string> userId_;
    std::string root_;
    std::vector<std::unique_ptr<CSRequest>> requests_;
    Keyed loadRequests_;
    Keyed imageLoadRequests_;
    Keyed uploadRequests_;
    CSRestClientDelegate delegate_;

    // Where parse threads hand their results back: the owner's thread, for as
    // long as the client lives.
    struct Mailbox {
        std::mutex mutex;
        QObject* receiver = nullptr;
    };
    std::unique_ptr<QObject> receiver_;
    std::shared_ptr<Mailbox> mailbox_;
};
