#include "s3_stub.h"

#include "secrets.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <regex>
#include <sstream>
#include <vector>

namespace servertest {

namespace {

std::string hexOf(const std::string& bytes) {
    return server::toHex(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::string sha256(const std::string& text) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    EVP_Digest(text.data(), text.size(), out, &n, EVP_sha256(), nullptr);
    return std::string(reinterpret_cast<char*>(out), n);
}

std::string hmac(const std::string& key, const std::string& text) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
         reinterpret_cast<const unsigned char*>(text.data()), text.size(), out, &n);
    return std::string(reinterpret_cast<char*>(out), n);
}

std::string encode(const std::string& text, bool keepSlash) {
    std::ostringstream out;
    for (unsigned char c : text) {
        if (std::isalnum(c) ||
            std::string("-_.~").find(static_cast<char>(c)) != std::string::npos ||
            (keepSlash && c == '/'))
            out << c;
        else
            out << '%' << "0123456789ABCDEF"[c >> 4] << "0123456789ABCDEF"[c & 15];
    }
    return out.str();
}

const std::string kBucket = "mobrix-bodies", kRegion = "eu-test-1";

} // namespace

S3Stub::S3Stub() {
    auto checked = [this](const httplib::Request& q, httplib::Response& r) {
        if (signedRight(q))
            return handleObject(q, r);
        ++refusedSignatures;
        r.status = 403;
    };
    http_.Get("/" + kBucket + "(?:/([^/]+))?", checked);
    http_.Put("/" + kBucket + "/([^/]+)", checked);
    http_.Delete("/" + kBucket + "/([^/]+)", checked);
    port_ = http_.bind_to_any_port("127.0.0.1");
    if (port_ > 0)
        thread_ = std::thread([this] { http_.listen_after_bind(); });
}

S3Stub::~S3Stub() {
    http_.stop();
    if (thread_.joinable())
        thread_.join();
}

std::string S3Stub::url() const {
    return "s3://" + kBucket + "?endpoint=http://127.0.0.1:" + std::to_string(port_) +
           "&region=" + kRegion;
}

std::map<std::string, std::string> S3Stub::objects() const {
    std::lock_guard lock(mutex_);
    return objects_;
}

// The algorithm as the protocol's documentation states it, in one piece.
bool S3Stub::signedRight(const httplib::Request& q) const {
    static const std::regex form("AWS4-HMAC-SHA256 Credential=([^/]+)/([0-9]{8})/([^/]+)/s3/"
                                 "aws4_request, SignedHeaders=([^,]+), Signature=([0-9a-f]+)");
    std::smatch m;
    const std::string authorization = q.get_header_value("Authorization");
    const std::string date = q.get_header_value("x-amz-date");
    if (!std::regex_match(authorization, m, form) || m[1] != kAccessKey || m[3] != kRegion ||
        date.substr(0, 8) != m[2] || m[4].str().find("x-amz-content-sha256") == std::string::npos)
        return false;
    std::vector<std::string> query;
    for (const auto& [name, value] : q.params)
        query.push_back(encode(name, false) + "=" + encode(value, false));
    std::sort(query.begin(), query.end());
    std::string canonical = q.method + "\n" + encode(q.path, true) + "\n";
    for (std::size_t i = 0; i < query.size(); ++i)
        canonical += (i ? "&" : "") + query[i];
    canonical += "\n";
    std::stringstream names(m[4]);
    for (std::string name; std::getline(names, name, ';');)
        canonical += name + ":" + q.get_header_value(name.c_str()) + "\n";
    canonical += "\n" + m[4].str() + "\n" + q.get_header_value("x-amz-content-sha256");
    const std::string scope = m[2].str() + "/" + kRegion + "/s3/aws4_request";
    const std::string toSign =
        "AWS4-HMAC-SHA256\n" + date + "\n" + scope + "\n" + hexOf(sha256(canonical));
    std::string key = hmac(std::string("AWS4") + kSecretKey, m[2]);
    key = hmac(hmac(hmac(key, kRegion), "s3"), "aws4_request");
    return m[5] == hexOf(hmac(key, toSign));
}

void S3Stub::handleObject(const httplib::Request& q, httplib::Response& r) {
    const std::string key = q.matches[1];
    std::lock_guard lock(mutex_);
    if (key.empty()) { // the bucket itself: it is there
        r.status = 200;
        return;
    }
    if (q.method == "PUT") {
        if (failPuts || hexOf(sha256(q.body)) != q.get_header_value("x-amz-content-sha256") ||
            !q.has_header("Content-Length")) {
            r.status = failPuts ? 500 : 400;
            return;
        }
        objects_[key] = q.body;
        r.status = 200;
        return;
    }
    auto it = objects_.find(key);
    if (q.method == "DELETE") {
        objects_.erase(key);
        r.status = 204;
        return;
    }
    if (it == objects_.end()) {
        r.status = 404;
        return;
    }
    if (q.method == "GET") {
        ++gets;
        for (const auto& [first, last] : q.ranges) {
            if (last >= first)
                largestRange = std::max<std::uint64_t>(largestRange, last - first + 1);
            else
                largestRange = UINT64_MAX; // open-ended: the whole rest
        }
    }
    r.set_content(it->second, "application/octet-stream");
}

} // namespace servertest
