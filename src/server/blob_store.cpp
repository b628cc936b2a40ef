#include "blob_store.h"

#include "file_blob_store.h"
#include "s3_blob_store.h"

namespace server {

bool isBlobAddress(const std::string& text) {
    if (text.size() != 64)
        return false;
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

std::unique_ptr<BlobStore> openBlobStore(const std::string& url, const BlobStoreSettings& settings,
                                         std::string* error) {
    if (url.rfind("file:", 0) == 0)
        return FileBlobStore::open(url.substr(5), error);
    if (url.rfind("s3://", 0) == 0)
        return S3BlobStore::open(url, settings, error);
    if (error)
        *error = "unsupported blob store \"" + url + "\" (file:FOLDER or s3://BUCKET?endpoint=...)";
    return nullptr;
}

} // namespace server
