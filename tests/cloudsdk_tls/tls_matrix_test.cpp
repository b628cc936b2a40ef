// Real handshakes on loopback: only the endpoints' anchors are trusted, the
// host name is checked, and a revoked server certificate is refused before
// any request byte reaches the server.
#include "log_capture.h"
#include <gtest/gtest.h>

#include <memory>

#include "cs_log.h"
#include "cs_request.h"
#include "cs_trust.h"
#include "local_cloud.h"
#include "private_home.h"
#include "qt_wait.h"

using namespace testsupport;

namespace {

struct Outcome {
    std::optional<CSError> error;
    int status = 0;
};

Outcome fetch(LocalCloud& cloud, bool closeIdle = true) {
    bool done = false;
    Outcome out;
    CSSignedRequest req{"GET", cloud.service().baseUrl() + "/1/account/info", {}, {}};
    auto request = std::make_unique<CSRequest>(
        req,
        [&](CSRequest* r) {
            out.error = r->error();
            out.status = r->statusCode();
            done = true;
        },
        cloud.client().endpoints);
    EXPECT_TRUE(waitUntil([&] { return done; }));
    if (closeIdle)
        CSCloseIdleConnections();
    return out;
}

bool refusedHandshake(const Outcome& o) {
    return o.status == 0 && o.error &&
           o.error->is(CSNetworkErrorDomain, CSNetworkErrorSslHandshakeFailed);
}

class TlsTest : public ::testing::Test {
protected:
    PrivateHome env;
    TestCertificate root = makeRootCA("Matrix Root");
};

enum Trust { kTestRoot, kOtherRoot, kPinnedOnly };

// Each certificate the server shows and the anchors the client holds, and
// the log line of a refusal ("" for any, null when the handshake is accepted).
TEST_F(TlsTest, TrustMatrix) {
    auto named = [](const char* name) {
        CertificateOptions o;
        o.dnsNames = {name};
        if (name == std::string("localhost"))
            o.ipAddresses = {"127.0.0.1"};
        return o;
    };
    CertificateOptions ca;
    ca.isCA = true;
    const TestCertificate intermediate = issueCertificate(&root, ca);
    CertificateOptions expired = named("localhost");
    expired.validFromSeconds = -7200;
    expired.validToSeconds = -3600;
    const std::vector<std::uint8_t> revoked = {0x27, 0xAB, 0x71, 0xBA, 0x41, 0x86, 0x5C};
    const TestCertificate byRoot = issueServerCertificate(root);
    const char* cannotValidate = "Cannot validate a certificate for the host: 127.0.0.1";
    struct Case {
        const char* name;
        TestCertificate server;
        std::vector<TestCertificate> chain;
        Trust trust;
        const char* logged;
    };
    // clang-format off
    const Case cases[] = {
        {"chain to the anchor", byRoot, {}, kTestRoot, nullptr},
        {"through an intermediate", issueServerCertificate(intermediate), {intermediate}, kTestRoot, nullptr},
        {"a root the anchors leave out", byRoot, {}, kOtherRoot, cannotValidate},
        {"the pinned roots alone", byRoot, {}, kPinnedOnly, ""},
        {"wrong host name", issueCertificate(&root, named("wrong.example")), {}, kTestRoot, cannotValidate},
        {"expired", issueCertificate(&root, expired), {}, kTestRoot, ""},
        {"self-signed", issueCertificate(nullptr, named("localhost")), {}, kTestRoot, ""},
        {"revoked serial", issueServerCertificate(root, revoked), {}, kTestRoot,
         "[ERROR] CloudSDK: SSL Error. Revoked certificate for the host: 127.0.0.1"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LocalCloud cloud(root, c.server, c.chain);
        ASSERT_TRUE(cloud.started());
        if (c.trust == kOtherRoot)
            cloud.client().endpoints = cloud.endpointsTrusting({makeRootCA("Other").der()});
        cloud.client().endpoints.usePinnedRoots = c.trust == kPinnedOnly;
        LogCapture log;
        const Outcome outcome = fetch(cloud);
        if (!c.logged) {
            // An unsigned request: the trust decision comes first, so a 401 means accepted.
            EXPECT_EQ(outcome.status, 401);
            continue;
        }
        EXPECT_TRUE(refusedHandshake(outcome));
        EXPECT_TRUE(log.contains(c.logged));
        runEventsFor(50);
        EXPECT_TRUE(cloud.service().requests().empty()) << "no request reached the service";
    }
}

TEST_F(TlsTest, ChangingTheAnchorsNeverReusesATrustedConnection) {
    LocalCloud cloud(root, issueServerCertificate(root));
    ASSERT_TRUE(cloud.started());
    EXPECT_EQ(fetch(cloud, false).status, 401); // its connection stays open
    cloud.client().endpoints = cloud.endpointsTrusting({makeRootCA("Unrelated").der()});
    EXPECT_TRUE(refusedHandshake(fetch(cloud)));
}

} // namespace
