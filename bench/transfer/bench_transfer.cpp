// Download and upload of a large file (1 GiB; MOBRIX_BENCH_TRANSFER_MB to
// change) through the local HTTPS service: the REST client against curl on
// the same service in the same run, and the client's peak memory.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "cs_rest_client.h"
#include "cs_trust.h"
#include "local_cloud.h"
#include "qt_wait.h"
#include "test_environment.h"

using namespace testsupport;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

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

// Runs curl with the arguments; seconds taken, or a negative value on failure.
double runCurl(const std::vector<std::string>& args) {
    const auto start = Clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>("curl"));
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp("curl", argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const char* mbText = std::getenv("MOBRIX_BENCH_TRANSFER_MB");
    const std::uint64_t mb = mbText ? std::strtoull(mbText, nullptr, 10) : 1024;
    const std::uint64_t bytes = mb << 20;

    TestEnvironment env;
    const fs::path storage = env.makeFolder("account");
    const fs::path local = env.makeFolder("local");
    LocalCloud cloud(storage);
    if (!cloud.started()) {
        std::fprintf(stderr, "bench_transfer: the local service did not start\n");
        return 1;
    }
    const auto token = cloud.service().issueAccessToken("1001");
    auto session = std::make_shared<CSSession>("q7w2k9x4m1z8r5t", "h3n6p0v2c8j5y1f", "cloud");
    session->setAccessToken(token.token, token.secret, "1001");
    auto client = CSRestClient::initWithSession(session);
    const fs::path caFile = env.root() / "ca.pem";
    cloud.root().writePem(caFile.string());

    if (!makeFile(storage / "big.bin", bytes) || !makeFile(local / "up.bin", bytes)) {
        std::fprintf(stderr, "bench_transfer: cannot write the test files\n");
        return 1;
    }

    bool done = false;
    std::optional<CSError> error;
    CSRestClientDelegate d;
    d.loadedFile = [&](CSRestClient*, const std::string&) { done = true; };
    d.loadFileFailedWithError = [&](CSRestClient*, const CSError& e) {
        error = e;
        done = true;
    };
    d.uploadedFileFromMetadata = [&](CSRestClient*, const std::string&, const std::string&,
                                     const CSMetadata&) { done = true; };
    d.uploadFileFailedWithError = [&](CSRestClient*, const CSError& e) {
        error = e;
        done = true;
    };
    client->setDelegate(d);
    const int timeoutMs = 30 * 60 * 1000;

    const CSSignedRequest get =
        client->requestWithHost(cloud.endpoints().contentAuthority(), "/files/cloud/big.bin", {});
    OAuthCredentialConcreteStore* store = session->credentialStoreForUserId(std::string("1001"));
    OAuthURLRequest builder("https://" + cloud.endpoints().contentAuthority() +
                                "/1/files_put/cloud/uploads/curl.bin",
                            store->oauthParameters());
    builder.setHTTPMethod("POST");
    const CSSignedRequest put =
        builder.uploadRequestSignedWithSecret(store->signingKey(), "PLAINTEXT");

    const long baseline = peakRssKb();
    // Each side runs twice, alternating, and keeps its best time: the machine is shared.
    double oursDown = 1e9, oursUp = 1e9, curlDown = 1e9, curlUp = 1e9;
    long peakDown = 0, peakUp = 0;
    for (int round = 0; round < 2; ++round) {
        done = false;
        resetPeak();
        auto start = Clock::now();
        client->loadFile("/big.bin", (local / "down.bin").string());
        waitUntil([&] { return done; }, timeoutMs);
        oursDown = std::min(oursDown, std::chrono::duration<double>(Clock::now() - start).count());
        peakDown = std::max(peakDown, peakRssKb());
        if (error || fs::file_size(local / "down.bin") != bytes) {
            std::fprintf(stderr, "bench_transfer: download failed\n");
            return 1;
        }
        fs::remove(local / "down.bin");

        done = false;
        resetPeak();
        start = Clock::now();
        client->uploadFile("up.bin", "/uploads", (local / "up.bin").string());
        waitUntil([&] { return done; }, timeoutMs);
        oursUp = std::min(oursUp, std::chrono::duration<double>(Clock::now() - start).count());
        peakUp = std::max(peakUp, peakRssKb());
        if (error || fs::file_size(storage / "uploads/up.bin") != bytes) {
            std::fprintf(stderr, "bench_transfer: upload failed\n");
            return 1;
        }
        fs::remove(storage / "uploads/up.bin");
        CSCloseIdleConnections();

        // curl on the same service, with the same kind of signed addresses.
        const double d = runCurl({"-sS", "-f", "--cacert", caFile.string(), "-o",
                                  (local / "curl.bin").string(), get.url});
        if (d < 0)
            curlDown = -1;
        if (curlDown > 0)
            curlDown = std::min(curlDown, d);
        fs::remove(local / "curl.bin");
        const double u = runCurl({"-sS", "-f", "--cacert", caFile.string(), "-o", "/dev/null", "-X",
                                  "POST", "-H", "Content-Type: application/octet-stream", "-T",
                                  (local / "up.bin").string(), put.url});
        if (u < 0)
            curlUp = -1;
        if (curlUp > 0)
            curlUp = std::min(curlUp, u);
    }

    const double mib = static_cast<double>(bytes) / (1 << 20);
    std::printf("transfer of %llu MiB through the local HTTPS service\n",
                static_cast<unsigned long long>(mb));
    std::printf("  download: client %.1f MiB/s, curl %.1f MiB/s, ratio %.2f (goal >= 0.90)\n",
                mib / oursDown, curlDown > 0 ? mib / curlDown : 0.0,
                curlDown > 0 ? curlDown / oursDown : 0.0);
    std::printf("  upload:   client %.1f MiB/s, curl %.1f MiB/s, ratio %.2f (goal >= 0.90)\n",
                mib / oursUp, curlUp > 0 ? mib / curlUp : 0.0, curlUp > 0 ? curlUp / oursUp : 0.0);
    std::printf("  peak memory of the process (client and service): download %.1f MB, upload %.1f "
                "MB (goal < 64 MB);"
                " %.1f MB before the first transfer\n",
                peakDown / 1024.0, peakUp / 1024.0, baseline / 1024.0);
    client.reset();
    return curlDown > 0 && curlUp > 0 ? 0 : 1;
}
