#pragma once
// A small S3-compatible object store for tests, on cpp-httplib at
// 127.0.0.1: one bucket kept in memory, every request's Signature Version 4
// checked by its own plain rendering of the algorithm (403 otherwise), and
// every PUT's body checked against its announced SHA-256 (400 otherwise).

#include <httplib.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace servertest {

class S3Stub {
public:
    static constexpr const char* kAccessKey = "STUBACCESSKEY0000001";
    static constexpr const char* kSecretKey = "stub/secret+key0000000000000000000000000";

    S3Stub();
    ~S3Stub();

    bool started() const { return port_ > 0; }
    // The blobs URL of its bucket.
    std::string url() const;
    std::map<std::string, std::string> objects() const;

    std::atomic<int> refusedSignatures{0};
    std::atomic<int> gets{0};
    std::atomic<std::uint64_t> largestRange{0};
    std::atomic<bool> failPuts{false};

private:
    void handleObject(const httplib::Request& request, httplib::Response& response);
    bool signedRight(const httplib::Request& request) const;

    httplib::Server http_;
    std::thread thread_;
    int port_ = -1;
    mutable std::mutex mutex_;
    std::map<std::string, std::string> objects_;
};

} // namespace servertest
