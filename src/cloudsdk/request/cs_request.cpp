#include "cs_request.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QUrl>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "cs_json.h"
#include "cs_log.h"
#include "cs_network_activity.h"
#include "cs_service_endpoints.h"
#include "cs_trust.h"
#include "cs_utf8_check.h"
#include "der_reader.h"

namespace {

constexpr int kMaxRedirects = 5;
constexpr qint64 kReadBufferSize = 2 * 1024 * 1024;

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

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Network-layer failures (no usable answer) as opposed to HTTP statuses,
// which Qt also reports as errors.
bool isTransportError(QNetworkReply::NetworkError e) {
    return e != QNetworkReply::NoError &&
           (e < QNetworkReply::ContentAccessDenied || e == QNetworkReply::ProtocolFailure);
}

} // namespace

std::optional<std::string> CSHTTPResponse::headerValue(std::string_view name) const {
    for (const auto& [k, v] : headers) {
        if (equalsIgnoringCase(k, name))
            return v;
    }
    return std::nullopt;
}

CSRequest::CSRequest(CSSignedRequest request, Callback completion, QObject* parent)
    : QObject(parent), request_(std::move(request)), selector_(std::move(completion)) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &CSRequest::onTimeout);
    CSNetworkRequestStarted();
    QMetaObject::invokeMethod(this, &CSRequest::start, Qt::QueuedConnection);
}

CSRequest::~CSRequest() {
    if (state_ != State::done) {
        stopReply();
        closeTempFile();
        removeTempFile("CSRequest#cancel");
        state_ = State::done;
        CSNetworkRequestStopped();
    }
}

QList<QSslCertificate> CSRequest::rootCertificates() {
    return CSRootCertificates();
}

std::string CSRequest::requestPath() const {
    return QUrl::fromEncoded(
               QByteArray::fromStdString(currentUrl_.empty() ? request_.url : currentUrl_))
        .path(QUrl::FullyDecoded)
        .toStdString();
}

void CSRequest::start() {
    if (state_ != State::pending)
        return;
    state_ = State::running;
    currentUrl_ = request_.url;
    currentMethod_ = request_.method.empty() ? "GET" : request_.method;
    startReply();
}

void CSRequest::startReply() {
    QUrl url = QUrl::fromEncoded(QByteArray::fromStdString(currentUrl_), QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("https")) {
        failWithError(
            CSError(CSNetworkErrorDomain, QNetworkReply::ProtocolUnknownError, userInfo_));
        return;
    }
    QNetworkRequest req(url);
    for (const auto& [name, value] : request_.headers) {
        req.setRawHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
    }
    // Sizes must match what is announced: no transparent decompression.
    req.setRawHeader("Accept-Encoding", "identity");
    req.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    req.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                     QNetworkRequest::ManualRedirectPolicy);

    const QList<QSslCertificate> anchors = CSTrustAnchors(CSServiceEndpoints::current());
    req.setSslConfiguration(CSTrustConfiguration(anchors));
    QNetworkAccessManager* manager = CSNetworkManagerFor(anchors);

    const QByteArray verb = QByteArray::fromStdString(currentMethod_);
    if (!sourcePath_.empty()) {
        // The body restarts from the file's start on every send.
        body_ = std::make_unique<QFile>(QString::fromStdString(sourcePath_));
        if (!body_->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            failWithError(CSError(CSPOSIXErrorDomain, ENOENT, userInfo_));
            return;
        }
        req.setHeader(QNetworkRequest::ContentLengthHeader, body_->size());
        reply_ = manager->sendCustomRequest(req, verb, body_.get());
    } else if (!request_.body.empty() && verb != "GET") {
        reply_ = manager->sendCustomRequest(req, verb, QByteArray::fromStdString(request_.body));
    } else if (verb == "GET") {
        reply_ = manager->get(req);
    } else {
        reply_ = manager->sendCustomRequest(req, verb, QByteArray());
    }
    // Bounded: when the loop falls behind, Qt stops reading the socket
    // instead of piling the body up in memory.
    reply_->setReadBufferSize(kReadBufferSize);
    connectReply();
    touch();
}

void CSRequest::connectReply() {
    QNetworkReply* r = reply_.data();
    connect(r, &QNetworkReply::encrypted, this, &CSRequest::onEncrypted);
    connect(r, &QNetworkReply::sslErrors, this, &CSRequest::onSslErrors);
    connect(r, &QNetworkReply::metaDataChanged, this, &CSRequest::onMetaDataChanged);
    connect(r, &QNetworkReply::readyRead, this, &CSRequest::onReadyRead);
    connect(r, &QNetworkReply::uploadProgress, this, &CSRequest::onUploadProgress);
    connect(r, &QNetworkReply::finished, this, &CSRequest::onFinished);
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
    stopReply();
    selector_ = nullptr;
    failureSelector_ = nullptr;
    downloadProgressSelector_ = nullptr;
    uploadProgressSelector_ = nullptr;
    closeTempFile();
    removeTempFile("CSRequest#cancel");
    CSNetworkRequestStopped();
}

