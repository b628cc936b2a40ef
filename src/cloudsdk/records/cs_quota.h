#pragma once
// The account's storage use, in bytes.

#include <cstdint>
#include <optional>

#include "cs_json_value.h"

class CSQuota {
public:
    // Nothing unless dictionary is an object; missing or mistyped counts read as 0.
    static std::optional<CSQuota> initWithDictionary(const CSJsonValue& dictionary);

    int64_t normalConsumedBytes() const { return normalConsumedBytes_; }
    int64_t sharedConsumedBytes() const { return sharedConsumedBytes_; }
    int64_t totalBytes() const { return totalBytes_; }
    // Saturates instead of wrapping.
    int64_t totalConsumedBytes() const;

    // Keys "normalConsumedBytes", "sharedConsumedBytes", "totalBytes".
    CSJsonValue archive() const;
    static std::optional<CSQuota> restore(const CSJsonValue& archive);

    bool operator==(const CSQuota&) const = default;

private:
    int64_t normalConsumedBytes_ = 0;
    int64_t sharedConsumedBytes_ = 0;
    int64_t totalBytes_ = 0;
};
