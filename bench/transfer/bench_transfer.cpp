// Download and upload of a large file (1 GiB; MOBRIX_BENCH_TRANSFER_MB to
// change) by the request engine against the curl command line, interleaved,
// median of MOBRIX_BENCH_RUNS runs (3). Two servers: the test service
// (mobrix-cloud), which reads request bodies in 4 KiB pieces and so caps uploads, and a
// minimal HTTPS sink. Both run in child processes, so that the client's CPU
// time and peak memory are its own. Downloads land on a memory file system
// when there is one: the client syncs its file before the rename, curl does
// not, and a disk flush would measure the disk.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cloud_test_service.h"
#include "cs_request.h"
#include "cs_service_endpoints.h"
#include "cs_trust.h"
#include "https_sink.h"
#include "oauth_credential_concrete_store.h"
#include "oauth_url_request.h"
#include "private_home.h"
#include "qt_wait.h"
#include "test_pki.h"
#include <httplib.h>

using namespace testsupport;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kAppKey = "q7w2k9x4m1z8r5t";
constexpr const char* kAppSecret = "h3n6p0v2c8j5y1f";

struct Sample {
    double wall = 0; // seconds
    double cpu = 0;  // user + system seconds
    long peakKb = 0; // resident peak
    bool ok = false;
};

double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

double cpuOf(const rusage& u) {
    return seconds(u.ru_utime) + seconds(u.ru_stime);
}

long peakRssKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return -1;
}

// Resets the peak so that a later reading covers only what follows.
void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

bool makeFile(const fs::path& path, std::uint64_t bytes) {
    std::ofstream out(path, std::ios::binary);
    std::vector<char> block(1 << 20);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>((i * 2654435761u) >> 13);
    for (std::uint64_t written = 0; written < bytes; written += block.size()) {
        out.write(block.data(), static_cast<std::streamsize>(
                                    std::min<std::uint64_t>(block.size(), bytes - written)));
    }
    return static_cast<bool>(out);
}

// A server in a child process: `start` runs there and returns the line the
// parent reads back; the child lives until the parent closes its pipe.
struct Child {
    pid_t pid = -1;
    int keepAlive = -1;
    std::string line;
};

Child spawn(const std::function<std::string()>& start) {
    int up[2], down[2];
    if (::pipe(up) != 0 || ::pipe(down) != 0)
        return {};
    Child c;
    c.pid = ::fork();
    if (c.pid == 0) {
        ::close(up[0]);
        ::close(down[1]);
        const std::string line = start() + "\n";
        (void)!::write(up[1], line.data(), line.size());
        char byte;
        while (::read(down[0], &byte, 1) > 0) {
        }
        _exit(0);
    }
    ::close(up[1]);
    ::close(down[0]);
    c.keepAlive = down[1];
    char buf[512];
    const ssize_t n = ::read(up[0], buf, sizeof buf - 1);
    ::close(up[0]);
    c.line = n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
    return c;
}

void stop(Child& c) {
    if (c.pid <= 0)
        return;
    ::close(c.keepAlive);
    ::kill(c.pid, SIGTERM);
    ::waitpid(c.pid, nullptr, 0);
    c.pid = -1;
}

