#pragma once
// A file or folder of the cloud account, with a folder's listing nested in
// contents(). Immutable once built; copies share the listing.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cs_date.h"
#include "cs_json_value.h"

class CSMetadata {
public:
    // Nothing unless dictionary is an object. A missing field, or one of the
    // wrong kind, reads as absent, 0 or false.
    static std::optional<CSMetadata> initWithDictionary(const CSJsonValue& dictionary);

    bool thumbnailExists() const { return thumbnailExists_; }
    int64_t totalBytes() const { return totalBytes_; }
    const std::optional<CSDate>& lastModifiedDate() const { return lastModifiedDate_; }
    const std::optional<CSDate>& clientMtime() const { return clientMtime_; }
    const std::optional<std::string>& path() const { return path_; }
    bool isDirectory() const { return isDirectory_; }
    // Absent for a file; empty for an empty folder.
    const std::vector<CSMetadata>* contents() const { return contents_.get(); }
    const std::optional<std::string>& hash() const { return hash_; }
    const std::optional<std::string>& humanReadableSize() const { return humanReadableSize_; }
    const std::optional<std::string>& root() const { return root_; }
    const std::optional<std::string>& icon() const { return icon_; }
    const std::optional<std::string>& rev() const { return rev_; }
    int64_t revision() const { return revision_; }
    bool isDeleted() const { return isDeleted_; }
    // Last component of path ("" without a path).
    std::string filename() const;

    // Equal when both carry the same rev; records without a rev equal only themselves.
    bool operator==(const CSMetadata& other) const;

    // Keys as the field names; filename is not archived. Dates are seconds since 1970.
    CSJsonValue archive() const;
    static std::optional<CSMetadata> restore(const CSJsonValue& archive);

private:
    bool thumbnailExists_ = false;
    int64_t totalBytes_ = 0;
    std::optional<CSDate> lastModifiedDate_;
    std::optional<CSDate> clientMtime_;
    std::optional<std::string> path_;
    bool isDirectory_ = false;
    std::shared_ptr<const std::vector<CSMetadata>> contents_;
    std::optional<std::string> hash_;
    std::optional<std::string> humanReadableSize_;
    std::optional<std::string> root_;
    std::optional<std::string> icon_;
    std::optional<std::string> rev_;
    int64_t revision_ = 0;
    bool isDeleted_ = false;
};
