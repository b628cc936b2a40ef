#include "cs_request.h"

#include <openssl/x509_vfy.h>
#include <sys/stat.h>

#include <QPointer>
#include <QUrl>
#include <cerrno>
#include <cstring>

#include "cs_curl_error.h"
#include "cs_json.h"
#include "cs_log.h"
#include "cs_network_activity.h"
#include "cs_service_endpoints.h"
#include "cs_trust.h"
#include "cs_utf8_check.h"

namespace {

// Large reads and writes: fewer trips through the loop per megabyte.
constexpr long kReceiveBufferSize = 512 * 1024;
constexpr long kSendBufferSize = 512 * 1024;

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() &&
           (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

QUrl urlOf(const std::string& text) {
    return QUrl::fromEncoded(QByteArray::fromStdString(text), QUrl::StrictMode);
}

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

} // namespace

std::optional<std::string> CSHTTPResponse::headerValue(std::string_view name) const {
    for (const auto& [k, v] : headers) {
        if (equalsIgnoringCase(k, name))
            return v;
    }
    return std::nullopt;
}

CSRequest::CSRequest(CSSignedRequest request, Callback completion,
                     const CSServiceEndpoints& endpoints, CSNetworkRequestDelegate* networkActivity,
                     QObject* parent)
    : QObject(parent), request_(std::move(request)), selector_(std::move(completion)),
      trustPolicy_(CSTrustPolicyFor(endpoints)), networkActivity_(networkActivity) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &CSRequest::onTimeout);
    CSNetworkRequestStarted(networkActivity_);
    QMetaObject::invokeMethod(this, &CSRequest::start, Qt::QueuedConnection);
}

CSRequest::~CSRequest() {
    if (state_ != State::done) {
        stopTransfer();
        discardTempFile("CSRequest#cancel");
        state_ = State::done;
        CSNetworkRequestStopped(networkActivity_);
    }
}

const std::vector<std::string>& CSRequest::rootCertificates() {
    return CSRootCertificates();
}

std::string CSRequest::requestPath() const {
    return urlOf(currentUrl_.empty() ? request_.url : currentUrl_)
        .path(QUrl::FullyDecoded)
        .toStdString();
}

std::string CSRequest::requestHost() const {
    return urlOf(currentUrl_.empty() ? request_.url : currentUrl_).host().toStdString();
}

void CSRequest::start() {
    if (state_ != State::pending)
        return;
    state_ = State::running;
    currentUrl_ = request_.url;
    currentMethod_ = request_.method.empty() ? "GET" : request_.method;
    startTransfer();
}

void CSRequest::startTransfer() {
    const QUrl url = urlOf(currentUrl_);
    if (!url.isValid() || url.scheme() != QLatin1String("https")) {
        failWithError(CSError(CSNetworkErrorDomain, CSNetworkErrorProtocolUnknown, userInfo_));
        return;
    }
    multi_ = CSCurlMulti::forPolicy(trustPolicy_);
    easy_.reset(curl_easy_init());
    if (!easy_) {
        failWithError(CSError(CSNetworkErrorDomain, CSNetworkErrorUnknownNetwork, userInfo_));
        return;
    }
    // On failure the request has completed (and may be gone).
    if (!configureEasy(easy_.get()))
        return;
    if (!multi_->add(easy_.get(), this)) {
        stopTransfer();
        failWithError(CSError(CSNetworkErrorDomain, CSNetworkErrorUnknownNetwork, userInfo_));
        return;
    }
    touch();
}

