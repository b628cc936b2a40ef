#include "rest_client_fixture.h"

namespace testsupport {

CSRestClientDelegate RestClientTest::recordingDelegate() {
    CSRestClientDelegate d;
    auto failure = [this](const char* name) {
        return [this, name](CSRestClient*, const CSError& e) { record(name, {}, e); };
    };
    d.loadedMetadata = [this](CSRestClient*, const CSMetadata& m) {
        record("loadedMetadata", {m.path().value_or("")}, {}, m);
    };
    d.metadataUnchangedAtPath = [this](CSRestClient*, const std::string& p) {
        record("metadataUnchangedAtPath", {p});
    };
    d.loadMetadataFailedWithError = failure("loadMetadataFailedWithError");
    d.loadedDeltaEntries = [this](CSRestClient*, const std::vector<CSDeltaEntry>& e, bool reset,
                                  const std::string& cursor, bool more) {
        std::vector<std::string> args = {std::to_string(e.size()), reset ? "reset" : "", cursor,
                                         more ? "more" : ""};
        for (const auto& entry : e)
            args.push_back(entry.lowercasePath().value_or(""));
        record("loadedDeltaEntries", args);
    };
    d.loadDeltaFailedWithError = failure("loadDeltaFailedWithError");
    d.loadedFile = [this](CSRestClient*, const std::string& p) { record("loadedFile", {p}); };
    d.loadProgress = [this](CSRestClient*, double f, const std::string& p) {
        record("loadProgress", {std::to_string(f), p});
    };
    d.loadFileFailedWithError = failure("loadFileFailedWithError");
    d.loadedThumbnailMetadata = [this](CSRestClient*, const std::string& p,
                                       const std::optional<CSMetadata>& m) {
        record("loadedThumbnailMetadata", {p}, {}, m);
    };
    d.loadThumbnailFailedWithError = failure("loadThumbnailFailedWithError");
    d.uploadedFileFromMetadata = [this](CSRestClient*, const std::string& dest,
                                        const std::string& src, const CSMetadata& m) {
        record("uploadedFileFromMetadata", {dest, src}, {}, m);
    };
    d.uploadProgress = [this](CSRestClient*, double f, const std::string& dest,
                              const std::string& src) {
        record("uploadProgress", {std::to_string(f), dest, src});
    };
    d.uploadFileFailedWithError = failure("uploadFileFailedWithError");
    d.uploadedFileChunk = [this](CSRestClient*, const std::string& id, std::int64_t offset,
                                 const std::string& from, const std::optional<CSDate>& expires) {
        record("uploadedFileChunk", {id, std::to_string(offset), from, expires ? "expires" : ""});
    };
    d.uploadFileChunkFailedWithError = failure("uploadFileChunkFailedWithError");
    d.uploadedFileFromUploadId = [this](CSRestClient*, const std::string& dest,
                                        const std::string& id, const CSMetadata& m) {
        record("uploadedFileFromUploadId", {dest, id}, {}, m);
    };
    d.uploadFromUploadIdFailedWithError = failure("uploadFromUploadIdFailedWithError");
    d.loadedRevisions = [this](CSRestClient*, const std::vector<CSMetadata>& r,
                               const std::string& p) {
        record("loadedRevisions", {std::to_string(r.size()), p});
    };
    d.loadRevisionsFailedWithError = failure("loadRevisionsFailedWithError");
    d.restoredFile = [this](CSRestClient*, const CSMetadata& m) {
        record("restoredFile", {m.path().value_or("")}, {}, m);
    };
    d.restoreFileFailedWithError = failure("restoreFileFailedWithError");
    d.movedPath = [this](CSRestClient*, const std::string& from, const CSMetadata& m) {
        record("movedPath", {from, m.path().value_or("")});
    };
    d.movePathFailedWithError = failure("movePathFailedWithError");
    d.copiedPath = [this](CSRestClient*, const std::string& from, const CSMetadata& m) {
        record("copiedPath", {from, m.path().value_or("")});
    };
    d.copyPathFailedWithError = failure("copyPathFailedWithError");
    d.createdCopyRefForPath = [this](CSRestClient*, const std::string& ref, const std::string& p) {
        record("createdCopyRefForPath", {ref, p});
    };
    d.createCopyRefFailedWithError = failure("createCopyRefFailedWithError");
    d.copiedRef = [this](CSRestClient*, const std::string& ref, const CSMetadata& m) {
        record("copiedRef", {ref, m.path().value_or("")});
    };
    d.copyFromRefFailedWithError = failure("copyFromRefFailedWithError");
    d.deletedPath = [this](CSRestClient*, const std::string& p) { record("deletedPath", {p}); };
    d.deletePathFailedWithError = failure("deletePathFailedWithError");
    d.createdFolder = [this](CSRestClient*, const CSMetadata& m) {
        record("createdFolder", {m.path().value_or("")}, {}, m);
    };
    d.createFolderFailedWithError = failure("createFolderFailedWithError");
    d.loadedAccountInfo = [this](CSRestClient*, const CSAccountInfo& a) {
        record("loadedAccountInfo", {a.userId().value_or(""), a.displayName().value_or("")});
    };
    d.loadAccountInfoFailedWithError = failure("loadAccountInfoFailedWithError");
    d.loadedSearchResults = [this](CSRestClient*, const std::vector<CSMetadata>& r,
                                   const std::string& p, const std::string& k) {
        std::vector<std::string> args = {p, k};
        for (const auto& m : r)
            args.push_back(m.path().value_or(""));
        record("loadedSearchResults", args);
    };
    d.searchFailedWithError = failure("searchFailedWithError");
    d.loadedSharableLink = [this](CSRestClient*, const std::string& link, const std::string& p) {
        record("loadedSharableLink", {link, p});
    };
    d.loadSharableLinkFailedWithError = failure("loadSharableLinkFailedWithError");
    d.loadedStreamableURL = [this](CSRestClient*, const std::string& url, const std::string& p) {
        record("loadedStreamableURL", {url, p});
    };
    d.loadStreamableURLFailedWithError = failure("loadStreamableURLFailedWithError");
    d.restClientLoadedRequestToken = [this](CSRestClient*) {
        record("restClientLoadedRequestToken");
    };
    d.loadRequestTokenFailedWithError = failure("loadRequestTokenFailedWithError");
    d.restClientLoadedAccessToken = [this](CSRestClient*) {
        record("restClientLoadedAccessToken");
    };
    d.loadAccessTokenFailedWithError = failure("loadAccessTokenFailedWithError");
    return d;
}

} // namespace testsupport
