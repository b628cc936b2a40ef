#include "sigv4_signer.h"

#include "secrets.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <cctype>
#include <ctime>

namespace server {

namespace {

std::string hmac(const std::string& key, const std::string& text) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
         reinterpret_cast<const unsigned char*>(text.data()), text.size(), out, &length);
    return std::string(reinterpret_cast<const char*>(out), length);
}

std::string hex(const std::string& bytes) {
    return toHex(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Leading and trailing blanks gone, inner runs of blanks made one space.
std::string trimmed(const std::string& text) {
    std::string out;
    bool blank = false;
    for (char c : text) {
        if (c == ' ' || c == '\t') {
            blank = !out.empty();
            continue;
        }
        if (blank)
            out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs canonicalHeaders(const SigV4Request& request) {
    Pairs headers;
    for (const auto& [name, value] : request.headers)
        headers.emplace_back(lower(name), trimmed(value));
    std::sort(headers.begin(), headers.end());
    return headers;
}

std::string signedHeaderNames(const Pairs& headers) {
    std::string names;
    for (const auto& [name, value] : headers)
        names += (names.empty() ? "" : ";") + name;
    return names;
}

std::string scope(const SigV4Credentials& c, const std::string& timestamp) {
    return timestamp.substr(0, 8) + "/" + c.region + "/" + c.service + "/aws4_request";
}

} // namespace

std::string sha256Hex(const std::string& bytes) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), out, &length, EVP_sha256(), nullptr);
    return toHex(out, length);
}

std::string sigv4Escape(const std::string& text, bool keepSlash) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~' ||
            (keepSlash && c == '/')) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out;
}

std::string sigv4CanonicalRequest(const SigV4Request& request) {
    Pairs query;
    for (const auto& [name, value] : request.query)
        query.emplace_back(sigv4Escape(name, false), sigv4Escape(value, false));
    std::sort(query.begin(), query.end());
    std::string text = request.method + "\n" + sigv4Escape(request.path, true) + "\n";
    for (std::size_t i = 0; i < query.size(); ++i)
        text += (i ? "&" : "") + query[i].first + "=" + query[i].second;
    text += "\n";
    const Pairs headers = canonicalHeaders(request);
    for (const auto& [name, value] : headers)
        text += name + ":" + value + "\n";
    return text + "\n" + signedHeaderNames(headers) + "\n" + request.payloadHash;
}

std::string sigv4Timestamp(long long seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
    return text;
}

std::string sigv4SigningKey(const SigV4Credentials& c, const std::string& day) {
    const std::string dayKey = hmac("AWS4" + c.secretKey, day);
    return hmac(hmac(hmac(dayKey, c.region), c.service), "aws4_request");
}

std::string sigv4Signature(const SigV4Request& request, const SigV4Credentials& c,
                           const std::string& timestamp) {
    const std::string toSign = "AWS4-HMAC-SHA256\n" + timestamp + "\n" + scope(c, timestamp) +
                               "\n" + sha256Hex(sigv4CanonicalRequest(request));
    return hex(hmac(sigv4SigningKey(c, timestamp.substr(0, 8)), toSign));
}

std::string sigv4Authorization(const SigV4Request& request, const SigV4Credentials& c,
                               const std::string& timestamp) {
    return "AWS4-HMAC-SHA256 Credential=" + c.accessKey + "/" + scope(c, timestamp) +
           ", SignedHeaders=" + signedHeaderNames(canonicalHeaders(request)) +
           ", Signature=" + sigv4Signature(request, c, timestamp);
}

} // namespace server