bool CSRequest::configureEasy(CURL* e) {
    curl_easy_setopt(e, CURLOPT_URL, currentUrl_.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    // Redirects are followed here, with the checks of followRedirect.
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    // Only the trust policy's anchors: no bundle, no folder, no proxy from the environment.
    curl_easy_setopt(e, CURLOPT_CAINFO, nullptr);
    curl_easy_setopt(e, CURLOPT_CAPATH, nullptr);
    curl_easy_setopt(e, CURLOPT_PROXY, "");
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(e, CURLOPT_SSL_CTX_FUNCTION, &CSRequest::onSslContext);
    curl_easy_setopt(e, CURLOPT_SSL_CTX_DATA, &multi_->policy());
    // Every new connection makes a full handshake, so the revocation check always runs.
    curl_easy_setopt(e, CURLOPT_SSL_SESSIONID_CACHE, 0L);
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
    curl_easy_setopt(e, CURLOPT_UPLOAD_BUFFERSIZE, kSendBufferSize);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &CSRequest::onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &CSRequest::onWrite);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &CSRequest::onProgress);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, this);

    curl_slist* list = nullptr;
    for (const auto& [name, value] : request_.headers)
        list = curl_slist_append(list, (name + ": " + value).c_str());
    // Sizes must match what is announced: no transparent decompression.
    list = curl_slist_append(list, "Accept-Encoding: identity");
    // The body goes at once; no wait for an interim answer.
    list = curl_slist_append(list, "Expect:");
    headerList_.reset(list);
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, list);
    return configureBody(e);
}

bool CSRequest::configureBody(CURL* e) {
    if (!sourcePath_.empty()) {
        // The body is read from the file's start on every send.
        if (const int error = body_.open(sourcePath_); error != 0) {
            stopTransfer();
            failWithError(CSError(CSPOSIXErrorDomain, error, userInfo_));
            return false;
        }
        curl_easy_setopt(e, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(e, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(body_.size()));
        curl_easy_setopt(e, CURLOPT_READFUNCTION, &CSRequest::onRead);
        curl_easy_setopt(e, CURLOPT_READDATA, this);
        curl_easy_setopt(e, CURLOPT_SEEKFUNCTION, &CSRequest::onSeek);
        curl_easy_setopt(e, CURLOPT_SEEKDATA, this);
        curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, currentMethod_.c_str());
    } else if (currentMethod_ == "GET") {
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(request_.body.size()));
        curl_easy_setopt(e, CURLOPT_POSTFIELDS, request_.body.data());
        if (currentMethod_ != "POST")
            curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, currentMethod_.c_str());
    }
    return true;
}

CURLcode CSRequest::onSslContext(CURL*, void* context, void* policy) {
    static_cast<const CSTrustPolicy*>(policy)->installInto(static_cast<SSL_CTX*>(context));
    return CURLE_OK;
}

void CSRequest::touch() {
    if (timeoutSeconds_ <= 0)
        return;
    // Restarting a timer per chunk is costly; a tenth of a second of slack is not.
    if (timer_.isActive() && sinceProgress_.isValid() && sinceProgress_.elapsed() < 100)
        return;
    sinceProgress_.start();
    timer_.start(static_cast<int>(timeoutSeconds_ * 1000));
}

std::optional<std::string> CSRequest::resultString() const {
    if (resultData_.empty() || !CSUtf8IsValid(resultData_.data(), resultData_.size()))
        return std::nullopt;
    return resultData_;
}

std::optional<CSJsonValue> CSRequest::resultJSON() const {
    auto text = resultString();
    if (!text)
        return std::nullopt;
    return JSONValue(std::string_view(*text));
}

std::int64_t CSRequest::responseBodySize() const {
    if (auto length = response_.headerValue("Content-Length")) {
        try {
            long long n = std::stoll(*length);
            if (n > 0)
                return n;
        } catch (...) {
        }
    }
    if (xCloudMetadataJSON_) {
        if (const CSJsonValue* bytes = xCloudMetadataJSON_->find("bytes"))
            return bytes->asInt64();
    }
    return 0;
}

std::optional<CSJsonValue> CSRequest::parseResponseAsType(CSJsonKind kind) {
    if (error_)
        return std::nullopt;
    auto json = resultJSON();
    if (json && ((kind == CSJsonKind::dictionary && json->isObject()) ||
                 (kind == CSJsonKind::list && json->isArray()))) {
        return json;
    }
    setError(CSError(CSErrorDomain, CSErrorInvalidResponse, userInfo_));
    return std::nullopt;
}

