#include "test_pki.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

#include <fstream>
#include <stdexcept>

namespace testsupport {
namespace {

KeyPtr makeKey() {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    if (!key)
        throw std::runtime_error("EC key generation failed");
    return KeyPtr(key, KeyDeleter());
}

std::string bioText(BIO* bio) {
    char* data = nullptr;
    long n = BIO_get_mem_data(bio, &data);
    std::string out(data, static_cast<std::size_t>(n));
    BIO_free(bio);
    return out;
}

void addExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (!ext)
        throw std::runtime_error("bad extension " + value);
    X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
}

void setSerial(X509* cert, std::vector<std::uint8_t> serial) {
    if (serial.empty()) {
        serial.resize(8);
        RAND_bytes(serial.data(), static_cast<int>(serial.size()));
        serial[0] &= 0x7F;
        serial[0] |= 0x10;
    }
    BIGNUM* bn = BN_bin2bn(serial.data(), static_cast<int>(serial.size()), nullptr);
    BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert));
    BN_free(bn);
}

} // namespace

std::string TestCertificate::der() const {
    unsigned char* out = nullptr;
    int n = i2d_X509(cert.get(), &out);
    std::string der(reinterpret_cast<char*>(out), static_cast<std::size_t>(n > 0 ? n : 0));
    OPENSSL_free(out);
    return der;
}

std::string TestCertificate::pem() const {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, cert.get());
    return bioText(bio);
}

std::string TestCertificate::keyPem() const {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PrivateKey(bio, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    return bioText(bio);
}

bool TestCertificate::writePem(const std::string& path) const {
    std::ofstream out(path);
    return static_cast<bool>(out << pem() << std::flush);
}

TestCertificate issueCertificate(const TestCertificate* issuer, const CertificateOptions& options) {
    TestCertificate out;
    out.key = makeKey();
    out.cert = X509Ptr(X509_new(), X509Deleter());
    X509* cert = out.cert.get();
    X509_set_version(cert, 2);
    setSerial(cert, options.serial);
    X509_gmtime_adj(X509_getm_notBefore(cert), options.validFromSeconds);
    X509_gmtime_adj(X509_getm_notAfter(cert), options.validToSeconds);
    X509_set_pubkey(cert, out.key.get());
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("Mobrix Tests"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(options.commonName.c_str()),
                               -1, -1, 0);
    X509* issuerCert = issuer ? issuer->cert.get() : cert;
    X509_set_issuer_name(cert, X509_get_subject_name(issuerCert));
    if (options.isCA) {
        addExtension(cert, issuerCert, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(cert, issuerCert, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        addExtension(cert, issuerCert, NID_basic_constraints, "critical,CA:FALSE");
        addExtension(cert, issuerCert, NID_key_usage, "critical,digitalSignature,keyEncipherment");
        addExtension(cert, issuerCert, NID_ext_key_usage, "serverAuth");
    }
    addExtension(cert, issuerCert, NID_subject_key_identifier, "hash");
    if (issuer)
        addExtension(cert, issuerCert, NID_authority_key_identifier, "keyid:always");
    std::string san;
    auto addName = [&san](const char* kind, const std::string& value) {
        if (!san.empty())
            san.append(",");
        san.append(kind).append(value);
    };
    for (const auto& dns : options.dnsNames)
        addName("DNS:", dns);
    for (const auto& ip : options.ipAddresses)
        addName("IP:", ip);
    if (!san.empty())
        addExtension(cert, issuerCert, NID_subject_alt_name, san);
    EVP_PKEY* signingKey = issuer ? issuer->key.get() : out.key.get();
    if (X509_sign(cert, signingKey, EVP_sha256()) <= 0)
        throw std::runtime_error("signing failed");
    return out;
}

TestCertificate makeRootCA(const std::string& commonName) {
    CertificateOptions o;
    o.commonName = commonName;
    o.isCA = true;
    o.validToSeconds = 365L * 24 * 3600;
    return issueCertificate(nullptr, o);
}

TestCertificate issueServerCertificate(const TestCertificate& issuer,
                                       std::vector<std::uint8_t> serial) {
    CertificateOptions o;
    o.commonName = "localhost";
    o.dnsNames = {"localhost"};
    o.ipAddresses = {"127.0.0.1"};
    o.serial = std::move(serial);
    return issueCertificate(&issuer, o);
}

} // namespace testsupport
