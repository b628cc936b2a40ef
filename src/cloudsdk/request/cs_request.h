#pragma once
// One signed HTTP request to the cloud service. It collects the answer in
// memory, or streams a download into a temporary file in the destination's
// folder that replaces the destination only when the whole body has arrived
// with the expected size. It reports progress, turns HTTP errors and
// transport failures into CSError values, and talks only to servers whose
// chain ends at a trust anchor, whose name matches and whose certificate is
// not revoked. Completion and progress come back on the creating thread.

#include <curl/curl.h>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cs_curl_multi.h"
#include "cs_download_file.h"
#include "cs_error.h"
#include "cs_json_value.h"
#include "cs_network_activity.h"
#include "cs_service_endpoints.h"
#include "cs_signed_request.h"
#include "cs_upload_body.h"

// Status and header fields of the answer.
struct CSHTTPResponse {
    int statusCode = 0;
    std::vector<std::pair<std::string, std::string>> headers;

    // The first field of that name, without regard to case.
    std::optional<std::string> headerValue(std::string_view name) const;
};

enum class CSJsonKind { dictionary, list };

class CSRequest : public QObject, private CSCurlTransfer {
    Q_OBJECT

public:
    // The completion and progress operations; each gets the request.
    using Callback = std::function<void(CSRequest*)>;

    static constexpr double kDefaultTimeoutSeconds = 60;
    // An answer kept in memory (JSON, error bodies) beyond this is refused:
    // the service's answers are far smaller.
    static constexpr std::size_t kMaxBodyInMemory = 16 << 20;
    static constexpr int kMaxRedirects = 5;

    // Keeps the request and starts the transfer (from the event loop, so the
    // properties below may be set right after construction). It trusts the
    // anchors of `endpoints` and tells `networkActivity` (when any) of its
    // start and stop.
    CSRequest(CSSignedRequest request, Callback completion, const CSServiceEndpoints& endpoints,
              CSNetworkRequestDelegate* networkActivity = nullptr, QObject* parent = nullptr);
    // Stops a running transfer; no callback follows.
    ~CSRequest() override;

    void setFailureSelector(Callback callback) { failureSelector_ = std::move(callback); }
    void setDownloadProgressSelector(Callback callback) {
        downloadProgressSelector_ = std::move(callback);
    }
    void setUploadProgressSelector(Callback callback) {
        uploadProgressSelector_ = std::move(callback);
    }
    void setResultFilename(std::string path) { resultFilename_ = std::move(path); }
    void setUserInfo(CSJsonValue info) { userInfo_ = std::move(info); }
    // The file sent as the body; reopened from its start when the body must be sent again.
    void setSourcePath(std::string path) { sourcePath_ = std::move(path); }
    // Seconds without any progress after which the request fails (TimeoutError).
    void setTimeoutInterval(double seconds) { timeoutSeconds_ = seconds; }

    const CSSignedRequest& request() const { return request_; }
    int statusCode() const { return response_.statusCode; }
    const CSHTTPResponse& response() const { return response_; }
    const std::optional<CSJsonValue>& xCloudMetadataJSON() const { return xCloudMetadataJSON_; }
    const std::string& resultData() const { return resultData_; }
    // The body as UTF-8; nothing when there is none or it is not UTF-8.
    std::optional<std::string> resultString() const;
    std::optional<CSJsonValue> resultJSON() const;
    const std::optional<CSError>& error() const { return error_; }
    double downloadProgress() const { return downloadProgress_; }
    double uploadProgress() const { return uploadProgress_; }
    const std::string& resultFilename() const { return resultFilename_; }
    const CSJsonValue& userInfo() const { return userInfo_; }
    const std::string& sourcePath() const { return sourcePath_; }
    std::int64_t bytesDownloaded() const { return bytesDownloaded_; }

    // Content-Length when above 0, else the "bytes" of X-Cloud-Metadata, else 0.
    std::int64_t responseBodySize() const;

    // resultJSON when it is of that kind and no error is set; otherwise
    // nothing, setting error 1004 when none was set.
    std::optional<CSJsonValue> parseResponseAsType(CSJsonKind kind);

    // Stops the transfer and removes the temporary file; no callback follows.
    void cancel();
    bool isFinished() const { return state_ == State::done; }

    // Replaces the error; logs it unless it is the client's 304.
    void setError(CSError error);

    // DER of the pinned roots.
    static const std::vector<std::string>& rootCertificates();

private:
    enum class State { pending, running, done };
    // Why the transfer itself was stopped from one of its callbacks.
    enum class Stop { none, writeFailed, noSpace, bodyTooLarge, readFailed };
    struct EasyCleanup {
        void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
    };
    struct ListCleanup {
        void operator()(curl_slist* list) const { curl_slist_free_all(list); }
    };

    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onWrite(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onRead(char* buffer, std::size_t size, std::size_t count, void* self);
    static int onSeek(void* self, curl_off_t offset, int origin);
    static int onProgress(void* self, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal,
                          curl_off_t ulnow);
    static CURLcode onSslContext(CURL* easy, void* context, void* policy);

    void curlProgressed() override;
    void curlFinished(CURLcode result) override;

    void start();
    void startTransfer();
    bool configureEasy(CURL* easy);
    bool configureBody(CURL* easy);
    void onTimeout();
    void touch();
    void noteProgress(bool download);

    void headerLine(std::string_view line);
    bool receiveResponse();
    bool receiveData(const char* data, std::size_t size);
    bool followRedirect();
    void finishLoading();
    void finishDownload();
    void failWithError(CSError error);
    void stopFailure();
    void complete();
    void stopTransfer();
    void discardTempFile(const char* context);
    std::string requestPath() const;
    std::string requestHost() const;

    CSSignedRequest request_;
    Callback selector_;
    Callback failureSelector_;
    Callback downloadProgressSelector_;
    Callback uploadProgressSelector_;
    std::string resultFilename_;
    CSDownloadFile download_;
    CSJsonValue userInfo_ = CSJsonValue::object();
    std::string sourcePath_;
    CSHTTPResponse response_;
    std::optional<CSJsonValue> xCloudMetadataJSON_;
    std::int64_t bytesDownloaded_ = 0;
    std::int64_t bodySize_ = 0; // responseBodySize() of the current answer
    double downloadProgress_ = 0;
    double uploadProgress_ = 0;
    std::string resultData_;
    std::optional<CSError> error_;

    std::shared_ptr<const CSTrustPolicy> trustPolicy_;
    CSNetworkRequestDelegate* networkActivity_;
    std::shared_ptr<CSCurlMulti> multi_;
    std::unique_ptr<CURL, EasyCleanup> easy_;
    std::unique_ptr<curl_slist, ListCleanup> headerList_;
    CSUploadBody body_;
    curl_off_t uploaded_ = 0;
    QTimer timer_;
    QElapsedTimer sinceProgress_;
    double timeoutSeconds_ = kDefaultTimeoutSeconds;
    State state_ = State::pending;
    Stop stop_ = Stop::none;
    bool responseSeen_ = false;
    bool downloadProgressed_ = false;
    bool uploadProgressed_ = false;
    int redirects_ = 0;
    std::string currentUrl_;
    std::string currentMethod_;
};
