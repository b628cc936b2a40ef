#pragma once
// The local service with a fresh test root, and a client context of the
// test's own whose endpoints it is (all three hosts are 127.0.0.1 at the
// service's port).

#include <memory>
#include <string>

#include "cloud_test_service.h"
#include "cs_client_context.h"
#include "cs_service_endpoints.h"
#include "test_pki.h"

namespace testsupport {

class LocalCloud {
public:
    LocalCloud();
    // With a server certificate (and chain) of the caller's making.
    LocalCloud(TestCertificate root, TestCertificate server,
               std::vector<TestCertificate> chain = {});
    ~LocalCloud();

    CloudTestService& service() { return *service_; }
    const CloudTestService& service() const { return *service_; }
    const TestCertificate& root() const { return root_; }
    bool started() const { return started_; }
    // The context the test's client works in.
    CSClientContext& client() { return client_; }
    // The endpoints trusting only the test root.
    CSServiceEndpoints endpoints() const;
    // The same service address with other anchors.
    CSServiceEndpoints endpointsTrusting(const std::vector<std::string>& anchorsDer) const;

private:
    TestCertificate root_;
    std::unique_ptr<CloudTestService> service_;
    CSClientContext client_;
    bool started_ = false;
};

} // namespace testsupport
