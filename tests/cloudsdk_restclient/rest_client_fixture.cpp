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
    d.loadRevisionsFailedWithError = failure("loadRevisionsFailedWithError");
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
    d.searchFailedWithError = failure("searchFailedWithError");
    return d;
}

} // namespace testsupport
