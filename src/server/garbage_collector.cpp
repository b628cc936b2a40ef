#include "garbage_collector.h"

#include <mutex>
#include <unordered_set>
#include <vector>

namespace server {

CollectionReport collectGarbage(MetadataStore& metadata, BlobStore& blobs,
                                const std::filesystem::path& uploads, std::shared_mutex& commits,
                                std::int64_t now, std::int64_t minimumAgeSeconds) {
    CollectionReport report;
    std::vector<std::string> expired;
    report.failed = !metadata.transact(
        [&](MetadataTxn& txn) {
            expired = txn.expireUploads(now);
            return true;
        },
        nullptr);
    for (const auto& id : expired) {
        std::error_code ec;
        std::filesystem::remove(uploads / id, ec);
    }
    report.uploads = expired.size();

    std::vector<std::string> candidates;
    blobs.forEachOlderThan(now - minimumAgeSeconds,
                           [&](const std::string& address) { candidates.push_back(address); });
    if (candidates.empty() || report.failed)
        return report;
    std::unique_lock lock(commits);
    std::unordered_set<std::string> referenced;
    report.failed = !metadata.transact(
        [&](MetadataTxn& txn) {
            for (auto& address : txn.referencedBlobs())
                referenced.insert(std::move(address));
            return true;
        },
        nullptr);
    if (report.failed)
        return report;
    for (const auto& address : candidates) {
        if (!referenced.count(address) && blobs.remove(address))
            ++report.bodies;
    }
    return report;
}

} // namespace server