void CSRequest::stopReply() {
    timer_.stop();
    if (QNetworkReply* r = reply_.data()) {
        r->disconnect(this);
        r->abort();
        r->deleteLater();
    }
    reply_.clear();
}

void CSRequest::onTimeout() {
    if (!reply_)
        return;
    timedOut_ = true;
    reply_->abort();
}

void CSRequest::onEncrypted() {
    touch();
    const QSslCertificate peer = reply_->sslConfiguration().peerCertificate();
    const QByteArray der = peer.toDer();
    if (peer.isNull() ||
        isRevokedCertificate(reinterpret_cast<const std::uint8_t*>(der.constData()),
                             static_cast<std::size_t>(der.size()))) {
        CSLogError("CloudSDK: SSL Error. Revoked certificate for the host: %s",
                   reply_->url().host().toUtf8().constData());
        trustRefused_ = true;
        // Nothing of the request has been sent yet.
        reply_->abort();
    }
}

void CSRequest::onSslErrors() {
    if (!trustLogged_) {
        trustLogged_ = true;
        CSLogError("CloudSDK: SSL Error. Cannot validate a certificate for the host: %s",
                   reply_->url().host().toUtf8().constData());
    }
    trustRefused_ = true;
}

void CSRequest::onMetaDataChanged() {
    touch();
    if (responseSeen_)
        return;
    const QVariant status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return;
    responseSeen_ = true;
    receiveResponse();
}

void CSRequest::receiveResponse() {
    response_ = CSHTTPResponse();
    response_.statusCode = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    for (const auto& pair : reply_->rawHeaderPairs()) {
        response_.headers.emplace_back(pair.first.toStdString(), pair.second.toStdString());
    }
    xCloudMetadataJSON_.reset();
    if (auto meta = response_.headerValue("X-Cloud-Metadata")) {
        auto json = JSONValue(std::string_view(*meta));
        if (json && json->isObject())
            xCloudMetadataJSON_ = std::move(json);
    }
    bodySize_ = responseBodySize();
    if (!resultFilename_.empty() && response_.statusCode == 200 && !createTempFile()) {
        writeFailed();
    }
}

bool CSRequest::createTempFile() {
    namespace fs = std::filesystem;
    const fs::path dest(resultFilename_);
    fs::path dir = dest.parent_path();
    if (dir.empty())
        dir = ".";
    // In the destination's own folder, so the final rename never crosses file systems.
    std::string leaf = ".";
    leaf.append(dest.filename().string()).append(".XXXXXX");
    const std::string pattern = (dir / leaf).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    // O_EXCL, mode 0600: a link planted at the name is never followed.
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        int e = errno;
        CSLogError("CSRequest#connection:didReceiveData: Error creating temp file: (%d) %s", e,
                   std::strerror(e));
        errno = e;
        return false;
    }
    tempFd_ = fd;
    tempFilename_ = name.data();
    return true;
}

void CSRequest::onReadyRead() {
    touch();
    QPointer<CSRequest> self(this);
    if (!responseSeen_)
        onMetaDataChanged();
    // A failed temporary file has completed the request, which may be gone.
    if (!self || state_ == State::done || !reply_)
        return;
    const QByteArray chunk = reply_->readAll();
    if (!chunk.isEmpty())
        receiveData(chunk);
}

bool CSRequest::receiveData(const QByteArray& chunk) {
    const bool toFile = !resultFilename_.empty() && response_.statusCode == 200;
    if (toFile) {
        if (tempFd_ < 0 ||
            !writeAll(tempFd_, chunk.constData(), static_cast<std::size_t>(chunk.size()))) {
            writeFailed();
            return false;
        }
    } else if (response_.statusCode < 300 || response_.statusCode >= 400) {
        resultData_.append(chunk.constData(), static_cast<std::size_t>(chunk.size()));
    }
    bytesDownloaded_ += chunk.size();
    const std::int64_t size = bodySize_;
    if (size > 0) {
        downloadProgress_ = static_cast<double>(bytesDownloaded_) / static_cast<double>(size);
        if (downloadProgressSelector_)
            downloadProgressSelector_(this);
    }
    return true;
}

void CSRequest::writeFailed() {
    stopReply();
    closeTempFile();
    removeTempFile("CSRequest#connection:didReceiveData:");
    state_ = State::done;
    setError(CSError(CSErrorDomain, CSErrorInsufficientDiskSpace, userInfo_));
    complete();
}

