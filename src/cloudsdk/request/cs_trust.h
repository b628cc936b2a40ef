#pragma once
// Trust policy for the service: only the anchors of the endpoints (the pinned
// roots by default, or the certificates of --service-ca) are trusted, never
// the system's; the host name is always checked (by the transport); and the
// server's own certificate is refused in the handshake when its serial is on
// the revoked list, so that no request byte reaches such a server.

#include <openssl/ossl_typ.h>

#include <memory>
#include <string>
#include <vector>

#include "cs_service_endpoints.h"

class CSTrustPolicy {
public:
    // DER of each anchor; the ones that do not parse are left out.
    explicit CSTrustPolicy(const std::vector<std::string>& anchorsDer);
    ~CSTrustPolicy();
    CSTrustPolicy(const CSTrustPolicy&) = delete;
    CSTrustPolicy& operator=(const CSTrustPolicy&) = delete;

    // Names the set of anchors: equal keys, equal policies.
    const std::string& key() const { return key_; }
    std::size_t anchorCount() const { return anchorCount_; }

    // Makes a fresh TLS context trust only these anchors and check the
    // server's certificate against the revoked serials.
    void installInto(SSL_CTX* context) const;

private:
    X509_STORE* store_ = nullptr;
    std::string key_;
    std::size_t anchorCount_ = 0;
};

// The policy of the endpoints, shared by every request that uses it.
std::shared_ptr<const CSTrustPolicy> CSTrustPolicyFor(const CSServiceEndpoints& endpoints);

// The pinned roots' DER, decoded once.
const std::vector<std::string>& CSRootCertificates();

// Ends the idle kept-alive connections of the calling thread.
void CSCloseIdleConnections();
