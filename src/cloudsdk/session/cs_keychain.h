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
    // The name for the endpoints that requests go to now.
    static std::string serviceName();
    // "%@.cloud.auth" with the bundle identifier, then "@" and the API
    // host[:port] unless that is the service's own API host.
    static std::string serviceNameFor(const CSServiceEndpoints& endpoints);

    // The stored record, or nothing (a read failure other than "not found" is logged).
    static std::optional<CSJsonValue> credentials();
    static void setCredentials(const CSJsonValue& record);
    static void deleteCredentials();
};