void CSRequest::setError(CSError error) {
    if (error_ && *error_ == error)
        return;
    if (!(error.domain == CSErrorDomain && error.code == 304)) {
        std::string detail = error.infoString("error");
        if (detail.empty())
            detail = error.description();
        // The path only: the query of a signed address carries secrets.
        CSLogWarning("CloudSDK: error making request to %s - (%ld) %s", requestPath().c_str(),
                     error.code, detail.c_str());
    }
    error_ = std::move(error);
}

void CSRequest::cancel() {
    if (state_ == State::done)
        return;
    state_ = State::done;
    stopTransfer();
    selector_ = nullptr;
    failureSelector_ = nullptr;
    downloadProgressSelector_ = nullptr;
    uploadProgressSelector_ = nullptr;
    discardTempFile("CSRequest#cancel");
    CSNetworkRequestStopped(networkActivity_);
}

void CSRequest::stopTransfer() {
    timer_.stop();
    if (easy_ && multi_)
        multi_->remove(easy_.get());
    easy_.reset();
    headerList_.reset();
    multi_.reset();
    body_.close();
}

void CSRequest::onTimeout() {
    if (state_ != State::running || !easy_)
        return;
    stopTransfer();
    failWithError(CSError(CSNetworkErrorDomain, CSNetworkErrorTimeout, userInfo_));
}

// ---- curl callbacks: record, never call out -------------------------------

std::size_t CSRequest::onHeader(char* data, std::size_t size, std::size_t count, void* self) {
    auto* r = static_cast<CSRequest*>(self);
    const std::size_t length = size * count;
    r->touch();
    const std::string_view line = trimmed(std::string_view(data, length));
    if (line.empty()) {
        // The end of a header block; interim (1xx) answers are skipped.
        if (r->response_.statusCode >= 200 && !r->responseSeen_ && !r->receiveResponse())
            return 0;
        return length;
    }
    r->headerLine(line);
    return length;
}

void CSRequest::headerLine(std::string_view line) {
    if (line.rfind("HTTP/", 0) == 0) {
        response_ = CSHTTPResponse();
        const auto space = line.find(' ');
        if (space != std::string_view::npos)
            response_.statusCode = std::atoi(std::string(line.substr(space + 1, 3)).c_str());
        return;
    }
    const auto colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return;
    response_.headers.emplace_back(std::string(trimmed(line.substr(0, colon))),
                                   std::string(trimmed(line.substr(colon + 1))));
}

bool CSRequest::receiveResponse() {
    responseSeen_ = true;
    xCloudMetadataJSON_.reset();
    if (auto meta = response_.headerValue("X-Cloud-Metadata")) {
        auto json = JSONValue(std::string_view(*meta));
        if (json && json->isObject())
            xCloudMetadataJSON_ = std::move(json);
    }
    bodySize_ = responseBodySize();
    if (resultFilename_.empty() || response_.statusCode != 200)
        return true;
    if (const int e = download_.create(resultFilename_); e != 0) {
        CSLogError("CSRequest#connection:didReceiveData: Error creating temp file: (%d) %s", e,
                   std::strerror(e));
        stop_ = Stop::writeFailed;
        return false;
    }
    if (bodySize_ > 0 && !download_.hasRoomFor(static_cast<std::uint64_t>(bodySize_))) {
        stop_ = Stop::noSpace;
        return false;
    }
    return true;
}

std::size_t CSRequest::onWrite(char* data, std::size_t size, std::size_t count, void* self) {
    auto* r = static_cast<CSRequest*>(self);
    const std::size_t length = size * count;
    r->touch();
    return r->receiveData(data, length) ? length : CURL_WRITEFUNC_ERROR;
}

bool CSRequest::receiveData(const char* data, std::size_t size) {
    if (download_.exists()) {
        switch (download_.write(data, size)) {
        case CSDownloadFile::WriteResult::written:
            break;
        case CSDownloadFile::WriteResult::noSpace:
            stop_ = Stop::noSpace;
            return false;
        case CSDownloadFile::WriteResult::failed:
            stop_ = Stop::writeFailed;
            return false;
        }
    } else if (!isRedirect(response_.statusCode)) {
        if (resultData_.size() + size > kMaxBodyInMemory) {
            stop_ = Stop::bodyTooLarge;
            return false;
        }
        resultData_.append(data, size);
    }
    bytesDownloaded_ += static_cast<std::int64_t>(size);
    if (bodySize_ > 0) {
        downloadProgress_ = static_cast<double>(bytesDownloaded_) / static_cast<double>(bodySize_);
        noteProgress(true);
    }
    return true;
}

