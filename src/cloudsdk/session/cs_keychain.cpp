#include "cs_keychain.h"

#include "bundle_info.h"
#include "cs_json.h"
#include "cs_log.h"
#include "cs_service.h"
#include "cs_service_endpoints.h"
#include "secret_store.h"

namespace {

// The keychain's "item not found" status, reported the same way here.
constexpr int kItemNotFound = -25300;

int statusCode(const platform::SecretStatus& s) {
    if (s.kind == platform::SecretStatus::notFound)
        return kItemNotFound;
    return s.errnum != 0 ? s.errnum : -1;
}

} // namespace

std::string CSKeychain::serviceNameFor(const CSServiceEndpoints& endpoints) {
    std::string name = std::string(platform::bundle::kIdentifier) + ".cloud.auth";
    if (endpoints.apiAuthority() != kCSCloudAPIHost)
        name += "@" + endpoints.apiAuthority();
    return name;
}

std::optional<CSJsonValue> CSKeychain::credentials(const CSServiceEndpoints& endpoints) {
    std::string data;
    const platform::SecretStatus status =
        platform::SecretStore().read(serviceNameFor(endpoints), &data);
    if (status.kind == platform::SecretStatus::notFound)
        return std::nullopt;
    if (!status.isOk()) {
        CSLogWarning("CloudSDK: error reading stored credentials (%i)", statusCode(status));
        return std::nullopt;
    }
    auto record = JSONValue(std::string_view(data));
    if (!record || !record->isObject())
        return std::nullopt;
    return record;
}

void CSKeychain::setCredentials(const CSServiceEndpoints& endpoints, const CSJsonValue& record) {
    auto text = JSONRepresentation(record);
    if (!text) {
        CSLogWarning("CloudSDK: error saving credentials (%i)", -1);
        return;
    }
    // The store replaces the file atomically, so add and update are one operation.
    const platform::SecretStatus status =
        platform::SecretStore().write(serviceNameFor(endpoints), *text);
    if (!status.isOk())
        CSLogWarning("CloudSDK: error saving credentials (%i)", statusCode(status));
}

void CSKeychain::deleteCredentials(const CSServiceEndpoints& endpoints) {
    const platform::SecretStatus status = platform::SecretStore().remove(serviceNameFor(endpoints));
    if (!status.isOk())
        CSLogWarning("CloudSDK: error deleting credentials (%i)", statusCode(status));
}
