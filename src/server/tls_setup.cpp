#include "tls_setup.h"

#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace server {

namespace {

using KeyPtr = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using CertPtr = std::unique_ptr<X509, decltype(&X509_free)>;

bool isIpAddress(const std::string& name) {
    return !name.empty() && name.find_first_not_of("0123456789.") == std::string::npos;
}

void addExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX ctx;
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (ext) {
        X509_add_ext(cert, ext, -1);
        X509_EXTENSION_free(ext);
    }
}

CertPtr makeCertificate(EVP_PKEY* key, const std::string& commonName, X509* issuer,
                        EVP_PKEY* issuerKey, long days, bool isCA,
                        const std::vector<std::string>& names) {
    CertPtr cert(X509_new(), X509_free);
    X509_set_version(cert.get(), 2);
    unsigned char serial[16];
    RAND_bytes(serial, sizeof serial);
    serial[0] &= 0x7f;
    BIGNUM* bn = BN_bin2bn(serial, sizeof serial, nullptr);
    BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.get()));
    BN_free(bn);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), days * 24 * 3600);
    X509_set_pubkey(cert.get(), key);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("mobrix-cloud"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1,
                               0);
    X509* signer = issuer ? issuer : cert.get();
    X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));
    if (isCA) {
        addExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE,pathlen:0");
        addExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        addExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:FALSE");
        addExtension(cert.get(), signer, NID_key_usage, "critical,digitalSignature");
        addExtension(cert.get(), signer, NID_ext_key_usage, "serverAuth");
        std::string alt;
        for (const auto& n : names) {
            if (!alt.empty())
                alt.push_back(',');
            alt.append(isIpAddress(n) ? "IP:" : "DNS:");
            alt.append(n);
        }
        if (!alt.empty())
            addExtension(cert.get(), signer, NID_subject_alt_name, alt);
    }
    addExtension(cert.get(), signer, NID_subject_key_identifier, "hash");
    if (X509_sign(cert.get(), issuerKey ? issuerKey : key, EVP_sha256()) <= 0)
        cert.reset();
    return cert;
}

bool writePem(const std::filesystem::path& path, mode_t mode,
              const std::function<int(FILE*)>& write) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0)
        return false;
    FILE* file = ::fdopen(fd, "w");
    if (!file) {
        ::close(fd);
        return false;
    }
    const bool ok = write(file) == 1;
    return std::fclose(file) == 0 && ok;
}

} // namespace

bool makeTlsFiles(const std::filesystem::path& folder, const std::vector<std::string>& names,
                  TlsFiles* files, std::string* error) {
    KeyPtr caKey(EVP_EC_gen("P-256"), EVP_PKEY_free);
    KeyPtr serverKey(EVP_EC_gen("P-256"), EVP_PKEY_free);
    if (!caKey || !serverKey) {
        *error = "cannot make TLS keys";
        return false;
    }
    CertPtr ca =
        makeCertificate(caKey.get(), "mobrix-cloud authority", nullptr, nullptr, 3650, true, {});
    CertPtr cert = ca ? makeCertificate(serverKey.get(), names.empty() ? "localhost" : names[0],
                                        ca.get(), caKey.get(), 825, false, names)
                      : CertPtr(nullptr, X509_free);
    if (!cert) {
        *error = "cannot make TLS certificates";
        return false;
    }
    files->authority = folder / "ca.pem";
    files->certificate = folder / "server.pem";
    files->key = folder / "server-key.pem";
    const bool ok =
        writePem(files->authority, 0644, [&](FILE* f) { return PEM_write_X509(f, ca.get()); }) &&
        writePem(files->certificate, 0644,
                 [&](FILE* f) {
                     return PEM_write_X509(f, cert.get()) == 1 && PEM_write_X509(f, ca.get()) == 1
                                ? 1
                                : 0;
                 }) &&
        writePem(files->key, 0600, [&](FILE* f) {
            return PEM_write_PrivateKey(f, serverKey.get(), nullptr, nullptr, 0, nullptr, nullptr);
        });
    if (!ok)
        *error = "cannot write the TLS files in " + folder.string();
    return ok;
}

} // namespace server
