#pragma once
// The stored cloud credentials: one secret per service in the per-user
// secret store, holding the credentials record as JSON. The service's own
// hosts keep the name "<bundle id>.cloud.auth"; any other service (the
// command line's --service) adds its API host and port, so that an account
// linked on one service is never loaded, and so never sent, for another.

#include <optional>
#include <string>

#include "cs_json_value.h"

struct CSServiceEndpoints;

class CSKeychain {
public:
    // "%@.cloud.auth" with the bundle identifier, then "@" and the API
    // host[:port] unless that is the service's own API host.
    static std::string serviceNameFor(const CSServiceEndpoints& endpoints);

    // The record stored for `endpoints`, or nothing (a read failure other than
    // "not found" is logged).
    static std::optional<CSJsonValue> credentials(const CSServiceEndpoints& endpoints);
    static void setCredentials(const CSServiceEndpoints& endpoints, const CSJsonValue& record);
    static void deleteCredentials(const CSServiceEndpoints& endpoints);
};
