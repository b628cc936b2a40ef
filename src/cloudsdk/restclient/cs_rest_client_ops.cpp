// Metadata, delta, file operations, account, search, links.
#include <thread>

#include "cs_json.h"
#include "cs_log.h"
#include "cs_rest_client.h"
#include "cs_service_endpoints.h"

namespace {

std::string infoText(const CSRequest* r, const char* key) {
    const CSJsonValue* v = r->userInfo().find(key);
    return v && v->isString() ? v->asString() : std::string();
}

std::string jsonText(const CSJsonValue& object, const char* key) {
    const CSJsonValue* v = object.find(key);
    return v && v->isString() ? v->asString() : std::string();
}

template <typename F, typename... A> void call(const F& f, A&&... args) {
    if (f)
        f(std::forward<A>(args)...);
}

// Every element a record, or nothing.
std::optional<std::vector<CSMetadata>> metadataList(const CSJsonValue& list) {
    std::vector<CSMetadata> out;
    for (const CSJsonValue& e : list.elements()) {
        auto m = e.isObject() ? CSMetadata::initWithDictionary(e) : std::nullopt;
        if (!m)
            return std::nullopt;
        out.push_back(std::move(*m));
    }
    return out;
}

} // namespace

// ---- Metadata and delta: parsed on a short-lived thread ----

void CSRestClient::loadMetadata(const std::string& path) {
    loadMetadataWithParams(path, {});
}

void CSRestClient::loadMetadataWithHash(const std::string& path, const std::string& hash) {
    loadMetadataWithParams(path, {{"hash", hash}});
}

void CSRestClient::loadMetadataAtRev(const std::string& path, const std::string& rev) {
    loadMetadataWithParams(path, {{"rev", rev}});
}

void CSRestClient::loadMetadataWithParams(const std::string& path, const Params& params) {
    CSJsonValue info = CSJsonValue::object({{"path", path}});
    for (const auto& [k, v] : params) {
        if (k == "hash" || k == "rev")
            info.set(k, v);
    }
    startRequest(requestWithHost(apiHost(), "/metadata/" + root_ + path, params), std::move(info),
                 [this](CSRequest* r) { metadataFinished(r); });
}

void CSRestClient::metadataFinished(CSRequest* request) {
    const CSJsonValue info = request->userInfo();
    if (request->error() && request->error()->is(CSErrorDomain, 304)) {
        const std::string path = infoText(request, "path");
        release(request);
        call(delegate_.metadataUnchangedAtPath, this, path);
        return;
    }
    if (request->error()) {
        const CSError error = *request->error();
        checkForAuthenticationFailure(request);
        release(request);
        call(delegate_.loadMetadataFailedWithError, this, error);
        return;
    }
    std::optional<std::string> body = request->resultString();
    release(request);
    // Listings can be large: read them off the owner's thread.
    std::thread([this, mailbox = mailbox_, body = std::move(body), info]() {
        std::optional<CSMetadata> metadata;
        if (body) {
            if (auto json = JSONValue(std::string_view(*body)); json && json->isObject()) {
                metadata = CSMetadata::initWithDictionary(*json);
            }
        }
        std::lock_guard lock(mailbox->mutex);
        if (!mailbox->receiver)
            return;
        QMetaObject::invokeMethod(
            mailbox->receiver,
            [this, metadata = std::move(metadata), info]() {
                if (metadata) {
                    call(delegate_.loadedMetadata, this, *metadata);
                    return;
                }
                CSLogWarning("CloudSDK: error parsing metadata");
                call(delegate_.loadMetadataFailedWithError, this,
                     CSError(CSErrorDomain, CSErrorInvalidResponse, info));
            },
            Qt::QueuedConnection);
    }).detach();
}

void CSRestClient::loadDelta(const std::optional<std::string>& cursor) {
    Params params;
    CSJsonValue info = CSJsonValue::object();
    if (cursor) {
        params.emplace_back("cursor", *cursor);
        info.set("cursor", *cursor);
    }
    startRequest(requestWithHost(apiHost(), "/delta", params, "POST"), std::move(info),
                 [this](CSRequest* r) { deltaFinished(r); });
}

