// Real handshakes on loopback: only the endpoints' anchors are trusted, the
// host name is checked, and a revoked server certificate is refused before
// any request byte reaches the server.
#include "log_capture.h"
#include <gtest/gtest.h>

#include <curl/curl.h>

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

// An unsigned request: the trust decision comes before the service looks
// at the signature, so a 401 means the handshake was accepted.
Outcome fetch(LocalCloud& cloud) {
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
    CSCloseIdleConnections();
    return out;
}

// An ordinary curl client that trusts `anchor` besides its defaults.
long plainStatusTrusting(LocalCloud& cloud, const TestCertificate& anchor) {
    CURL* easy = curl_easy_init();
    const std::string url = cloud.service().baseUrl() + "/1/account/info";
    std::string pem = anchor.pem();
    curl_blob blob{pem.data(), pem.size(), CURL_BLOB_COPY};
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &blob);
    curl_easy_setopt(
        easy, CURLOPT_WRITEFUNCTION,
        +[](char*, std::size_t size, std::size_t count, void*) { return size * count; });
    curl_easy_setopt(easy, CURLOPT_TIMEOUT, 10L);
    long status = 0;
    if (curl_easy_perform(easy) == CURLE_OK)
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(easy);
    return status;
}

bool acceptedHandshake(const Outcome& o) {
    return o.status == 401;
}

bool refusedHandshake(const Outcome& o) {
    return o.status == 0 && o.error && o.error->domain == CSNetworkErrorDomain &&
           o.error->code == CSNetworkErrorSslHandshakeFailed;
}

class TlsTest : public ::testing::Test {
protected:
    PrivateHome env;
    std::filesystem::path storage = env.makeFolder("account");
    TestCertificate root = makeRootCA("Matrix Root");
};

TEST_F(TlsTest, ChainToTheAnchorIsAccepted) {
    LocalCloud cloud(storage, root, issueServerCertificate(root));
    ASSERT_TRUE(cloud.started());
    EXPECT_TRUE(acceptedHandshake(fetch(cloud)));
}

TEST_F(TlsTest, ChainThroughAnIntermediateSentByTheServerIsAccepted) {
    CertificateOptions ca;
    ca.commonName = "Matrix Intermediate";
    ca.isCA = true;
    TestCertificate intermediate = issueCertificate(&root, ca);
    LocalCloud cloud(storage, root, issueServerCertificate(intermediate), {intermediate});
    ASSERT_TRUE(cloud.started());
    EXPECT_TRUE(acceptedHandshake(fetch(cloud)));
}

TEST_F(TlsTest, RootTheSystemWouldTrustButNotPinnedIsRefused) {
    LocalCloud cloud(storage, root, issueServerCertificate(root));
    ASSERT_TRUE(cloud.started());
    // A client told to trust this root accepts the server...
    EXPECT_EQ(plainStatusTrusting(cloud, root), 401);
    // ...the client, whose anchors are another root only, does not.
    TestCertificate other = makeRootCA("Other Root");
    cloud.client().endpoints = cloud.endpointsTrusting({other.der()});
    LogCapture log;
    EXPECT_TRUE(refusedHandshake(fetch(cloud)));
    EXPECT_TRUE(log.contains(
        "[ERROR] CloudSDK: SSL Error. Cannot validate a certificate for the host: 127.0.0.1"));
}

TEST_F(TlsTest, PinnedRootsAloneRefuseTheTestServer) {
    LocalCloud cloud(storage, root, issueServerCertificate(root));
    ASSERT_TRUE(cloud.started());
    CSServiceEndpoints pinned = cloud.endpoints();
    pinned.usePinnedRoots = true;
    cloud.client().endpoints = pinned;
    EXPECT_TRUE(refusedHandshake(fetch(cloud)));
}

TEST_F(TlsTest, WrongHostNameIsRefused) {
    CertificateOptions o;
    o.commonName = "wrong.example";
    o.dnsNames = {"wrong.example"};
    LocalCloud cloud(storage, root, issueCertificate(&root, o));
    ASSERT_TRUE(cloud.started());
    LogCapture log;
    EXPECT_TRUE(refusedHandshake(fetch(cloud)));
    EXPECT_TRUE(log.contains("Cannot validate a certificate for the host: 127.0.0.1"));
}

TEST_F(TlsTest, ExpiredServerCertificateIsRefused) {
    CertificateOptions o;
    o.dnsNames = {"localhost"};
    o.ipAddresses = {"127.0.0.1"};
    o.validFromSeconds = -7200;
    o.validToSeconds = -3600;
    LocalCloud cloud(storage, root, issueCertificate(&root, o));
    ASSERT_TRUE(cloud.started());
    EXPECT_TRUE(refusedHandshake(fetch(cloud)));
}

TEST_F(TlsTest, SelfSignedServerIsRefused) {
    CertificateOptions o;
    o.dnsNames = {"localhost"};
    o.ipAddresses = {"127.0.0.1"};
    LocalCloud cloud(storage, root, issueCertificate(nullptr, o));
    ASSERT_TRUE(cloud.started());
    EXPECT_TRUE(refusedHandshake(fetch(cloud)));
}

TEST_F(TlsTest, RevokedServerSerialIsRefusedBeforeAnyRequestByte) {
    LocalCloud cloud(storage, root,
                     issueServerCertificate(root, {0x27, 0xAB, 0x71, 0xBA, 0x41, 0x86, 0x5C}));
    ASSERT_TRUE(cloud.started());
    LogCapture log;
    EXPECT_TRUE(refusedHandshake(fetch(cloud)));
    EXPECT_TRUE(
        log.contains("[ERROR] CloudSDK: SSL Error. Revoked certificate for the host: 127.0.0.1"));
    runEventsFor(100);
    EXPECT_TRUE(cloud.service().requests().empty()) << "no request reached the service";
}

TEST_F(TlsTest, NeighbourSerialIsAccepted) {
    LocalCloud cloud(storage, root,
                     issueServerCertificate(root, {0x27, 0xAB, 0x71, 0xBA, 0x41, 0x86, 0x5D}));
    ASSERT_TRUE(cloud.started());
    EXPECT_TRUE(acceptedHandshake(fetch(cloud)));
}

TEST_F(TlsTest, ChangingTheAnchorsNeverReusesATrustedConnection) {
    LocalCloud cloud(storage, root, issueServerCertificate(root));
    ASSERT_TRUE(cloud.started());
    bool done = false;
    // Keep the first connection open while the anchors change.
    CSSignedRequest req{"GET", cloud.service().baseUrl() + "/1/account/info", {}, {}};
    auto first = std::make_unique<CSRequest>(
        req, [&](CSRequest*) { done = true; }, cloud.client().endpoints);
    ASSERT_TRUE(waitUntil([&] { return done; }));
    EXPECT_EQ(first->statusCode(), 401);
    cloud.client().endpoints = cloud.endpointsTrusting({makeRootCA("Unrelated").der()});
    Outcome second;
    done = false;
    auto again = std::make_unique<CSRequest>(
        req,
        [&](CSRequest* r) {
            second.error = r->error();
            second.status = r->statusCode();
            done = true;
        },
        cloud.client().endpoints);
    ASSERT_TRUE(waitUntil([&] { return done; }));
    EXPECT_TRUE(refusedHandshake(second));
    CSCloseIdleConnections();
}

} // namespace
