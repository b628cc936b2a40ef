#include "s3_client.h"

#include "cs_escaping.h"
#include "cs_query_string.h"

#include <curl/curl.h>

#include <cerrno>
#include <ctime>
#include <unistd.h>

namespace server {

namespace {

constexpr std::size_t kMostKeptBody = 4 * 1024 * 1024;
const char* const kNoBodyHash = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

bool validBucket(const std::string& name) {
    if (name.size() < 3 || name.size() > 63)
        return false;
    for (char c : name) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.'))
            return false;
    }
    return true;
}

std::optional<S3Location> fail(std::string* error, const std::string& why) {
    if (error)
        *error =
            "the object store URL " + why + " (s3://BUCKET?endpoint=https://HOST:PORT&region=NAME)";
    return std::nullopt;
}

struct Transfer {
    CURL* curl;
    const S3Call& call;
    S3Answer& answer;
    std::uint64_t sent = 0;
};

std::size_t receive(char* data, std::size_t size, std::size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    long status = 0;
    curl_easy_getinfo(t.curl, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 200 && status < 300 && t.call.sink)
        return t.call.sink(data, bytes) ? bytes : 0;
    if (t.answer.body.size() + bytes > kMostKeptBody)
        return 0;
    t.answer.body.append(data, bytes);
    return bytes;
}

std::size_t supply(char* buffer, std::size_t size, std::size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const std::size_t want = std::min<std::uint64_t>(size * count, t.call.uploadSize - t.sent);
    for (;;) {
        ssize_t n = ::pread(t.call.uploadFd, buffer, want, static_cast<off_t>(t.sent));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || (n == 0 && want > 0))
            return CURL_READFUNC_ABORT;
        t.sent += static_cast<std::uint64_t>(n);
        return static_cast<std::size_t>(n);
    }
}

// Frees a header list when it goes.
struct HeaderList {
    curl_slist* list = nullptr;
    ~HeaderList() { curl_slist_free_all(list); }
    void add(const std::string& line) { list = curl_slist_append(list, line.c_str()); }
};

std::int64_t systemClock() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

} // namespace

std::optional<S3Location> parseS3Url(const std::string& url, std::string* error) {
    if (url.rfind("s3://", 0) != 0)
        return fail(error, "does not start with s3://");
    const std::string rest = url.substr(5);
    const auto question = rest.find('?');
    S3Location location;
    location.bucket = rest.substr(0, question);
    if (!validBucket(location.bucket))
        return fail(error, "names no valid bucket");
    std::string unknown;
    const std::string query = question == std::string::npos ? "" : rest.substr(question + 1);
    forEachQueryPiece(query, [&](std::string_view name, std::optional<std::string_view> raw) {
        const std::string value = stringByRemovingPercentEscapes(raw.value_or(""));
        if (name == "endpoint")
            location.endpoint = value;
        else if (name == "region" && !value.empty())
            location.region = value;
        else if (unknown.empty())
            unknown = name;
    });
    if (!unknown.empty())
        return fail(error, "has an unknown parameter \"" + unknown + "\"");
    while (!location.endpoint.empty() && location.endpoint.back() == '/')
        location.endpoint.pop_back();
    const auto scheme = location.endpoint.find("://");
    const std::string head = location.endpoint.substr(0, scheme);
    if (scheme == std::string::npos || (head != "http" && head != "https"))
        return fail(error, "needs an http or https endpoint");
    location.authority = location.endpoint.substr(scheme + 3);
    if (location.authority.empty() ||
        location.authority.find_first_of("/?#@ ") != std::string::npos)
        return fail(error, "needs an endpoint of a scheme, a host and a port only");
    return location;
}

S3Client::S3Client(S3Location location, SigV4Credentials credentials, std::string caFile,
                   Clock clock)
    : location_(std::move(location)), credentials_(std::move(credentials)),
      caFile_(std::move(caFile)), clock_(clock ? std::move(clock) : Clock(systemClock)) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    credentials_.region = location_.region;
    credentials_.service = "s3";
}

S3Client::~S3Client() {
    for (void* handle : idle_)
        curl_easy_cleanup(static_cast<CURL*>(handle));
}

void* S3Client::takeHandle() {
    {
        std::lock_guard lock(mutex_);
        if (!idle_.empty()) {
            void* handle = idle_.back();
            idle_.pop_back();
            return handle;
        }
    }
    return curl_easy_init();
}

void S3Client::giveBack(void* handle) {
    curl_easy_reset(static_cast<CURL*>(handle));
    std::lock_guard lock(mutex_);
    idle_.push_back(handle);
}

S3Answer S3Client::send(const S3Call& call) {
    S3Answer answer;
    CURL* curl = static_cast<CURL*>(takeHandle());
    if (!curl) {
        answer.error = "cannot make a transfer";
        return answer;
    }
    const std::string path = "/" + location_.bucket + (call.key.empty() ? "" : "/" + call.key);
    SigV4Request request{call.method, path, call.query, {}, call.payloadHash};
    if (request.payloadHash.empty())
        request.payloadHash = kNoBodyHash;
    const std::string timestamp = sigv4Timestamp(clock_());
    request.headers = {{"host", location_.authority},
                       {"x-amz-content-sha256", request.payloadHash},
                       {"x-amz-date", timestamp}};
    if (!call.range.empty())
        request.headers.emplace_back("range", call.range);
    HeaderList headers;
    for (const auto& [name, value] : request.headers)
        headers.add(name + ": " + value);
    headers.add("Authorization: " + sigv4Authorization(request, credentials_, timestamp));
    headers.add("Expect:");
    std::string url = location_.endpoint + sigv4Escape(path, true);
    for (std::size_t i = 0; i < call.query.size(); ++i) {
        url += (i ? "&" : "?") + sigv4Escape(call.query[i].first, false) + "=" +
               sigv4Escape(call.query[i].second, false);
    }

    Transfer transfer{curl, call, answer};
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.list);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 15L);
    // A store that stops moving for a minute is given up on.
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 60L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, receive);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    if (!caFile_.empty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, caFile_.c_str());
    if (call.method == "PUT") {
        curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(curl, CURLOPT_READFUNCTION, supply);
        curl_easy_setopt(curl, CURLOPT_READDATA, &transfer);
        curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(call.uploadSize));
    } else if (call.method == "HEAD") {
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    } else if (call.method != "GET") {
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, call.method.c_str());
    }
    const CURLcode code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.status);
    curl_off_t length = -1;
    curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    answer.contentLength = length;
    if (code != CURLE_OK) {
        answer.error = curl_easy_strerror(code);
        if (answer.status >= 200 && answer.status < 300)
            answer.status = 0; // cut short: not a success
    }
    giveBack(curl);
    return answer;
}

} // namespace server
