#pragma once
// One entry of a change list: [lower-cased path, metadata or null].

#include <optional>
#include <string>

#include "cs_json_value.h"
#include "cs_metadata.h"

class CSDeltaEntry {
public:
    // Nothing unless array is a two-element array.
    static std::optional<CSDeltaEntry> initWithArray(const CSJsonValue& array);

    const std::optional<std::string>& lowercasePath() const { return lowercasePath_; }
    // Absent when the entry reports a deletion.
    const std::optional<CSMetadata>& metadata() const { return metadata_; }

    // Same path, and metadata equal or absent on both; nullptr is never equal.
    bool isEqualToDeltaEntry(const CSDeltaEntry* other) const;
    bool operator==(const CSDeltaEntry& other) const { return isEqualToDeltaEntry(&other); }

    // Keys "lowercasePath", "metadata".
    CSJsonValue archive() const;
    static std::optional<CSDeltaEntry> restore(const CSJsonValue& archive);

private:
    std::optional<std::string> lowercasePath_;
    std::optional<CSMetadata> metadata_;
};