Sample runCurl(const std::vector<std::string>& args) {
    Sample s;
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char*> argv{const_cast<char*>("curl")};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execvp("curl", argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    s.wall = std::chrono::duration<double>(Clock::now() - start).count();
    s.cpu = cpuOf(usage);
    s.peakKb = usage.ru_maxrss;
    s.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return s;
}

// One request of the engine, from start to completion.
Sample runClient(const CSSignedRequest& request, const CSServiceEndpoints& endpoints,
                 const std::function<void(CSRequest&)>& setup) {
    Sample s;
    resetPeak();
    rusage before{}, after{};
    ::getrusage(RUSAGE_SELF, &before);
    const auto start = Clock::now();
    bool done = false;
    CSRequest r(
        request, [&](CSRequest*) { done = true; }, endpoints);
    setup(r);
    waitUntil([&] { return done; }, 30 * 60 * 1000);
    s.wall = std::chrono::duration<double>(Clock::now() - start).count();
    ::getrusage(RUSAGE_SELF, &after);
    s.cpu = cpuOf(after) - cpuOf(before);
    s.peakKb = peakRssKb();
    s.ok = done && !r.error() && r.statusCode() == 200;
    if (r.error())
        std::fprintf(stderr, "bench_transfer: %s\n", r.error()->description().c_str());
    return s;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct Series {
    std::vector<Sample> client, curl;
};

void report(const char* server, const char* direction, const Series& s, double gib) {
    auto pick = [](const std::vector<Sample>& v, double Sample::*field) {
        std::vector<double> out;
        for (const auto& x : v)
            out.push_back(x.*field);
        return median(out);
    };
    auto peak = [](const std::vector<Sample>& v) {
        long m = 0;
        for (const auto& x : v)
            m = std::max(m, x.peakKb);
        return m / 1024.0;
    };
    const double wc = pick(s.client, &Sample::wall), wu = pick(s.curl, &Sample::wall);
    const double cc = pick(s.client, &Sample::cpu) / gib, cu = pick(s.curl, &Sample::cpu) / gib;
    const double pc = peak(s.client);
    std::printf("  %-12s %-8s  wall %6.2f s vs %6.2f s  ratio %.2f %-5s  CPU %5.2f s/GiB vs %5.2f "
                "s/GiB  ratio %.2f %-5s  peak %5.1f MB vs %5.1f MB %s\n",
                server, direction, wc, wu, wu / wc, wu / wc >= 0.95 ? "ok" : "BELOW", cc, cu,
                cu / cc, cu / cc >= 0.95 ? "ok" : "BELOW", pc, peak(s.curl),
                pc < 32 ? "ok" : "ABOVE");
}

struct Target {
    const char* name;
    std::function<CSSignedRequest()> get; // signed afresh: a nonce is taken once
    std::function<CSSignedRequest()> put;
    std::function<bool()> checkUpload; // after each upload
};

bool runTarget(const Target& t, const CSServiceEndpoints& endpoints, int runs,
               const fs::path& caFile, const fs::path& source, const fs::path& downloads,
               std::uint64_t bytes, Series& down, Series& up) {
    const fs::path ours = downloads / "client.bin", theirs = downloads / "curl.bin";
    const std::string ca = caFile.string();
    for (int run = 0; run < runs; ++run) {
        // Alternate who goes first: the machine is shared and caches warm up.
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == (run % 2 == 0)) {
                Sample s =
                    runClient(t.get(), endpoints, [&](CSRequest& r) { r.setResultFilename(ours); });
                s.ok = s.ok && fs::file_size(ours) == bytes;
                fs::remove(ours);
                down.client.push_back(s);
                Sample u =
                    runClient(t.put(), endpoints, [&](CSRequest& r) { r.setSourcePath(source); });
                u.ok = u.ok && t.checkUpload();
                up.client.push_back(u);
                CSCloseIdleConnections();
                if (!s.ok || !u.ok)
                    return false;
            } else {
                Sample s = runCurl({"-sS", "-f", "--cacert", ca, "-H", "Accept-Encoding: identity",
                                    "-o", theirs.string(), t.get().url});
                s.ok = s.ok && fs::file_size(theirs) == bytes;
                fs::remove(theirs);
                down.curl.push_back(s);
                Sample u = runCurl({"-sS", "-f", "--cacert", ca, "-o", "/dev/null", "-X", "POST",
                                    "-H", "Expect:", "-T", source.string(), t.put().url});
                u.ok = u.ok && t.checkUpload();
                up.curl.push_back(u);
                if (!s.ok || !u.ok)
                    return false;
            }
        }
    }
    return true;
}

CSSignedRequest sign(OAuthCredentialConcreteStore& store, const std::string& url, bool upload) {
    OAuthURLRequest builder(url, store.oauthParameters());
    builder.setHTTPMethod(upload ? "POST" : "GET");
    return upload ? builder.uploadRequestSignedWithSecret(store.signingKey(), "PLAINTEXT")
                  : builder.urlRequestSignedWithSecret(store.signingKey(), "PLAINTEXT");
}

} // namespace