void CSRestClient::deltaFinished(CSRequest* request) {
    if (request->error()) {
        const CSError error = *request->error();
        checkForAuthenticationFailure(request);
        release(request);
        call(delegate_.loadDeltaFailedWithError, this, error);
        return;
    }
    const CSJsonValue info = request->userInfo();
    std::optional<std::string> body = request->resultString();
    release(request);
    struct Delta {
        std::vector<CSDeltaEntry> entries;
        bool reset = false;
        std::string cursor;
        bool hasMore = false;
    };
    std::thread([this, mailbox = mailbox_, body = std::move(body), info]() {
        std::optional<Delta> delta;
        if (body) {
            auto json = JSONValue(std::string_view(*body));
            const CSJsonValue* entries = json && json->isObject() ? json->find("entries") : nullptr;
            if (entries && entries->isArray()) {
                Delta d;
                bool wellFormed = true;
                for (const CSJsonValue& e : entries->elements()) {
                    auto entry = CSDeltaEntry::initWithArray(e);
                    if (!entry) {
                        wellFormed = false;
                        break;
                    }
                    d.entries.push_back(std::move(*entry));
                }
                if (const CSJsonValue* v = json->find("reset"))
                    d.reset = v->asBool();
                if (const CSJsonValue* v = json->find("has_more"))
                    d.hasMore = v->asBool();
                d.cursor = jsonText(*json, "cursor");
                if (wellFormed)
                    delta = std::move(d);
            }
        }
        std::lock_guard lock(mailbox->mutex);
        if (!mailbox->receiver)
            return;
        QMetaObject::invokeMethod(
            mailbox->receiver,
            [this, delta = std::move(delta), info]() {
                if (delta) {
                    call(delegate_.loadedDeltaEntries, this, delta->entries, delta->reset,
                         delta->cursor, delta->hasMore);
                    return;
                }
                CSLogWarning("CloudSDK: error parsing metadata");
                call(delegate_.loadDeltaFailedWithError, this,
                     CSError(CSErrorDomain, CSErrorInvalidResponse, info));
            },
            Qt::QueuedConnection);
    }).detach();
}

// ---- Operations answered with one JSON value ----

namespace {

// Runs `success` with the answer of the expected kind, or the failure
// operation with the request's error (1004 for a wrong shape).
template <typename Success>
void finishJson(CSRestClient* client, CSRequest* request, CSJsonKind kind, bool checkAuth,
                const CSRestClientDelegate::Failure& failure,
                const std::function<void(CSRequest*)>& release,
                const std::function<void(const CSRequest*)>& authCheck, Success success) {
    std::optional<CSJsonValue> json = request->parseResponseAsType(kind);
    if (!json) {
        const CSError error = *request->error();
        if (checkAuth)
            authCheck(request);
        release(request);
        if (failure)
            failure(client, error);
        return;
    }
    const CSJsonValue info = request->userInfo();
    release(request);
    success(*json, info);
}

} // namespace

void CSRestClient::wrongShape(const CSRestClientDelegate::Failure& failure,
                              const CSJsonValue& info) {
    CSError error(CSErrorDomain, CSErrorInvalidResponse, info);
    CSLogWarning("CloudSDK: error making request - (%ld) %s", error.code,
                 error.description().c_str());
    call(failure, this, error);
}

#define CS_FINISH(kind, failure, body)                                                             \
    [this](CSRequest* r) {                                                                         \
        finishJson(                                                                                \
            this, r, kind, true, delegate_.failure, [this](CSRequest* q) { release(q); },          \
            [this](const CSRequest* q) { checkForAuthenticationFailure(q); },                      \
            [this](const CSJsonValue& json, const CSJsonValue& info) body);                        \
    }

void CSRestClient::createFolder(const std::string& path) {
    const Params params = {{"root", root_}, {"path", path}};
    startRequest(requestWithHost(apiHost(), "/fileops/create_folder", params, "POST"),
                 CSJsonValue::object({{"root", root_}, {"path", path}}),
                 CS_FINISH(CSJsonKind::dictionary, createFolderFailedWithError, {
                     (void)info;
                     call(delegate_.createdFolder, this, *CSMetadata::initWithDictionary(json));
                 }));
}

void CSRestClient::deletePath(const std::string& path) {
    const Params params = {{"root", root_}, {"path", path}};
    startRequest(requestWithHost(apiHost(), "/fileops/delete", params, "POST"),
                 CSJsonValue::object({{"root", root_}, {"path", path}}), [this](CSRequest* r) {
                     if (r->error()) {
                         const CSError error = *r->error();
                         checkForAuthenticationFailure(r);
                         release(r);
                         call(delegate_.deletePathFailedWithError, this, error);
                         return;
                     }
                     const std::string path = infoText(r, "path");
                     release(r);
                     call(delegate_.deletedPath, this, path);
                 });
}

void CSRestClient::loadRevisionsForFile(const std::string& path, int limit) {
    const Params params = {{"rev_limit", std::to_string(limit)}};
    startRequest(requestWithHost(apiHost(), "/revisions/" + root_ + path, params),
                 CSJsonValue::object({{"path", path}, {"limit", limit}}),
                 CS_FINISH(CSJsonKind::list, loadRevisionsFailedWithError, {
                     auto revisions = metadataList(json);
                     if (!revisions)
                         return wrongShape(delegate_.loadRevisionsFailedWithError, info);
                     call(delegate_.loadedRevisions, this, *revisions, jsonText(info, "path"));
                 }));
}

