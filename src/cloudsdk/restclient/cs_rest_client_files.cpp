// Downloads, thumbnails and uploads: file bodies on the content host.
#include <QFileInfo>
#include <cctype>
#include <fstream>

#include "cs_json.h"
#include "cs_log.h"
#include "cs_rest_client.h"
#include "cs_service_endpoints.h"

namespace {

constexpr std::size_t kChunkSize = 2097152;

template <typename F, typename... A> void call(const F& f, A&&... args) {
    if (f)
        f(std::forward<A>(args)...);
}

std::string jsonText(const CSJsonValue& object, const char* key) {
    const CSJsonValue* v = object.find(key);
    return v && v->isString() ? v->asString() : std::string();
}

std::optional<CSMetadata> headerMetadata(const CSRequest* r) {
    if (!r->xCloudMetadataJSON())
        return std::nullopt;
    return CSMetadata::initWithDictionary(*r->xCloudMetadataJSON());
}

// "/a/b/" + "c" and "/a/b" + "c" both give "/a/b/c".
std::string joinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

} // namespace

void CSRestClient::loadFile(const std::string& path, const std::string& intoPath) {
    loadFile(path, std::nullopt, intoPath);
}

void CSRestClient::loadFile(const std::string& path, const std::optional<std::string>& atRev,
                            const std::string& intoPath) {
    Params params;
    CSJsonValue info = CSJsonValue::object({{"path", path}, {"destinationPath", intoPath}});
    if (atRev) {
        params.emplace_back("rev", *atRev);
        info.set("rev", *atRev);
    }
    CSRequest* r = startKeyed(loadRequests_, path,
                              requestWithHost(contentHost(), "/files/" + root_ + path, params),
                              std::move(info), [this, path](CSRequest* q) { fileLoaded(q, path); });
    r->setResultFilename(intoPath);
    r->setDownloadProgressSelector([this, intoPath](CSRequest* q) {
        call(delegate_.loadProgress, this, q->downloadProgress(), intoPath);
    });
}

void CSRestClient::fileLoaded(CSRequest* request, const std::string& path) {
    if (request->error()) {
        const CSError error = *request->error();
        checkForAuthenticationFailure(request);
        releaseKeyed(loadRequests_, path, request);
        call(delegate_.loadFileFailedWithError, this, error);
        return;
    }
    const std::string destination = request->resultFilename();
    const std::string contentType = request->response().headerValue("Content-Type").value_or("");
    const std::string eTag = request->response().headerValue("Etag").value_or("");
    const std::optional<CSMetadata> metadata = headerMetadata(request);
    releaseKeyed(loadRequests_, path, request);
    if (delegate_.loadedFile) {
        delegate_.loadedFile(this, destination);
    } else if (delegate_.loadedFileContentTypeMetadata) {
        delegate_.loadedFileContentTypeMetadata(this, destination, contentType, metadata);
    } else if (delegate_.loadedFileContentType) {
        delegate_.loadedFileContentType(this, destination, contentType);
    } else if (delegate_.loadedFileContentTypeETag) {
        delegate_.loadedFileContentTypeETag(this, destination, contentType, eTag);
    }
}

void CSRestClient::loadThumbnail(const std::string& path, const std::optional<std::string>& ofSize,
                                 const std::string& intoPath) {
    std::string format = "JPEG";
    if (path.size() >= 5) {
        std::string ending = path.substr(path.size() - 4);
        for (auto& c : ending)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (ending == ".PNG" || ending == ".GIF")
            format = "PNG";
    }
    Params params = {{"format", format}};
    CSJsonValue info =
        CSJsonValue::object({{"root", root_}, {"path", path}, {"destinationPath", intoPath}});
    if (ofSize) {
        params.emplace_back("size", *ofSize);
        info.set("size", *ofSize);
    }
    const std::string key = path + "##" + ofSize.value_or("");
    CSRequest* r =
        startKeyed(imageLoadRequests_, key,
                   requestWithHost(contentHost(), "/thumbnails/" + root_ + path, params),
                   std::move(info), [this, key](CSRequest* q) { thumbnailLoaded(q, key); });
    r->setResultFilename(intoPath);
}

