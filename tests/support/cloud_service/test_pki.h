#pragma once
// Certificates made at test time: a root, server certificates it issues, and
// the odd ones the TLS checks need (revoked serial, wrong name, expired,
// self-signed). EC P-256 keys, so making them is quick.

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

struct X509Deleter {
    void operator()(X509* x) const { X509_free(x); }
};
struct KeyDeleter {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
using X509Ptr = std::shared_ptr<X509>;
using KeyPtr = std::shared_ptr<EVP_PKEY>;

struct TestCertificate {
    X509Ptr cert;
    KeyPtr key;

    std::string der() const;
    std::string pem() const;
    std::string keyPem() const;
    // Writes the PEM to a file; false on failure.
    bool writePem(const std::string& path) const;
};

struct CertificateOptions {
    std::string commonName = "Mobrix Test";
    std::vector<std::string> dnsNames;
    std::vector<std::string> ipAddresses; // "127.0.0.1"
    // Big-endian serial content; empty gives a random 8-byte positive serial.
    std::vector<std::uint8_t> serial;
    long validFromSeconds = -3600; // relative to now
    long validToSeconds = 30L * 24 * 3600;
    bool isCA = false;
};

// A self-signed CA.
TestCertificate makeRootCA(const std::string& commonName);
// Issued by `issuer`; with no issuer the certificate signs itself.
TestCertificate issueCertificate(const TestCertificate* issuer, const CertificateOptions& options);
// A server certificate for 127.0.0.1 and "localhost".
TestCertificate issueServerCertificate(const TestCertificate& issuer,
                                       std::vector<std::uint8_t> serial = {});

} // namespace testsupport
