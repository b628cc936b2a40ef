#include "local_cloud.h"

namespace testsupport {

LocalCloud::LocalCloud() : LocalCloud(makeRootCA("Mobrix Test Root"), TestCertificate{}) {}

LocalCloud::LocalCloud(TestCertificate root, TestCertificate server,
                       std::vector<TestCertificate> chain)
    : root_(std::move(root)) {
    CloudTestService::Options options;
    options.serverCertificate = server.cert ? std::move(server) : issueServerCertificate(root_);
    options.chain = std::move(chain);
    service_ = std::make_unique<CloudTestService>(std::move(options));
    started_ = service_->start();
    client_.endpoints = endpoints();
}

LocalCloud::~LocalCloud() {
    service_->stop();
}

CSServiceEndpoints LocalCloud::endpoints() const {
    return endpointsTrusting({root_.der()});
}

CSServiceEndpoints LocalCloud::endpointsTrusting(const std::vector<std::string>& anchorsDer) const {
    CSServiceEndpoints e;
    e.apiHost = e.contentHost = e.webHost = "127.0.0.1";
    e.port = service_->port();
    e.trustAnchors = anchorsDer;
    e.usePinnedRoots = false;
    return e;
}

} // namespace testsupport