void CSRestClient::thumbnailLoaded(CSRequest* request, const std::string& key) {
    if (request->error()) {
        const CSError error = *request->error();
        checkForAuthenticationFailure(request);
        releaseKeyed(imageLoadRequests_, key, request);
        call(delegate_.loadThumbnailFailedWithError, this, error);
        return;
    }
    const std::string destination = request->resultFilename();
    const std::optional<CSMetadata> metadata = headerMetadata(request);
    releaseKeyed(imageLoadRequests_, key, request);
    if (delegate_.loadedThumbnailMetadata) {
        delegate_.loadedThumbnailMetadata(this, destination, metadata);
    } else {
        call(delegate_.loadedThumbnail, this, destination);
    }
}

void CSRestClient::uploadFile(const std::string& filename, const std::string& toPath,
                              const std::string& fromPath) {
    uploadFileWithParams(filename, toPath, fromPath, {});
}

void CSRestClient::uploadFile(const std::string& filename, const std::string& toPath,
                              const std::optional<std::string>& withParentRev,
                              const std::string& fromPath) {
    Params params = {{"overwrite", "false"}};
    if (withParentRev)
        params.emplace_back("parent_rev", *withParentRev);
    uploadFileWithParams(filename, toPath, fromPath, params);
}

void CSRestClient::uploadFileWithParams(const std::string& filename, const std::string& toPath,
                                        const std::string& fromPath, const Params& extra) {
    const std::string destination = joinPath(toPath, filename);
    const QFileInfo source(QString::fromStdString(fromPath));
    if (!source.exists() || source.isDir()) {
        const bool isFolder = source.isDir();
        CSLogWarning("CloudSDK: %s (%s)",
                     isFolder ? "Unable to upload folders" : "File does not exist",
                     fromPath.c_str());
        call(delegate_.uploadFileFailedWithError, this,
             CSError(CSErrorDomain, isFolder ? CSErrorIllegalFileType : CSErrorFileNotFound,
                     CSJsonValue::object(
                         {{"sourcePath", fromPath}, {"destinationPath", destination}})));
        return;
    }
    OAuthCredentialConcreteStore& s = store();
    URLRequestParameters list = s.oauthParameters();
    for (auto& p : URLRequestParameter::parametersFromDictionary(extra))
        list.push_back(std::move(p));
    OAuthURLRequest builder(apiURL(contentHost(), "/files_put/", destination), list);
    builder.setHTTPMethod("POST");
    CSSignedRequest request = builder.uploadRequestSignedWithSecret(
        s.signingKey(), s.signatureMethod().value_or("PLAINTEXT"));
    request.headers.emplace_back("Content-Length", std::to_string(source.size()));
    request.headers.emplace_back("Content-Type", "application/octet-stream");

    // No timeout of 20 s and no user agent here: the platform's defaults apply.
    const CSClientContext& context = session_->context();
    auto* r = new CSRequest(
        std::move(request), [this, destination](CSRequest* q) { fileUploaded(q, destination); },
        context.endpoints, context.networkActivity);
    r->setUserInfo(
        CSJsonValue::object({{"sourcePath", fromPath}, {"destinationPath", destination}}));
    r->setSourcePath(fromPath);
    r->setUploadProgressSelector([this, destination, fromPath](CSRequest* q) {
        call(delegate_.uploadProgress, this, q->uploadProgress(), destination, fromPath);
    });
    auto& slot = uploadRequests_[destination];
    if (slot)
        slot->cancel();
    slot.reset(r);
}

void CSRestClient::fileUploaded(CSRequest* request, const std::string& destination) {
    std::optional<CSJsonValue> json = request->parseResponseAsType(CSJsonKind::dictionary);
    const std::string source = request->sourcePath();
    if (!json) {
        const CSError error = *request->error();
        checkForAuthenticationFailure(request);
        releaseKeyed(uploadRequests_, destination, request);
        call(delegate_.uploadFileFailedWithError, this, error);
        return;
    }
    releaseKeyed(uploadRequests_, destination, request);
    if (delegate_.uploadedFileFromMetadata) {
        delegate_.uploadedFileFromMetadata(this, destination, source,
                                           *CSMetadata::initWithDictionary(*json));
    } else {
        call(delegate_.uploadedFileFrom, this, destination, source);
    }
}

