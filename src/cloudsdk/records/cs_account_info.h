#pragma once
// The linked user's account, as the service describes it.

#include <optional>
#include <string>

#include "cs_json_value.h"
#include "cs_quota.h"

class CSAccountInfo {
public:
    // Nothing unless dictionary is an object.
    static std::optional<CSAccountInfo> initWithDictionary(const CSJsonValue& dictionary);

    const std::optional<std::string>& email() const { return email_; }
    const std::optional<std::string>& country() const { return country_; }
    const std::optional<std::string>& displayName() const { return displayName_; }
    const std::optional<CSQuota>& quota() const { return quota_; }
    // "uid" as decimal text.
    const std::optional<std::string>& userId() const { return userId_; }
    const std::optional<std::string>& referralLink() const { return referralLink_; }
    const CSJsonValue& original() const { return original_; }

    // Key "original" only.
    CSJsonValue archive() const;
    // Also reads the older layout (country, displayName, quota, userId, referralLink, email).
    static std::optional<CSAccountInfo> restore(const CSJsonValue& archive);

private:
    std::optional<std::string> email_;
    std::optional<std::string> country_;
    std::optional<std::string> displayName_;
    std::optional<CSQuota> quota_;
    std::optional<std::string> userId_;
    std::optional<std::string> referralLink_;
    CSJsonValue original_;
};
