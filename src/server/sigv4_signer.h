#pragma once
// Signature Version 4 of S3-compatible object stores: the canonical request,
// the string to sign and the signing key (HMAC-SHA256 chain), giving the
// Authorization header of one request. Pure functions on OpenSSL.

#include <string>
#include <utility>
#include <vector>

namespace server {

struct SigV4Credentials {
    std::string accessKey;
    std::string secretKey; // never logged
    std::string region;
    std::string service = "s3";
};

struct SigV4Request {
    std::string method;
    std::string path;                                         // not yet escaped: "/bucket/key"
    std::vector<std::pair<std::string, std::string>> query;   // not yet escaped
    std::vector<std::pair<std::string, std::string>> headers; // every header signed
    std::string payloadHash; // hex SHA-256 of the body, or "UNSIGNED-PAYLOAD"
};

// RFC 3986 escaping of everything but unreserved characters ("/" kept when asked).
std::string sigv4Escape(const std::string& text, bool keepSlash);
std::string sigv4CanonicalRequest(const SigV4Request& request);
// "YYYYMMDDTHHMMSSZ" of seconds since 1970.
std::string sigv4Timestamp(long long seconds);
// The derived key for a day ("YYYYMMDD"), raw bytes.
std::string sigv4SigningKey(const SigV4Credentials& credentials, const std::string& day);
// The hex signature and the whole Authorization header value; `timestamp`
// is the request's x-amz-date.
std::string sigv4Signature(const SigV4Request& request, const SigV4Credentials& credentials,
                           const std::string& timestamp);
std::string sigv4Authorization(const SigV4Request& request, const SigV4Credentials& credentials,
                               const std::string& timestamp);

// Lower-case hex SHA-256 of the bytes.
std::string sha256Hex(const std::string& bytes);

} // namespace server
