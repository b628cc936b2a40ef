#include "service_options.h"

#include "cs_client_context.h"

#include "cs_service_endpoints.h"

namespace cloud {

platform::Status applyServiceOptions(const std::string& serviceUrl, const std::string& serviceCa,
                                     CSClientContext& client) {
    if (serviceUrl.empty())
        return {};
    std::string error;
    auto endpoints = CSServiceEndpoints::forService(serviceUrl, serviceCa, &error);
    if (!endpoints)
        return platform::Error{error};
    client.endpoints = std::move(*endpoints);
    return {};
}

} // namespace cloud
