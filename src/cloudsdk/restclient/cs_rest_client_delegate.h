#pragma once
// What the REST client tells its delegate. Every operation is optional: an
// empty member is one the delegate does not answer, and the client then makes
// no call. The first argument is always the client.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cs_account_info.h"
#include "cs_date.h"
#include "cs_delta_entry.h"
#include "cs_error.h"
#include "cs_metadata.h"

class CSRestClient;

struct CSRestClientDelegate {
    template <typename... A> using Op = std::function<void(CSRestClient*, A...)>;
    using Path = const std::string&;
    using Failure = Op<const CSError&>;

    Op<const CSMetadata&> loadedMetadata;
    Op<Path> metadataUnchangedAtPath;
    Failure loadMetadataFailedWithError;

    // entries, reset, cursor, hasMore
    Op<const std::vector<CSDeltaEntry>&, bool, Path, bool> loadedDeltaEntries;
    Failure loadDeltaFailedWithError;

    // Download: the first of the four that is set is called.
    Op<Path> loadedFile; // local path
    Op<Path, Path, const std::optional<CSMetadata>&>
        loadedFileContentTypeMetadata;              // local path, type, metadata
    Op<Path, Path> loadedFileContentType;           // local path, type
    Op<Path, Path, Path> loadedFileContentTypeETag; // local path, type, tag
    Op<double, Path> loadProgress;                  // fraction, local path
    Failure loadFileFailedWithError;

    Op<Path, const std::optional<CSMetadata>&> loadedThumbnailMetadata; // local path, metadata
    Op<Path> loadedThumbnail;
    Failure loadThumbnailFailedWithError;

    Op<Path, Path, const CSMetadata&> uploadedFileFromMetadata; // destination, source, metadata
    Op<Path, Path> uploadedFileFrom;                            // destination, source
    Op<double, Path, Path> uploadProgress;                      // fraction, destination, source
    Failure uploadFileFailedWithError;

    // upload id, new offset, source, expiry
    Op<Path, std::int64_t, Path, const std::optional<CSDate>&> uploadedFileChunk;
    Op<double, Path, std::int64_t, Path>
        uploadFileChunkProgress; // fraction, upload id, offset, source
    Failure uploadFileChunkFailedWithError;
    Op<Path, Path, const CSMetadata&> uploadedFileFromUploadId; // destination, upload id, metadata
    Failure uploadFromUploadIdFailedWithError;

    Op<const std::vector<CSMetadata>&, Path> loadedRevisions; // revisions, path
    Failure loadRevisionsFailedWithError;
    Op<const CSMetadata&> restoredFile;
    Failure restoreFileFailedWithError;
    Op<Path, const CSMetadata&> movedPath; // from path, metadata of the result
    Failure movePathFailedWithError;
    Op<Path, const CSMetadata&> copiedPath; // from path, metadata of the copy
    Failure copyPathFailedWithError;
    Op<Path, Path> createdCopyRefForPath; // reference, path
    Op<Path> createdCopyRef;              // reference
    Failure createCopyRefFailedWithError;
    Op<Path, const CSMetadata&> copiedRef; // reference, metadata of the copy
    Failure copyFromRefFailedWithError;
    Op<Path> deletedPath;
    Failure deletePathFailedWithError;
    Op<const CSMetadata&> createdFolder;
    Failure createFolderFailedWithError;
    Op<const CSAccountInfo&> loadedAccountInfo;
    Failure loadAccountInfoFailedWithError;
    Op<const std::vector<CSMetadata>&, Path, Path> loadedSearchResults; // results, path, keyword
    Failure searchFailedWithError;
    Op<Path, Path> loadedSharableLink; // link, path
    Failure loadSharableLinkFailedWithError;
    Op<Path, Path> loadedStreamableURL; // address, path
    Failure loadStreamableURLFailedWithError;

    Op<> restClientLoadedRequestToken;
    Failure loadRequestTokenFailedWithError;
    Op<> restClientLoadedAccessToken;
    Failure loadAccessTokenFailedWithError;
};
