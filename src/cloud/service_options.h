#pragma once

#include "result.h"

#include <string>

struct CSClientContext;

// --service URL --service-ca FILE, the same for every front end.
namespace cloud {

// One host for the three roles and only FILE's certificates as anchors, for
// this run, in the client context; nothing is stored. An empty URL leaves
// the service's own hosts.
// An error with the reason when they cannot be used.
platform::Status applyServiceOptions(const std::string& serviceUrl, const std::string& serviceCa,
                                     CSClientContext& client);

} // namespace cloud
