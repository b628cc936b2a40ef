#include "s3_stub.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <ctime>
#include <sstream>
#include <vector>

namespace servertest {

namespace {

std::string hexOf(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
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

// "name=value" after "key" in "AWS4-HMAC-SHA256 Credential=..., SignedHeaders=..., Signature=...".
std::string field(const std::string& header, const std::string& name) {
    auto at = header.find(name + "=");
    if (at == std::string::npos)
        return {};
    at += name.size() + 1;
    return header.substr(at, header.find(',', at) - at);
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, separator);)
        parts.push_back(part);
    return parts;
}

std::string isoTime(std::int64_t seconds) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000Z", &utc);
    return text;
}

} // namespace

S3Stub::S3Stub(std::string bucket, std::string region)
    : bucket_(std::move(bucket)), region_(std::move(region)) {
    const std::string object = "/" + bucket_ + "/([^/]+)", whole = "/" + bucket_;
    auto onObject = [this](const httplib::Request& q, httplib::Response& r) { handleObject(q, r); };
    auto onBucket = [this](const httplib::Request& q, httplib::Response& r) { handleBucket(q, r); };
    http_.Get(object, onObject);
    http_.Put(object, onObject);
    http_.Delete(object, onObject);
    http_.Get(whole, onBucket);
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
    return "s3://" + bucket_ + "?endpoint=http://127.0.0.1:" + std::to_string(port_) +
           "&region=" + region_;
}

std::map<std::string, S3Stub::Object> S3Stub::objects() const {
    std::lock_guard lock(mutex_);
    return objects_;
}

void S3Stub::put(const std::string& key, const std::string& body) {
    std::lock_guard lock(mutex_);
    objects_[key] = {body, static_cast<std::int64_t>(std::time(nullptr))};
}

void S3Stub::age(std::int64_t seconds) {
    std::lock_guard lock(mutex_);
    for (auto& [key, object] : objects_)
        object.modified = seconds;
}

// The algorithm as the protocol's documentation states it, in one piece.
bool S3Stub::signedRight(const httplib::Request& q) const {
    const std::string authorization = q.get_header_value("Authorization");
    if (authorization.rfind("AWS4-HMAC-SHA256 ", 0) != 0)
        return false;
    const auto credential = split(field(authorization, "Credential"), '/');
    const std::string signedHeaders = field(authorization, "SignedHeaders");
    const std::string date = q.get_header_value("x-amz-date");
    if (credential.size() != 5 || credential[0] != kAccessKey || credential[2] != region_ ||
        credential[3] != "s3" || credential[4] != "aws4_request" ||
        date.substr(0, 8) != credential[1] ||
        signedHeaders.find("x-amz-content-sha256") == std::string::npos)
        return false;
    std::vector<std::string> query;
    for (const auto& [name, value] : q.params)
        query.push_back(encode(name, false) + "=" + encode(value, false));
    std::sort(query.begin(), query.end());
    std::string canonical = q.method + "\n" + encode(q.path, true) + "\n";
    for (std::size_t i = 0; i < query.size(); ++i)
        canonical += (i ? "&" : "") + query[i];
    canonical += "\n";
    for (const auto& name : split(signedHeaders, ';'))
        canonical += name + ":" + q.get_header_value(name.c_str()) + "\n";
    canonical += "\n" + signedHeaders + "\n" + q.get_header_value("x-amz-content-sha256");
    const std::string scope = credential[1] + "/" + region_ + "/s3/aws4_request";
    const std::string toSign =
        "AWS4-HMAC-SHA256\n" + date + "\n" + scope + "\n" + hexOf(sha256(canonical));
    std::string key = hmac(std::string("AWS4") + kSecretKey, credential[1]);
    key = hmac(hmac(hmac(key, region_), "s3"), "aws4_request");
    return field(authorization, "Signature") == hexOf(hmac(key, toSign));
}

void S3Stub::handleObject(const httplib::Request& q, httplib::Response& r) {
    if (!signedRight(q)) {
        ++refusedSignatures;
        r.status = 403;
        return;
    }
    const std::string key = q.matches[1];
    std::lock_guard lock(mutex_);
    if (q.method == "PUT") {
        if (failPuts || hexOf(sha256(q.body)) != q.get_header_value("x-amz-content-sha256") ||
            !q.has_header("Content-Length")) {
            r.status = failPuts ? 500 : 400;
            return;
        }
        objects_[key] = {q.body, static_cast<std::int64_t>(std::time(nullptr))};
        r.status = 200;
        return;
    }
    auto it = objects_.find(key);
    if (q.method == "DELETE") {
        if (it != objects_.end())
            objects_.erase(it);
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
    r.set_content(it->second.body, "application/octet-stream");
}

void S3Stub::handleBucket(const httplib::Request& q, httplib::Response& r) {
    if (!signedRight(q)) {
        ++refusedSignatures;
        r.status = 403;
        return;
    }
    if (q.method == "HEAD" || q.get_param_value("list-type") != "2") {
        r.status = 200;
        return;
    }
    std::lock_guard lock(mutex_);
    const std::string after = q.get_param_value("continuation-token");
    auto it = after.empty() ? objects_.begin() : objects_.upper_bound(after);
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ListBucketResult><Name>" +
                      bucket_ + "</Name>";
    std::string last;
    for (std::size_t n = 0; it != objects_.end() && n < pageSize; ++it, ++n) {
        xml += "<Contents><Key>" + it->first + "</Key><LastModified>" +
               isoTime(it->second.modified) + "</LastModified><Size>" +
               std::to_string(it->second.body.size()) + "</Size></Contents>";
        last = it->first;
    }
    const bool more = it != objects_.end();
    xml += std::string("<IsTruncated>") + (more ? "true" : "false") + "</IsTruncated>";
    if (more)
        xml += "<NextContinuationToken>" + last + "</NextContinuationToken>";
    r.set_content(xml + "</ListBucketResult>", "application/xml");
}

} // namespace servertest