int main(int argc, char** argv) {
    const char* mbText = std::getenv("MOBRIX_BENCH_TRANSFER_MB");
    const char* runsText = std::getenv("MOBRIX_BENCH_RUNS");
    const std::uint64_t mb = mbText ? std::strtoull(mbText, nullptr, 10) : 1024;
    const int runs = runsText ? std::max(1, std::atoi(runsText)) : 3;
    const std::uint64_t bytes = mb << 20;

    PrivateHome env;
    const fs::path local = env.makeFolder("local");
    const fs::path downloads =
        fs::is_directory("/dev/shm") ? fs::path("/dev/shm") / env.root().filename() : local;
    fs::create_directories(downloads);
    const TestCertificate root = makeRootCA("Bench Root");
    const TestCertificate server = issueServerCertificate(root);
    const fs::path caFile = env.root() / "ca.pem";
    root.writePem(caFile.string());
    if (!makeFile(local / "up.bin", bytes)) {
        std::fprintf(stderr, "bench_transfer: cannot write the test files\n");
        return 1;
    }

    // The servers start before the client's application object exists.
    Child service = spawn([&] {
        CloudTestService::Options options;
        options.serverCertificate = server;
        static CloudTestService s(options);
        // The file to download has the same bytes as the one to upload.
        std::ifstream big(local / "up.bin", std::ios::binary);
        if (!s.start() || !s.putFile("/big.bin", big))
            return std::string("0");
        const auto token = s.issueAccessToken("1001");
        return std::to_string(s.port()) + " " + token.token + " " + token.secret;
    });
    Child sink = spawn([&] { return std::to_string(bench::startHttpsSink(server, bytes)); });
    std::istringstream serviceLine(service.line);
    int servicePort = 0, sinkPort = std::atoi(sink.line.c_str());
    std::string token, secret;
    serviceLine >> servicePort >> token >> secret;
    if (servicePort <= 0 || sinkPort <= 0) {
        std::fprintf(stderr, "bench_transfer: a server did not start\n");
        return 1;
    }

    QCoreApplication app(argc, argv);
    CSServiceEndpoints endpoints;
    endpoints.apiHost = endpoints.contentHost = endpoints.webHost = "127.0.0.1";
    endpoints.trustAnchors = {root.der()};
    endpoints.usePinnedRoots = false;

    OAuthCredentialConcreteStore store({{kOAuthCredentialConsumerKey, kAppKey},
                                        {kOAuthCredentialConsumerSecret, kAppSecret},
                                        {kOAuthSignatureMethod, "PLAINTEXT"}},
                                       std::make_shared<OAuthMemoryKeychain>());
    store.setAccessToken(token);
    store.setAccessTokenSecret(secret);
    const std::string serviceBase = "https://127.0.0.1:" + std::to_string(servicePort) + "/1";
    const std::string sinkBase = "https://127.0.0.1:" + std::to_string(sinkPort) + "/1";
    // What the service holds after an upload, asked through its API.
    const auto landed = [&] {
        httplib::SSLClient client("127.0.0.1", servicePort);
        client.set_ca_cert_path(caFile.c_str());
        client.enable_server_certificate_verification(true);
        const auto request = sign(store, serviceBase + "/metadata/cloud/uploads/up.bin", false);
        auto answer = client.Get(request.url.substr(request.url.find("/1/")).c_str());
        return answer && answer->status == 200 &&
               answer->body.find("\"bytes\":" + std::to_string(bytes)) != std::string::npos;
    };
    const std::vector<Target> targets = {
        {"test service", [&] { return sign(store, serviceBase + "/files/cloud/big.bin", false); },
         [&] { return sign(store, serviceBase + "/files_put/cloud/uploads/up.bin", true); },
         landed},
        {"https sink", [&] { return sign(store, sinkBase + "/files/cloud/big.bin", false); },
         [&] { return sign(store, sinkBase + "/files_put/cloud/up.bin", true); },
         [] { return true; }},
    };

    std::printf("transfer of %llu MiB, client (request engine) against the curl command line, "
                "interleaved, median of %d runs;\nratio = curl / client (goal >= 0.95), CPU = user "
                "+ system seconds per GiB, peak = resident peak (goal < 32 MB)\n",
                static_cast<unsigned long long>(mb), runs);
    const double gib = static_cast<double>(bytes) / (1 << 30);
    bool ok = true;
    for (const auto& t : targets) {
        Series down, up;
        if (!runTarget(t, endpoints, runs, caFile, local / "up.bin", downloads, bytes, down, up)) {
            std::fprintf(stderr, "bench_transfer: a transfer through the %s failed\n", t.name);
            ok = false;
            break;
        }
        report(t.name, "download", down, gib);
        report(t.name, "upload", up, gib);
        std::fflush(stdout);
    }
    stop(service);
    stop(sink);
    fs::remove_all(downloads);
    return ok ? 0 : 1;
}