void CSRestClient::uploadFileChunk(const std::optional<std::string>& uploadId, std::int64_t offset,
                                   const std::string& fromPath) {
    std::ifstream file(fromPath, std::ios::binary);
    if (!file || QFileInfo(QString::fromStdString(fromPath)).isDir()) {
        CSError error(CSErrorDomain, CSErrorFileNotFound,
                      CSJsonValue::object({{"fromPath", fromPath},
                                           {"offset", offset},
                                           {"upload_id", uploadId.value_or("")}}));
        if (delegate_.uploadFileChunkFailedWithError) {
            delegate_.uploadFileChunkFailedWithError(this, error);
        } else {
            CSLogWarning("CloudSDK: unable to read file in -[CSRestClient "
                         "uploadFileChunk:offset:fromPath:] (fromPath=%s)",
                         fromPath.c_str());
        }
        return;
    }
    std::string data(kChunkSize, '\0');
    file.seekg(offset);
    file.read(data.data(), static_cast<std::streamsize>(data.size()));
    data.resize(file ? data.size()
                     : static_cast<std::size_t>(std::max<std::streamsize>(file.gcount(), 0)));
    if (data.empty())
        CSLogWarning("CloudSDK: did not read any data from file (fromPath=%s)", fromPath.c_str());

    Params params = {{"offset", std::to_string(offset)}};
    if (uploadId)
        params.emplace_back("upload_id", *uploadId);
    OAuthCredentialConcreteStore& s = store();
    URLRequestParameters list = s.oauthParameters();
    for (auto& p : URLRequestParameter::parametersFromDictionary(params))
        list.push_back(std::move(p));
    OAuthURLRequest builder(std::string("https://") + contentHost() + "/1/chunked_upload", list);
    builder.setHTTPMethod("POST");
    CSSignedRequest request = builder.uploadRequestSignedWithSecret(
        s.signingKey(), s.signatureMethod().value_or("PLAINTEXT"));
    request.headers.emplace_back("Content-Length", std::to_string(data.size()));
    request.headers.emplace_back("Content-Type", "application/octet-stream");
    request.body = std::move(data);

    CSJsonValue info = CSJsonValue::object({{"fromPath", fromPath}, {"offset", offset}});
    if (uploadId)
        info.set("upload_id", *uploadId);
    CSRequest* r =
        startRequest(std::move(request), std::move(info), [this, fromPath](CSRequest* q) {
            std::optional<CSJsonValue> json = q->parseResponseAsType(CSJsonKind::dictionary);
            if (!json) {
                const CSError error = *q->error();
                release(q);
                call(delegate_.uploadFileChunkFailedWithError, this, error);
                return;
            }
            release(q);
            const CSJsonValue* newOffset = json->find("offset");
            call(delegate_.uploadedFileChunk, this, jsonText(*json, "upload_id"),
                 newOffset ? newOffset->asInt64() : 0, fromPath,
                 CSParseMetadataDate(jsonText(*json, "expires")));
        });
    r->setUploadProgressSelector([this, uploadId, offset, fromPath](CSRequest* q) {
        call(delegate_.uploadFileChunkProgress, this, q->uploadProgress(), uploadId.value_or(""),
             offset, fromPath);
    });
}

void CSRestClient::uploadFileFromUploadId(const std::string& filename, const std::string& toPath,
                                          const std::optional<std::string>& withParentRev,
                                          const std::string& fromUploadId) {
    Params params = {{"upload_id", fromUploadId}, {"overwrite", "false"}};
    if (withParentRev)
        params.emplace_back("parent_rev", *withParentRev);
    commitChunkedUpload(filename, toPath, withParentRev, fromUploadId, params);
}

void CSRestClient::uploadFileFromUploadId(const std::string& filename, const std::string& toPath,
                                          const std::string& fromUploadId) {
    commitChunkedUpload(filename, toPath, std::nullopt, fromUploadId,
                        {{"upload_id", fromUploadId}});
}

void CSRestClient::commitChunkedUpload(const std::string& filename, const std::string& toPath,
                                       const std::optional<std::string>& withParentRev,
                                       const std::string& fromUploadId, const Params& params) {
    const std::string destination = joinPath(toPath, filename);
    CSJsonValue info = CSJsonValue::object({{"uploadId", fromUploadId}, {"destPath", destination}});
    if (withParentRev)
        info.set("parentRev", *withParentRev);
    startRequest(requestWithHost(contentHost(), "/commit_chunked_upload/" + root_ + destination,
                                 params, "POST"),
                 std::move(info), [this, destination, fromUploadId](CSRequest* q) {
                     std::optional<CSJsonValue> json =
                         q->parseResponseAsType(CSJsonKind::dictionary);
                     if (!json) {
                         const CSError error = *q->error();
                         release(q);
                         call(delegate_.uploadFromUploadIdFailedWithError, this, error);
                         return;
                     }
                     release(q);
                     call(delegate_.uploadedFileFromUploadId, this, destination, fromUploadId,
                          *CSMetadata::initWithDictionary(*json));
                 });
}
