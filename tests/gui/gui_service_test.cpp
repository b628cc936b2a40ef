// What the web authorization screen may show: which navigations it follows,
// and a page whose certificate only the file of a service named for the run
// vouches for.
#include "connect_certificate.h"
#include "connect_policy.h"
#include "cs_service_endpoints.h"
#include "test_pki.h"

#include <gtest/gtest.h>

using namespace testsupport;

TEST(ConnectPolicy, OnlyHttpsPagesOfTheServicesWebHost) {
    const ServiceOrigin origin{
        QStringLiteral("https"), QStringLiteral("www.cloud.example"), 443, {}};
    const QUrl screen(QStringLiteral("https://www.cloud.example/1/connect_login?k=x"));
    const QString app = QStringLiteral("cs-q7w2k9x4m1z8r5t");
    auto decide = [&](const char* target) {
        return decideNavigation(QUrl(QString::fromLatin1(target)), screen, app, origin);
    };
    EXPECT_EQ(decide("cs-q7w2k9x4m1z8r5t://1/connect?x=1"), ConnectDecision::LinkAnswer);
    EXPECT_EQ(decide("itms-apps://itunes.example/app"), ConnectDecision::StoreLink);
    EXPECT_EQ(decide("https://WWW.cloud.example/1/connect_login?page=2"),
              ConnectDecision::LoadInPlace);
    EXPECT_EQ(decide("https://www.cloud.example:443/1/terms"), ConnectDecision::PushScreen);
    for (const char* refused :
         {"http://www.cloud.example/1/terms", "https://www.cloud.example:8443/1/terms",
          "https://evil.example/1/connect_login", "https://www.cloud.example.evil.example/1/x",
          "file:///etc/passwd", "javascript:alert(1)", "data:text/html,hi",
          "https://api.cloud.example/1/connect_login"}) {
        EXPECT_EQ(decide(refused), ConnectDecision::Refuse) << refused;
    }
    EXPECT_TRUE(allowFrame(QUrl(QStringLiteral("about:blank")), origin));
    EXPECT_TRUE(allowFrame(QUrl(QStringLiteral("https://www.cloud.example/frame")), origin));
    EXPECT_FALSE(allowFrame(QUrl(QStringLiteral("https://ads.example/frame")), origin));
}

namespace {

ServiceOrigin origin(const char* host, const std::vector<std::string>& anchors) {
    return ServiceOrigin{QStringLiteral("https"), QString::fromLatin1(host), 8443, anchors};
}

bool accept(const char* page, const std::vector<TestCertificate>& chain,
            const ServiceOrigin& where) {
    std::vector<std::string> der;
    for (const TestCertificate& certificate : chain)
        der.push_back(certificate.der());
    return acceptServiceCertificate(QUrl(QString::fromLatin1(page)), der, where);
}

TestCertificate issued(const TestCertificate* issuer, std::vector<std::string> names,
                       std::vector<std::string> addresses = {}) {
    CertificateOptions options;
    options.dnsNames = std::move(names);
    options.ipAddresses = std::move(addresses);
    return issueCertificate(issuer, options);
}

} // namespace

TEST(ServiceCertificate, OnlyTheServicesOwnChainOnItsHostAndPort) {
    const TestCertificate root = makeRootCA("Home service authority");
    const TestCertificate server = issueServerCertificate(root);
    const ServiceOrigin loopback = origin("127.0.0.1", {root.der()});
    EXPECT_TRUE(accept("https://127.0.0.1:8443/1/connect_login?k=x", {server}, loopback));
    // Through an intermediate the server sends, to the file's root; the
    // missing link is not looked up anywhere.
    CertificateOptions ca;
    ca.commonName = "Home intermediate";
    ca.isCA = true;
    const TestCertificate intermediate = issueCertificate(&root, ca);
    const TestCertificate named = issued(&intermediate, {"backup.home.test"});
    const ServiceOrigin home = origin("backup.home.test", {root.der()});
    EXPECT_TRUE(accept("https://backup.home.test:8443/1/x", {named, intermediate}, home));
    EXPECT_FALSE(accept("https://backup.home.test:8443/1/x", {named}, home));

    // Another authority, on either side.
    const TestCertificate other = makeRootCA("Someone else");
    EXPECT_FALSE(accept("https://127.0.0.1:8443/1/x", {issueServerCertificate(other)}, loopback));
    EXPECT_FALSE(
        accept("https://127.0.0.1:8443/1/x", {server}, origin("127.0.0.1", {other.der()})));
    // Pages of another host, port or scheme than the service's.
    for (const char* page : {"https://evil.example:8443/1/x", "https://127.0.0.1:9443/1/x",
                             "https://127.0.0.1/1/x", "http://127.0.0.1:8443/1/x"})
        EXPECT_FALSE(accept(page, {server}, loopback)) << page;
    // The service's host, but a certificate made for other names.
    EXPECT_FALSE(accept("https://127.0.0.1:8443/1/x",
                        {issued(&root, {"other.home.test"}, {"127.0.0.2"})}, loopback));
    EXPECT_FALSE(accept("https://backup.home.test:8443/1/x", {server}, home));
    // Expired, none, not a certificate.
    CertificateOptions expired;
    expired.ipAddresses = {"127.0.0.1"};
    expired.validFromSeconds = -7200;
    expired.validToSeconds = -3600;
    EXPECT_FALSE(
        accept("https://127.0.0.1:8443/1/x", {issueCertificate(&root, expired)}, loopback));
    EXPECT_FALSE(accept("https://127.0.0.1:8443/1/x", {}, loopback));
    EXPECT_FALSE(acceptServiceCertificate(QUrl(QStringLiteral("https://127.0.0.1:8443/1/x")),
                                          {std::string("not a certificate")}, loopback));

    // Without a file of its own (the built-in service), the web engine's own
    // verdict stands, whatever the chain.
    EXPECT_FALSE(accept("https://127.0.0.1:8443/1/x", {server}, origin("127.0.0.1", {})));
    EXPECT_FALSE(accept("https://www.cloud.example/1/connect_login", {server},
                        ServiceOrigin::of(CSServiceEndpoints::defaults())));
}