void CSRequest::onUploadProgress(qint64 sent, qint64 total) {
    touch();
    if (total <= 0)
        return;
    uploadProgress_ = static_cast<double>(sent) / static_cast<double>(total);
    if (uploadProgressSelector_)
        uploadProgressSelector_(this);
}

void CSRequest::onFinished() {
    if (state_ == State::done || !reply_)
        return;
    timer_.stop();
    QNetworkReply* r = reply_.data();
    const QNetworkReply::NetworkError netError = r->error();
    QPointer<CSRequest> self(this);
    if (!responseSeen_ && r->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()) {
        responseSeen_ = true;
        receiveResponse();
        if (!self || state_ == State::done)
            return;
    }
    if (!timedOut_ && !trustRefused_ && !isTransportError(netError)) {
        const QByteArray rest = r->readAll();
        if (!rest.isEmpty() && !receiveData(rest))
            return;
    }
    r->disconnect(this);
    r->deleteLater();
    reply_.clear();

    if (timedOut_ || trustRefused_ || isTransportError(netError) || !responseSeen_) {
        long code = static_cast<long>(netError);
        if (timedOut_)
            code = QNetworkReply::TimeoutError;
        if (trustRefused_)
            code = QNetworkReply::SslHandshakeFailedError;
        if (code == QNetworkReply::NoError)
            code = QNetworkReply::UnknownNetworkError;
        failWithError(CSError(CSNetworkErrorDomain, code, userInfo_));
        return;
    }
    if (followRedirect())
        return;
    finishLoading();
}

bool CSRequest::followRedirect() {
    const int status = response_.statusCode;
    if (status != 301 && status != 302 && status != 303 && status != 307 && status != 308)
        return false;
    auto location = response_.headerValue("Location");
    if (!location || redirects_ >= kMaxRedirects)
        return false;
    const QUrl base = QUrl::fromEncoded(QByteArray::fromStdString(currentUrl_));
    const QUrl next = base.resolved(QUrl::fromEncoded(QByteArray::fromStdString(*location)));
    if (next.scheme() != QLatin1String("https"))
        return false;
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
    body_.reset();
    startReply();
    return true;
}

void CSRequest::finishLoading() {
    closeTempFile();
    if (response_.statusCode != 200) {
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
    } else if (!tempFilename_.empty()) {
        struct stat st {};
        if (::stat(tempFilename_.c_str(), &st) != 0) {
            int e = errno;
            CSLogError("CSRequest#connectionDidFinishLoading: error getting file attrs: %s",
                       std::strerror(e));
            removeTempFile("CSRequest#connectionDidFinishLoading:");
            setError(CSError(CSPOSIXErrorDomain, e, userInfo_));
        } else if (const std::int64_t expected = bodySize_;
                   expected != 0 && expected != st.st_size) {
            removeTempFile("CSRequest#connectionDidFinishLoading:");
            setError(CSError(CSErrorDomain, CSErrorGenericError, userInfo_));
        } else if (::rename(tempFilename_.c_str(), resultFilename_.c_str()) != 0) {
            // rename replaces the destination atomically; nothing is deleted first.
            int e = errno;
            CSLogError("CSRequest#connectionDidFinishLoading: error moving temp file to desired "
                       "location: %s",
                       std::strerror(e));
            removeTempFile("CSRequest#connectionDidFinishLoading:");
            setError(CSError(CSPOSIXErrorDomain, e, userInfo_));
        }
        tempFilename_.clear();
    }
    state_ = State::done;
    complete();
}

void CSRequest::failWithError(CSError error) {
    closeTempFile();
    setError(std::move(error));
    bytesDownloaded_ = 0;
    downloadProgress_ = 0;
    uploadProgress_ = 0;
    removeTempFile("CSRequest#connection:didFailWithError:");
    state_ = State::done;
    complete();
}

void CSRequest::complete() {
    CSNetworkRequestStopped();
    // The callee may destroy this request: nothing may follow the call.
    Callback callback = (error_ && failureSelector_) ? failureSelector_ : selector_;
    if (callback)
        callback(this);
}

void CSRequest::closeTempFile() {
    if (tempFd_ >= 0) {
        ::close(tempFd_);
        tempFd_ = -1;
    }
}

void CSRequest::removeTempFile(const char* context) {
    if (tempFilename_.empty())
        return;
    if (::unlink(tempFilename_.c_str()) != 0 && errno != ENOENT) {
        const int e = errno;
        if (std::strcmp(context, "CSRequest#cancel") == 0) {
            CSLogError("CSRequest#cancel Error removing temp file: %s", std::strerror(e));
        } else {
            CSLogError("%s error removing temporary file: %s", context, std::strerror(e));
        }
    }
    tempFilename_.clear();
}
