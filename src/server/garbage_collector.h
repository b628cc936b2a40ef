#pragma once
// Removes what nothing refers to any more: bodies of revisions pruned or
// never made visible (a refused or lost commit), and chunked uploads past
// their expiry. Bodies younger than the given age are left alone, and the
// removal runs under the exclusive side of the commit lock, while every
// request that makes a body visible holds its shared side; so a body is
// never removed between its upload and the transaction that refers to it.

#include "blob_store.h"
#include "metadata_store.h"

#include <cstdint>
#include <filesystem>
#include <shared_mutex>

namespace server {

struct CollectionReport {
    std::size_t bodies = 0;
    std::size_t uploads = 0;
    bool failed = false;
};

CollectionReport collectGarbage(MetadataStore& metadata, BlobStore& blobs,
                                const std::filesystem::path& uploads, std::shared_mutex& commits,
                                std::int64_t now, std::int64_t minimumAgeSeconds);

} // namespace server
