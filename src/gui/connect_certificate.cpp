#include "connect_certificate.h"

#include "der_reader.h"

#include <QHostAddress>
#include <memory>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

namespace {

struct X509Free {
    void operator()(X509* x) const { X509_free(x); }
};
struct StoreFree {
    void operator()(X509_STORE* s) const { X509_STORE_free(s); }
};
struct ContextFree {
    void operator()(X509_STORE_CTX* c) const { X509_STORE_CTX_free(c); }
};
struct StackFree {
    void operator()(STACK_OF(X509) * s) const { sk_X509_pop_free(s, X509_free); }
};
using X509Ptr = std::unique_ptr<X509, X509Free>;

X509Ptr parse(const std::string& der) {
    const auto* p = reinterpret_cast<const unsigned char*>(der.data());
    return X509Ptr(d2i_X509(nullptr, &p, static_cast<long>(der.size())));
}

// A store of the anchors alone: the system's roots never count. Every
// anchor ends a chain, as for the command line.
std::unique_ptr<X509_STORE, StoreFree> anchorStore(const std::vector<std::string>& anchors) {
    std::unique_ptr<X509_STORE, StoreFree> store(X509_STORE_new());
    int added = 0;
    for (const std::string& der : anchors)
        if (X509Ptr cert = parse(der); cert && X509_STORE_add_cert(store.get(), cert.get()) == 1)
            ++added;
    if (added == 0)
        return nullptr;
    X509_STORE_set_flags(store.get(), X509_V_FLAG_PARTIAL_CHAIN);
    return store;
}

// The page's host name, or its address, must be the certificate's.
bool setExpectedHost(X509_VERIFY_PARAM* param, const QString& host) {
    const std::string text = host.toStdString();
    if (QHostAddress address; address.setAddress(host))
        return X509_VERIFY_PARAM_set1_ip_asc(param, text.c_str()) == 1;
    return X509_VERIFY_PARAM_set1_host(param, text.c_str(), text.size()) == 1;
}

bool verifies(const std::vector<std::string>& chainDer, const std::vector<std::string>& anchors,
              const QString& host) {
    auto store = anchorStore(anchors);
    X509Ptr leaf = parse(chainDer.front());
    if (!store || !leaf)
        return false;
    std::unique_ptr<STACK_OF(X509), StackFree> untrusted(sk_X509_new_null());
    for (std::size_t i = 1; i < chainDer.size(); ++i)
        if (X509Ptr cert = parse(chainDer[i]))
            sk_X509_push(untrusted.get(), cert.release());
    std::unique_ptr<X509_STORE_CTX, ContextFree> context(X509_STORE_CTX_new());
    if (!context ||
        X509_STORE_CTX_init(context.get(), store.get(), leaf.get(), untrusted.get()) != 1)
        return false;
    X509_STORE_CTX_set_purpose(context.get(), X509_PURPOSE_SSL_SERVER);
    if (!setExpectedHost(X509_STORE_CTX_get0_param(context.get()), host))
        return false;
    return X509_verify_cert(context.get()) == 1;
}

} // namespace

bool acceptServiceCertificate(const QUrl& page, const std::vector<std::string>& chainDer,
                              const ServiceOrigin& origin) {
    if (origin.privateAnchors.empty() || chainDer.empty() || !origin.contains(page) ||
        page.host().isEmpty())
        return false;
    const std::string& leaf = chainDer.front();
    // The serials the command line refuses are refused here too.
    if (isRevokedCertificate(reinterpret_cast<const std::uint8_t*>(leaf.data()), leaf.size()))
        return false;
    return verifies(chainDer, origin.privateAnchors, page.host());
}