std::size_t CSRequest::onRead(char* buffer, std::size_t size, std::size_t count, void* self) {
    auto* r = static_cast<CSRequest*>(self);
    const ssize_t n = r->body_.read(buffer, size * count);
    if (n < 0) {
        r->stop_ = Stop::readFailed;
        return CURL_READFUNC_ABORT;
    }
    r->touch();
    return static_cast<std::size_t>(n);
}

int CSRequest::onSeek(void* self, curl_off_t offset, int origin) {
    // curl sends the body again (a reused connection that the server had closed).
    return static_cast<CSRequest*>(self)->body_.seek(offset, origin) ? CURL_SEEKFUNC_OK
                                                                     : CURL_SEEKFUNC_FAIL;
}

int CSRequest::onProgress(void* self, curl_off_t, curl_off_t, curl_off_t ultotal,
                          curl_off_t ulnow) {
    auto* r = static_cast<CSRequest*>(self);
    if (ultotal > 0 && ulnow != r->uploaded_) {
        r->uploaded_ = ulnow;
        r->uploadProgress_ = static_cast<double>(ulnow) / static_cast<double>(ultotal);
        r->touch();
        r->noteProgress(false);
    }
    return 0;
}

void CSRequest::noteProgress(bool download) {
    bool& flag = download ? downloadProgressed_ : uploadProgressed_;
    if ((download ? downloadProgressSelector_ : uploadProgressSelector_) && !flag) {
        flag = true;
        multi_->noteProgress(this);
    }
}

// ---- after curl has returned ---------------------------------------------

void CSRequest::curlProgressed() {
    QPointer<CSRequest> self(this);
    if (uploadProgressed_) {
        uploadProgressed_ = false;
        if (uploadProgressSelector_)
            uploadProgressSelector_(this);
    }
    // The callee may have cancelled or destroyed this request.
    if (!self || state_ != State::running || !downloadProgressed_)
        return;
    downloadProgressed_ = false;
    if (downloadProgressSelector_)
        downloadProgressSelector_(this);
}

void CSRequest::curlFinished(CURLcode result) {
    timer_.stop();
    long verifyResult = X509_V_OK;
    curl_easy_getinfo(easy_.get(), CURLINFO_SSL_VERIFYRESULT, &verifyResult);
    // The multi has let go of the handle already.
    easy_.reset();
    headerList_.reset();
    multi_.reset();
    body_.close();
    if (stop_ != Stop::none) {
        stopFailure();
    } else if (result != CURLE_OK) {
        if (CSIsTrustFailure(result)) {
            if (verifyResult == X509_V_ERR_CERT_REVOKED) {
                CSLogError("CloudSDK: SSL Error. Revoked certificate for the host: %s",
                           requestHost().c_str());
            } else {
                CSLogError("CloudSDK: SSL Error. Cannot validate a certificate for the host: %s",
                           requestHost().c_str());
            }
        }
        // curl's own message may quote the address, query included: never logged.
        failWithError(CSError(CSNetworkErrorDomain, CSNetworkErrorFor(result), userInfo_));
    } else if (!responseSeen_) {
        failWithError(CSError(CSNetworkErrorDomain, CSNetworkErrorUnknownNetwork, userInfo_));
    } else if (!followRedirect()) {
        finishLoading();
    }
}

void CSRequest::stopFailure() {
    switch (stop_) {
    case Stop::readFailed:
        failWithError(CSError(CSPOSIXErrorDomain, body_.lastError(), userInfo_));
        return;
    case Stop::bodyTooLarge:
        failWithError(CSError(CSErrorDomain, CSErrorInvalidResponse, userInfo_));
        return;
    default:
        // The download could not be written (or would not fit).
        discardTempFile("CSRequest#connection:didReceiveData:");
        state_ = State::done;
        setError(CSError(CSErrorDomain, CSErrorInsufficientDiskSpace, userInfo_));
        complete();
        return;
    }
}

