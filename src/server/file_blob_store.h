#pragma once
// Bodies in a folder: FOLDER/ab/cdef… by SHA-256, written under FOLDER/tmp,
// flushed to disk, then renamed into place (and the folder flushed), so a
// crash at any moment leaves either the whole body or none of it. Each
// process writes in its own FOLDER/tmp/RUN, locked while it lives, so that
// several processes may share the folder and each clears only what dead
// ones left.

#include "blob_store.h"

#include <filesystem>

namespace server {

class FileBlobStore : public BlobStore {
public:
    // Makes the folders and clears what processes no longer running left in tmp.
    static std::unique_ptr<FileBlobStore> open(const std::filesystem::path& folder,
                                               std::string* error);

    std::unique_ptr<BlobWriter> create(std::string* error) override;
    std::unique_ptr<BlobReader> open(const std::string& address) override;
    void forEachOlderThan(std::int64_t before,
                          const std::function<void(const std::string&)>& visit) override;
    bool remove(const std::string& address) override;

    std::filesystem::path pathOf(const std::string& address) const;

private:
    FileBlobStore(std::filesystem::path folder, std::filesystem::path scratch, int lock)
        : folder_(std::move(folder)), scratch_(std::move(scratch)), lock_(lock) {}

public:
    ~FileBlobStore() override;
    FileBlobStore(const FileBlobStore&) = delete;
    FileBlobStore& operator=(const FileBlobStore&) = delete;

private:
    std::filesystem::path folder_;
    std::filesystem::path scratch_; // this process's own folder under tmp
    int lock_;                      // held on scratch_/.lock while the store lives
};

} // namespace server
