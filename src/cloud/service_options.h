#pragma once

#include <string>

// --service URL --service-ca FILE, the same for every front end.
namespace cloud {

// One host for the three roles and only FILE's certificates as anchors, for
// this run; nothing is stored. An empty URL leaves the service's own hosts.
// False, with the reason, when they cannot be used.
bool applyServiceOptions(const std::string& serviceUrl, const std::string& serviceCa,
                         std::string& error);

} // namespace cloud
