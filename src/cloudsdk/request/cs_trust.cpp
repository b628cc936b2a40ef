#include "cs_trust.h"

#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <map>
#include <mutex>

#include "cs_curl_multi.h"
#include "der_reader.h"
#include "pinned_roots.h"

namespace {

// Depth 0 is the server's own certificate; the chain above it has already
// been checked when OpenSSL gets there (preverified).
int verifyPeer(int preverified, X509_STORE_CTX* context) {
    if (!preverified || X509_STORE_CTX_get_error_depth(context) != 0)
        return preverified;
    X509* server = X509_STORE_CTX_get_current_cert(context);
    unsigned char* der = nullptr;
    const int length = server ? i2d_X509(server, &der) : -1;
    const bool revoked = length <= 0 || isRevokedCertificate(der, static_cast<std::size_t>(length));
    OPENSSL_free(der);
    if (revoked) {
        X509_STORE_CTX_set_error(context, X509_V_ERR_CERT_REVOKED);
        return 0;
    }
    return 1;
}

std::string sha256Of(const std::vector<std::string>& parts) {
    EVP_MD_CTX* md = EVP_MD_CTX_new();
    EVP_DigestInit_ex(md, EVP_sha256(), nullptr);
    for (const auto& p : parts) {
        const std::uint64_t n = p.size();
        EVP_DigestUpdate(md, &n, sizeof n);
        EVP_DigestUpdate(md, p.data(), p.size());
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_DigestFinal_ex(md, digest, &size);
    EVP_MD_CTX_free(md);
    return std::string(reinterpret_cast<const char*>(digest), size);
}

} // namespace

CSTrustPolicy::CSTrustPolicy(const std::vector<std::string>& anchorsDer)
    : store_(X509_STORE_new()), key_(sha256Of(anchorsDer)) {
    for (const auto& der : anchorsDer) {
        const auto* p = reinterpret_cast<const unsigned char*>(der.data());
        X509* cert = d2i_X509(nullptr, &p, static_cast<long>(der.size()));
        if (!cert)
            continue;
        if (X509_STORE_add_cert(store_, cert) == 1)
            ++anchorCount_;
        X509_free(cert);
    }
    // Every anchor ends a chain, as the platform's anchors do, even one that
    // is not self-signed (an intermediate or a cross-signed root).
    X509_STORE_set_flags(store_, X509_V_FLAG_PARTIAL_CHAIN);
}

CSTrustPolicy::~CSTrustPolicy() {
    X509_STORE_free(store_);
}

void CSTrustPolicy::installInto(SSL_CTX* context) const {
    // Replaces whatever store the context had: the system's roots never count.
    SSL_CTX_set1_cert_store(context, store_);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, verifyPeer);
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
}

const std::vector<std::string>& CSRootCertificates() {
    return CSPinnedRootCertificates();
}

std::shared_ptr<const CSTrustPolicy> CSTrustPolicyFor(const CSServiceEndpoints& endpoints) {
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<const CSTrustPolicy>> pinned;
    const std::vector<std::string>& anchors =
        endpoints.usePinnedRoots ? CSRootCertificates() : endpoints.trustAnchors;
    std::lock_guard lock(mutex);
    // The pinned store is built once; other policies (tests, --service-ca) are
    // kept while a request or a connection pool uses them.
    if (endpoints.usePinnedRoots) {
        auto& slot = pinned[""];
        if (!slot)
            slot = std::make_shared<const CSTrustPolicy>(anchors);
        return slot;
    }
    return std::make_shared<const CSTrustPolicy>(anchors);
}

void CSCloseIdleConnections() {
    CSCurlMulti::closeIdleConnections();
}
