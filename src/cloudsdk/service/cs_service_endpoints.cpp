#include "cs_service_endpoints.h"

#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <charconv>
#include <cstdio>
#include <memory>

#include "cs_service.h"

namespace {

void setError(std::string* error, std::string text) {
    if (error)
        *error = std::move(text);
}

// Every certificate of a PEM file as DER.
std::optional<std::vector<std::string>> readPemCertificates(const std::string& path,
                                                            std::string* error) {
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_file(path.c_str(), "r"), BIO_free);
    if (!bio) {
        setError(error, "cannot read " + path);
        return std::nullopt;
    }
    std::vector<std::string> out;
    while (X509* cert = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)) {
        unsigned char* der = nullptr;
        int len = i2d_X509(cert, &der);
        if (len > 0)
            out.emplace_back(reinterpret_cast<char*>(der), static_cast<std::size_t>(len));
        OPENSSL_free(der);
        X509_free(cert);
    }
    if (out.empty()) {
        setError(error, "no certificate in " + path);
        return std::nullopt;
    }
    return out;
}

} // namespace

CSServiceEndpoints CSServiceEndpoints::defaults() {
    CSServiceEndpoints e;
    e.apiHost = std::string(kCSCloudAPIHost);
    e.contentHost = std::string(kCSCloudAPIContentHost);
    e.webHost = std::string(kCSCloudWebHost);
    e.usePinnedRoots = true;
    return e;
}

std::optional<CSServiceEndpoints> CSServiceEndpoints::forService(const std::string& url,
                                                                 const std::string& caPemFile,
                                                                 std::string* error) {
    const std::string prefix = "https://";
    if (url.compare(0, prefix.size(), prefix) != 0) {
        setError(error, "the service address must begin with https://");
        return std::nullopt;
    }
    std::string rest = url.substr(prefix.size());
    if (auto slash = rest.find('/'); slash != std::string::npos) {
        if (rest.find_first_not_of('/', slash) != std::string::npos) {
            setError(error, "the service address takes no path");
            return std::nullopt;
        }
        rest.resize(slash);
    }
    std::string host = rest;
    std::optional<std::uint16_t> port;
    if (auto colon = rest.rfind(':');
        colon != std::string::npos && rest.find(']', colon) == std::string::npos) {
        host = rest.substr(0, colon);
        const std::string digits = rest.substr(colon + 1);
        unsigned value = 0;
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (ec != std::errc() || end != digits.data() + digits.size() || value == 0 ||
            value > 65535) {
            setError(error, "bad port in the service address");
            return std::nullopt;
        }
        port = static_cast<std::uint16_t>(value);
    }
    if (host.empty()) {
        setError(error, "no host in the service address");
        return std::nullopt;
    }
    auto anchors = readPemCertificates(caPemFile, error);
    if (!anchors)
        return std::nullopt;
    CSServiceEndpoints e;
    e.apiHost = e.contentHost = e.webHost = host;
    e.port = port;
    e.trustAnchors = std::move(*anchors);
    e.usePinnedRoots = false;
    return e;
}

std::string CSServiceEndpoints::authority(const std::string& host) const {
    if (!port)
        return host;
    return host + ":" + std::to_string(*port);
}