bool CSRequest::followRedirect() {
    const int status = response_.statusCode;
    if (!isRedirect(status))
        return false;
    auto location = response_.headerValue("Location");
    if (!location || redirects_ >= kMaxRedirects)
        return false;
    const QUrl base = urlOf(currentUrl_);
    const QUrl next = base.resolved(QUrl::fromEncoded(QByteArray::fromStdString(*location)));
    // Only to the request's own server: a 307 or 308 would send the body
    // (and every request carries the signature) wherever it pointed.
    if (next.scheme() != QLatin1String("https") || next.host() != base.host() ||
        next.port(443) != base.port(443)) {
        CSLogWarning("CloudSDK: redirect of %s to another server refused", requestPath().c_str());
        return false;
    }
    ++redirects_;
    currentUrl_ = next.toString(QUrl::FullyEncoded).toStdString();
    if (status == 303) {
        currentMethod_ = "GET";
        sourcePath_.clear();
        request_.body.clear();
    }
    responseSeen_ = false;
    response_ = CSHTTPResponse();
    bodySize_ = 0;
    xCloudMetadataJSON_.reset();
    resultData_.clear();
    bytesDownloaded_ = 0;
    downloadProgress_ = 0;
    uploadProgress_ = 0;
    uploaded_ = 0;
    download_.remove();
    startTransfer();
    return true;
}

void CSRequest::finishLoading() {
    if (response_.statusCode != 200) {
        download_.remove();
        CSJsonValue info = userInfo_.isObject() ? userInfo_ : CSJsonValue::object();
        if (auto text = resultString(); text && !text->empty()) {
            CSJsonParser parser;
            if (auto body = parser.objectWithString(std::string_view(*text));
                body && body->isObject()) {
                for (const auto& member : body->members())
                    info.set(member.key(), member.value);
            }
        }
        setError(CSError(CSErrorDomain, response_.statusCode, std::move(info)));
    } else if (download_.exists()) {
        finishDownload();
    }
    state_ = State::done;
    complete();
}

void CSRequest::finishDownload() {
    struct stat st {};
    if (::stat(download_.path().c_str(), &st) != 0) {
        const int e = errno;
        CSLogError("CSRequest#connectionDidFinishLoading: error getting file attrs: %s",
                   std::strerror(e));
        discardTempFile("CSRequest#connectionDidFinishLoading:");
        setError(CSError(CSPOSIXErrorDomain, e, userInfo_));
    } else if (bodySize_ != 0 && bodySize_ != st.st_size) {
        discardTempFile("CSRequest#connectionDidFinishLoading:");
        setError(CSError(CSErrorDomain, CSErrorGenericError, userInfo_));
    } else if (const int e = download_.commit(); e != 0) {
        CSLogError("CSRequest#connectionDidFinishLoading: error moving temp file to desired "
                   "location: %s",
                   std::strerror(e));
        discardTempFile("CSRequest#connectionDidFinishLoading:");
        setError(CSError(CSPOSIXErrorDomain, e, userInfo_));
    }
}

void CSRequest::failWithError(CSError error) {
    setError(std::move(error));
    bytesDownloaded_ = 0;
    downloadProgress_ = 0;
    uploadProgress_ = 0;
    discardTempFile("CSRequest#connection:didFailWithError:");
    state_ = State::done;
    complete();
}

void CSRequest::complete() {
    CSNetworkRequestStopped(networkActivity_);
    // The callee may destroy this request: nothing may follow the call.
    Callback callback = (error_ && failureSelector_) ? failureSelector_ : selector_;
    if (callback)
        callback(this);
}

void CSRequest::discardTempFile(const char* context) {
    const int e = download_.remove();
    if (e == 0)
        return;
    if (std::strcmp(context, "CSRequest#cancel") == 0) {
        CSLogError("CSRequest#cancel Error removing temp file: %s", std::strerror(e));
    } else {
        CSLogError("%s error removing temporary file: %s", context, std::strerror(e));
    }
}
