#pragma once
// The stored cloud credentials: one secret named "<bundle id>.cloud.auth" in
// the per-user secret store, holding the credentials record as JSON.

#include <optional>
#include <string>

#include "cs_json_value.h"

class CSKeychain {
public:
    // "%@.cloud.auth" with the bundle identifier.
    static const std::string& serviceName();

    // The stored record, or nothing (a read failure other than "not found" is logged).
    static std::optional<CSJsonValue> credentials();
    static void setCredentials(const CSJsonValue& record);
    static void deleteCredentials();
};
