#pragma once
// Bodies in a folder: FOLDER/ab/cdef… by SHA-256, written under FOLDER/tmp,
// flushed to disk, then renamed into place (and the folder flushed), so a
// crash at any moment leaves either the whole body or none of it.

#include "blob_store.h"

#include <filesystem>

namespace server {

class FileBlobStore : public BlobStore {
public:
    // Makes the folders and clears what an earlier run left in tmp.
    static std::unique_ptr<FileBlobStore> open(const std::filesystem::path& folder,
                                               std::string* error);

    std::unique_ptr<BlobWriter> create(std::string* error) override;
    std::unique_ptr<BlobReader> open(const std::string& address) override;
    void forEachOlderThan(std::int64_t before,
                          const std::function<void(const std::string&)>& visit) override;
    bool remove(const std::string& address) override;

    std::filesystem::path pathOf(const std::string& address) const;

private:
    explicit FileBlobStore(std::filesystem::path folder) : folder_(std::move(folder)) {}
    std::filesystem::path folder_;
};

} // namespace server