void CSRestClient::restoreFile(const std::string& path, const std::string& toRev) {
    startRequest(requestWithHost(apiHost(), "/restore/" + root_ + path, {{"rev", toRev}}),
                 CSJsonValue::object({{"path", path}, {"rev", toRev}}),
                 CS_FINISH(CSJsonKind::dictionary, restoreFileFailedWithError, {
                     (void)info;
                     call(delegate_.restoredFile, this, *CSMetadata::initWithDictionary(json));
                 }));
}

void CSRestClient::moveFrom(const std::string& fromPath, const std::string& toPath) {
    const Params params = {{"root", root_}, {"from_path", fromPath}, {"to_path", toPath}};
    startRequest(
        requestWithHost(apiHost(), "/fileops/move", params, "POST"),
        CSJsonValue::object({{"root", root_}, {"from_path", fromPath}, {"to_path", toPath}}),
        CS_FINISH(CSJsonKind::dictionary, movePathFailedWithError, {
            call(delegate_.movedPath, this, jsonText(info, "from_path"),
                 *CSMetadata::initWithDictionary(json));
        }));
}

void CSRestClient::copyFrom(const std::string& fromPath, const std::string& toPath) {
    const Params params = {{"root", root_}, {"from_path", fromPath}, {"to_path", toPath}};
    startRequest(
        requestWithHost(apiHost(), "/fileops/copy", params, "POST"),
        CSJsonValue::object({{"root", root_}, {"from_path", fromPath}, {"to_path", toPath}}),
        CS_FINISH(CSJsonKind::dictionary, copyPathFailedWithError, {
            call(delegate_.copiedPath, this, jsonText(info, "from_path"),
                 *CSMetadata::initWithDictionary(json));
        }));
}

void CSRestClient::createCopyRef(const std::string& path) {
    startRequest(requestWithHost(apiHost(), "/copy_ref/" + root_ + path, {}, "POST"),
                 CSJsonValue::object({{"path", path}}),
                 CS_FINISH(CSJsonKind::dictionary, createCopyRefFailedWithError, {
                     const std::string ref = jsonText(json, "copy_ref");
                     if (delegate_.createdCopyRefForPath) {
                         delegate_.createdCopyRefForPath(this, ref, jsonText(info, "path"));
                     } else {
                         call(delegate_.createdCopyRef, this, ref);
                     }
                 }));
}

void CSRestClient::copyFromRef(const std::string& copyRef, const std::string& toPath) {
    const Params params = {{"from_copy_ref", copyRef}, {"root", root_}, {"to_path", toPath}};
    startRequest(
        requestWithHost(apiHost(), "/fileops/copy/", params, "POST"),
        CSJsonValue::object({{"from_copy_ref", copyRef}, {"root", root_}, {"to_path", toPath}}),
        CS_FINISH(CSJsonKind::dictionary, copyFromRefFailedWithError, {
            call(delegate_.copiedRef, this, jsonText(info, "from_copy_ref"),
                 *CSMetadata::initWithDictionary(json));
        }));
}

void CSRestClient::loadAccountInfo() {
    startRequest(
        requestWithHost(apiHost(), "/account/info", {}), CSJsonValue::object({{"root", root_}}),
        CS_FINISH(CSJsonKind::dictionary, loadAccountInfoFailedWithError, {
            (void)info;
            call(delegate_.loadedAccountInfo, this, *CSAccountInfo::initWithDictionary(json));
        }));
}

void CSRestClient::searchPath(const std::string& path, const std::string& forKeyword) {
    startRequest(requestWithHost(apiHost(), "/search/" + root_ + path, {{"query", forKeyword}}),
                 CSJsonValue::object({{"path", path}, {"keyword", forKeyword}}),
                 CS_FINISH(CSJsonKind::list, searchFailedWithError, {
                     auto results = metadataList(json);
                     if (!results)
                         return wrongShape(delegate_.searchFailedWithError, info);
                     call(delegate_.loadedSearchResults, this, *results, jsonText(info, "path"),
                          jsonText(info, "keyword"));
                 }));
}

void CSRestClient::loadSharableLinkForFile(const std::string& path, bool shortUrl) {
    startRequest(requestWithHost(apiHost(), "/shares/" + root_ + path,
                                 {{"short_url", shortUrl ? "true" : "false"}}),
                 CSJsonValue::object({{"path", path}}),
                 CS_FINISH(CSJsonKind::dictionary, loadSharableLinkFailedWithError, {
                     call(delegate_.loadedSharableLink, this, jsonText(json, "url"),
                          jsonText(info, "path"));
                 }));
}

void CSRestClient::loadStreamableURLForFile(const std::string& path) {
    startRequest(requestWithHost(apiHost(), "/media/" + root_ + path, {}),
                 CSJsonValue::object({{"path", path}}),
                 CS_FINISH(CSJsonKind::dictionary, loadStreamableURLFailedWithError, {
                     call(delegate_.loadedStreamableURL, this, jsonText(json, "url"),
                          jsonText(info, "path"));
                 }));
}
