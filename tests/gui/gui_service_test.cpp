// The window's service options, and when the web authorization screen may
// show a page whose certificate only the named service's file vouches for.
#include "app_scheme.h"
#include "connect_certificate.h"
#include "cs_service_endpoints.h"
#include "gui_arguments.h"
#include "test_pki.h"

#include <gtest/gtest.h>

using namespace testsupport;

TEST(GuiServiceArguments, TakenLikeTheCommandLinesAndOnlyTogether) {
    const GuiArguments both = parseGuiArguments(
        {"--service", "https://127.0.0.1:8443", "--service-ca=/tmp/ca.pem", "cs-x://1/cancel"});
    EXPECT_TRUE(both.error.isEmpty()) << both.error.toStdString();
    EXPECT_EQ(both.serviceUrl, "https://127.0.0.1:8443");
    EXPECT_EQ(both.serviceCa, "/tmp/ca.pem");
    EXPECT_EQ(both.urls, QStringList{"cs-x://1/cancel"});
    EXPECT_TRUE(parseGuiArguments({}).serviceUrl.isEmpty());

    for (const QStringList& wrong :
         {QStringList{"--service", "https://h"}, QStringList{"--service-ca", "/tmp/ca.pem"},
          QStringList{"--service-ca"}, QStringList{"--service=https://h", "--service-ca"}}) {
        EXPECT_FALSE(parseGuiArguments(wrong).error.isEmpty()) << wrong.join(' ').toStdString();
    }
}

// The engine hands a link answer over parsed, its host "1" read as 0.0.0.1;
// the session takes only the text the service sent.
TEST(LinkAnswerText, TheVersionHostComesBackAsSent) {
    const QString sent = QStringLiteral(
        "cs-q7w2k9x4m1z8r5t://1/connect?oauth_token=a%2Bb&oauth_token_secret=c%26d&uid=7&state=S");
    const QUrl parsed(sent);
    ASSERT_EQ(parsed.host(), "0.0.0.1");
    EXPECT_EQ(linkAnswerText(parsed), sent);
    EXPECT_EQ(linkAnswerText(QUrl(QStringLiteral("cs-q7w2k9x4m1z8r5t://1/cancel"))),
              "cs-q7w2k9x4m1z8r5t://1/cancel");
    // Any other host is left as it is (the session refuses it).
    EXPECT_EQ(linkAnswerText(QUrl(QStringLiteral("cs-q7w2k9x4m1z8r5t://evil/connect?x=1"))),
              "cs-q7w2k9x4m1z8r5t://evil/connect?x=1");
}

namespace {

class ServiceCertificate : public ::testing::Test {
protected:
    ServiceOrigin origin(const QString& host, const std::vector<std::string>& anchors) const {
        return ServiceOrigin{QStringLiteral("https"), host, 8443, anchors};
    }
    bool accept(const char* page, const std::vector<TestCertificate>& chain,
                const ServiceOrigin& where) const {
        std::vector<std::string> der;
        for (const TestCertificate& certificate : chain)
            der.push_back(certificate.der());
        return acceptServiceCertificate(QUrl(QString::fromLatin1(page)), der, where);
    }

    TestCertificate root = makeRootCA("Home service authority");
    TestCertificate server = issueServerCertificate(root);
    ServiceOrigin loopback = origin(QStringLiteral("127.0.0.1"), {root.der()});
};

} // namespace

TEST_F(ServiceCertificate, TheServicesOwnChainOnItsHostAndPortIsAccepted) {
    EXPECT_TRUE(accept("https://127.0.0.1:8443/1/connect_login?k=x", {server}, loopback));
    EXPECT_TRUE(accept("https://LOCALHOST:8443/1/connect_login", {server},
                       origin(QStringLiteral("localhost"), {root.der()})));

    // Through an intermediate the server sends, to the file's root.
    CertificateOptions ca;
    ca.commonName = "Home intermediate";
    ca.isCA = true;
    const TestCertificate intermediate = issueCertificate(&root, ca);
    CertificateOptions leaf;
    leaf.dnsNames = {"backup.home.test"};
    const TestCertificate named = issueCertificate(&intermediate, leaf);
    const ServiceOrigin home = origin(QStringLiteral("backup.home.test"), {root.der()});
    EXPECT_TRUE(accept("https://backup.home.test:8443/1/x", {named, intermediate}, home));
    EXPECT_FALSE(accept("https://backup.home.test:8443/1/x", {named}, home))
        << "the missing link is not looked up anywhere";
}

TEST_F(ServiceCertificate, AnyOtherAuthorityHostOrCertificateIsRefused) {
    const TestCertificate other = makeRootCA("Someone else");
    EXPECT_FALSE(accept("https://127.0.0.1:8443/1/x", {issueServerCertificate(other)}, loopback));
    EXPECT_FALSE(accept("https://127.0.0.1:8443/1/x", {server},
                        origin(QStringLiteral("127.0.0.1"), {other.der()})));

    // Pages of another host, port or scheme than the service's.
    for (const char* page : {"https://evil.example:8443/1/x", "https://127.0.0.1:9443/1/x",
                             "https://127.0.0.1/1/x", "http://127.0.0.1:8443/1/x"}) {
        EXPECT_FALSE(accept(page, {server}, loopback)) << page;
    }
    // The service's host, but a certificate made for other names.
    CertificateOptions elsewhere;
    elsewhere.dnsNames = {"other.home.test"};
    elsewhere.ipAddresses = {"127.0.0.2"};
    EXPECT_FALSE(
        accept("https://127.0.0.1:8443/1/x", {issueCertificate(&root, elsewhere)}, loopback));
    EXPECT_FALSE(accept("https://backup.home.test:8443/1/x", {server},
                        origin(QStringLiteral("backup.home.test"), {root.der()})));

    CertificateOptions expired;
    expired.ipAddresses = {"127.0.0.1"};
    expired.validFromSeconds = -7200;
    expired.validToSeconds = -3600;
    EXPECT_FALSE(
        accept("https://127.0.0.1:8443/1/x", {issueCertificate(&root, expired)}, loopback));

    CertificateOptions selfSigned;
    selfSigned.ipAddresses = {"127.0.0.1"};
    EXPECT_FALSE(
        accept("https://127.0.0.1:8443/1/x", {issueCertificate(nullptr, selfSigned)}, loopback));
    EXPECT_FALSE(accept("https://127.0.0.1:8443/1/x", {}, loopback));
    EXPECT_FALSE(acceptServiceCertificate(QUrl(QStringLiteral("https://127.0.0.1:8443/1/x")),
                                          {std::string("not a certificate")}, loopback));
}

TEST_F(ServiceCertificate, NeverForTheServicesOwnHosts) {
    // Without a file of its own (the built-in service), the web engine's own
    // verdict stands, whatever the chain.
    EXPECT_FALSE(
        accept("https://127.0.0.1:8443/1/x", {server}, origin(QStringLiteral("127.0.0.1"), {})));
    EXPECT_FALSE(accept("https://www.cloud.example/1/connect_login", {server},
                        ServiceOrigin::of(CSServiceEndpoints::defaults())));
}
