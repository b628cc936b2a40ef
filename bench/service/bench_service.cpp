// Drives a file service with concurrent clients for a bounded time: three
// downloads to one upload, bodies of mixed sizes, one kept-alive TLS
// connection per client. Prints requests per second, throughput and the 99th
// percentile latency, per operation. Against mobrix-cloud every request is
// signed as the client signs it; against a plain server the same files are
// fetched with GET and sent with PUT.
//
// bench_service cloud|plain BASE_URL CA_FILE SECONDS CLIENTS [TOKEN SECRET]

#include "oauth_credential_concrete_store.h"
#include "oauth_keychain.h"
#include "oauth_url_request.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kSizes[] = {4 * 1024, 64 * 1024, 1024 * 1024, 8 * 1024 * 1024};

struct Settings {
    bool cloud = true;
    std::string base;
    std::string ca;
    int seconds = 15;
    int clients = 50;
    std::string token;
    std::string secret;
};

struct Sample {
    double milliseconds;
    std::size_t bytes;
    bool ok;
};

std::string body(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>('a' + (i * 7 + i / 4096) % 26);
    return text;
}

// The path and query of a request, signed like the client's when needed.
std::string target(const Settings& s, const std::string& path, bool upload) {
    if (!s.cloud)
        return path;
    OAuthCredentialConcreteStore store({{kOAuthCredentialConsumerKey, "q7w2k9x4m1z8r5t"},
                                        {kOAuthCredentialConsumerSecret, "h3n6p0v2c8j5y1f"},
                                        {kOAuthSignatureMethod, "PLAINTEXT"}},
                                       std::make_shared<OAuthMemoryKeychain>());
    store.setAccessToken(s.token);
    store.setAccessTokenSecret(s.secret);
    const std::string prefix = upload ? "/1/files_put/cloud" : "/1/files/cloud";
    OAuthURLRequest builder(s.base + prefix + path, store.oauthParameters());
    builder.setHTTPMethod(upload ? "POST" : "GET");
    auto request = upload ? builder.uploadRequestSignedWithSecret(store.signingKey(), "PLAINTEXT")
                          : builder.urlRequestSignedWithSecret(store.signingKey(), "PLAINTEXT");
    return request.url.substr(s.base.size());
}

std::unique_ptr<httplib::Client> connect(const Settings& s) {
    auto c = std::make_unique<httplib::Client>(s.base);
    c->set_ca_cert_path(s.ca.c_str());
    c->enable_server_certificate_verification(true);
    c->set_keep_alive(true);
    c->set_connection_timeout(10);
    c->set_read_timeout(60);
    c->set_write_timeout(60);
    return c;
}

bool send(httplib::Client& c, const Settings& s, const std::string& path, const std::string& data) {
    auto r = s.cloud ? c.Post(target(s, path, true).c_str(), data, "application/octet-stream")
                     : c.Put(path.c_str(), data, "application/octet-stream");
    return r && (r->status == 200 || r->status == 201 || r->status == 204);
}

std::size_t fetch(httplib::Client& c, const Settings& s, const std::string& path) {
    std::size_t got = 0;
    auto r = c.Get(target(s, path, false).c_str(), [&](const char*, std::size_t n) {
        got += n;
        return true;
    });
    return r && r->status == 200 ? got : 0;
}

void report(const char* what, std::vector<Sample>& samples, double seconds) {
    std::size_t ok = 0, bytes = 0;
    std::vector<double> times;
    for (const auto& s : samples) {
        if (s.ok) {
            ++ok;
            bytes += s.bytes;
            times.push_back(s.milliseconds);
        }
    }
    std::sort(times.begin(), times.end());
    const double p99 =
        times.empty() ? 0 : times[std::min(times.size() - 1, times.size() * 99 / 100)];
    std::printf("%-9s %7zu ok %5zu failed %9.1f req/s %9.1f MB/s  p99 %8.1f ms\n", what, ok,
                samples.size() - ok, ok / seconds, bytes / seconds / 1e6, p99);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(
            stderr,
            "usage: bench_service cloud|plain BASE_URL CA_FILE SECONDS CLIENTS [TOKEN SECRET]\n");
        return 2;
    }
    Settings s;
    s.cloud = std::string(argv[1]) == "cloud";
    s.base = argv[2];
    s.ca = argv[3];
    s.seconds = std::max(1, std::atoi(argv[4]));
    s.clients = std::clamp(std::atoi(argv[5]), 1, 200);
    if (s.cloud && argc >= 8) {
        s.token = argv[6];
        s.secret = argv[7];
    }
    std::vector<std::string> bodies;
    for (auto size : kSizes)
        bodies.push_back(body(size));
    // The files every client reads.
    {
        auto c = connect(s);
        for (std::size_t i = 0; i < bodies.size(); ++i) {
            if (!send(*c, s, "/bench/shared-" + std::to_string(i), bodies[i])) {
                std::fprintf(stderr, "bench_service: cannot prepare the files at %s\n",
                             s.base.c_str());
                return 1;
            }
        }
    }
    std::mutex mutex;
    std::vector<Sample> downloads, uploads;
    const auto end = Clock::now() + std::chrono::seconds(s.seconds);
    const auto started = Clock::now();
    std::vector<std::thread> clients;
    for (int id = 0; id < s.clients; ++id) {
        clients.emplace_back([&, id] {
            auto c = connect(s);
            std::vector<Sample> down, up;
            for (unsigned n = id; Clock::now() < end; ++n) {
                // Small files most of the time, large ones now and then.
                const std::size_t kind = (n % 10 < 5) ? 0 : (n % 10 < 8) ? 1 : (n % 10 < 9) ? 2 : 3;
                const auto t0 = Clock::now();
                Sample sample{};
                if (n % 4 == 3) {
                    sample.ok =
                        send(*c, s, "/bench/c" + std::to_string(id) + "-" + std::to_string(n % 8),
                             bodies[kind]);
                    sample.bytes = bodies[kind].size();
                } else {
                    sample.bytes = fetch(*c, s, "/bench/shared-" + std::to_string(kind));
                    sample.ok = sample.bytes == bodies[kind].size();
                }
                sample.milliseconds =
                    std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
                (n % 4 == 3 ? up : down).push_back(sample);
            }
            std::lock_guard lock(mutex);
            downloads.insert(downloads.end(), down.begin(), down.end());
            uploads.insert(uploads.end(), up.begin(), up.end());
        });
    }
    for (auto& t : clients)
        t.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    std::printf("%s, %d clients, %.1f s:\n", s.cloud ? "mobrix-cloud" : "plain server", s.clients,
                seconds);
    report("download", downloads, seconds);
    report("upload", uploads, seconds);
    std::vector<Sample> all = downloads;
    all.insert(all.end(), uploads.begin(), uploads.end());
    report("all", all, seconds);
    return 0;
}
