#include "service_options.h"

#include "cs_service_endpoints.h"

namespace cloud {

bool applyServiceOptions(const std::string& serviceUrl, const std::string& serviceCa,
                         std::string& error) {
    if (serviceUrl.empty())
        return true;
    auto endpoints = CSServiceEndpoints::forService(serviceUrl, serviceCa, &error);
    if (!endpoints)
        return false;
    CSServiceEndpoints::setCurrent(std::move(*endpoints));
    return true;
}

} // namespace cloud
