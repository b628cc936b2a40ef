// Base64 throughput and request signing cost, each beside a peer measured in
// the same run: OpenSSL's block codec for Base64, and for signing one bare
// HMAC-SHA1 over a base string of the same request (the least any HMAC-SHA1
// signer spends), so a ratio reads as "costs N digests".
#include "cs_base64.h"
#include "oauth_credential_concrete_store.h"
#include "oauth_url_request.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr size_t kPayload = 1 << 20;

std::string randomBytes(size_t n) {
    std::mt19937 random(42);
    std::string bytes(n, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

const std::string& payload() {
    static const std::string bytes = randomBytes(kPayload);
    return bytes;
}

std::string ourEncoding(const std::string& bytes) {
    size_t size = bytes.size() / 3 * 4 * 2 + 16;
    std::string out(size, '\0');
    CSBase64EncodeData(bytes.data(), bytes.size(), out.data(), &size);
    out.resize(size);
    return out;
}

std::string unbrokenEncoding(const std::string& bytes) {
    std::string out(4 * (bytes.size() / 3 + 1) + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                            reinterpret_cast<const unsigned char*>(bytes.data()),
                            static_cast<int>(bytes.size()));
    out.resize(static_cast<size_t>(n));
    return out;
}

void encodeOurs(benchmark::State& state) {
    const std::string& bytes = payload();
    std::string out(bytes.size() / 3 * 4 * 2 + 16, '\0');
    for (auto _ : state) {
        size_t size = out.size();
        CSBase64EncodeData(bytes.data(), bytes.size(), out.data(), &size);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void encodeOpenSSL(benchmark::State& state) {
    const std::string& bytes = payload();
    std::string out(bytes.size() / 3 * 4 + 16, '\0');
    for (auto _ : state) {
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                        reinterpret_cast<const unsigned char*>(bytes.data()),
                        static_cast<int>(bytes.size()));
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

// Decoding counts decoded bytes, so both sides are measured on the same unit.
void decodeOurs(benchmark::State& state, bool lines) {
    const std::string text = lines ? ourEncoding(payload()) : unbrokenEncoding(payload());
    std::string out(CSEstimateBas64DecodedDataSize(text.size()), '\0');
    for (auto _ : state) {
        size_t size = out.size();
        CSBase64DecodeData(text.data(), text.size(), out.data(), &size);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * payload().size()));
}

void decodeOursUnbroken(benchmark::State& state) {
    decodeOurs(state, false);
}
// The 72-character CR LF lines of the embedded certificates.
void decodeOursLines(benchmark::State& state) {
    decodeOurs(state, true);
}

void decodeOpenSSL(benchmark::State& state) {
    static const std::string text = unbrokenEncoding(payload());
    std::string out(text.size() / 4 * 3 + 3, '\0');
    for (auto _ : state) {
        EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                        reinterpret_cast<const unsigned char*>(text.data()),
                        static_cast<int>(text.size()));
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * payload().size()));
}

OAuthCredentialConcreteStore& store(const char* method) {
    static std::map<std::string, OAuthCredentialConcreteStore> stores;
    auto it = stores.find(method);
    if (it == stores.end()) {
        it = stores
                 .emplace(method, OAuthCredentialConcreteStore(
                                      {{kOAuthCredentialConsumerKey, "k8b2q0tvgn5x7aa"},
                                       {kOAuthCredentialConsumerSecret, "zq1v7y3l2n9c0ee"},
                                       {kOAuthSignatureMethod, method}},
                                      std::make_shared<OAuthMemoryKeychain>()))
                 .first;
        it->second.setAccessToken("x8d0fja2kq9w1mzl");
        it->second.setAccessTokenSecret("o3n7p1c5v9b2m4q6");
    }
    return it->second;
}

// One request as the REST client builds it: OAuth parameters, the operation's
// own, the builder, the signature.
void signRequest(benchmark::State& state, const char* method) {
    OAuthCredentialConcreteStore& credentials = store(method);
    for (auto _ : state) {
        URLRequestParameters parameters = credentials.oauthParameters();
        parameters.emplace_back("locale", "en");
        parameters.emplace_back("root", "cloud");
        parameters.emplace_back("path", "/Mobrix/Library/AddressBook.zip");
        OAuthURLRequest builder("https://api.example.com/1/fileops/delete", std::move(parameters));
        builder.setHTTPMethod("POST");
        CSSignedRequest request = builder.urlRequestSignedWithSecret(
            credentials.signingKey(), *credentials.signatureMethod());
        benchmark::DoNotOptimize(request.body.data());
    }
}

void signPlaintext(benchmark::State& state) {
    signRequest(state, "PLAINTEXT");
}
void signHmacSha1(benchmark::State& state) {
    signRequest(state, "HMAC-SHA1");
}

const std::string& sampleBaseString() {
    static const std::string base =
        "POST&https%3A%2F%2Fapi.example.com%2F1%2Ffileops%2Fdelete&locale%3Den%26oauth_consumer_"
        "key%"
        "3Dk8b2q0tvgn5x7aa%26oauth_nonce%3D6F1C1E0A-3B7D-4E2A-9C41-0D5E7B2A9F13%26oauth_signature_"
        "method%3DHMAC-SHA1%26oauth_timestamp%3D1796560000%26oauth_token%3Dx8d0fja2kq9w1mzl%"
        "26oauth_"
        "version%3D1.0%26path%3D%252FMobrix%252FLibrary%252FAddressBook.zip%26root%3Dcloud";
    return base;
}

void peerHmacSha1(benchmark::State& state) {
    const std::string key = "zq1v7y3l2n9c0ee&o3n7p1c5v9b2m4q6";
    const std::string& base = sampleBaseString();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    for (auto _ : state) {
        HMAC(EVP_sha1(), key.data(), static_cast<int>(key.size()),
             reinterpret_cast<const unsigned char*>(base.data()), base.size(), digest, &length);
        benchmark::DoNotOptimize(digest);
    }
}

class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            auto bytes = run.counters.find("bytes_per_second");
            results[run.run_name.function_name] = {
                run.GetAdjustedRealTime(),
                bytes == run.counters.end() ? 0.0 : double(bytes->second) / 1e6};
        }
        ConsoleReporter::ReportRuns(runs);
    }
    struct Result {
        double timePerIteration;
        double megabytesPerSecond;
    };
    std::map<std::string, Result> results;
};

} // namespace

BENCHMARK(encodeOurs)->Name("base64_encode/ours");
BENCHMARK(encodeOpenSSL)->Name("base64_encode/openssl");
BENCHMARK(decodeOursUnbroken)->Name("base64_decode/ours");
BENCHMARK(decodeOursLines)->Name("base64_decode/ours_lines");
BENCHMARK(decodeOpenSSL)->Name("base64_decode/openssl");
BENCHMARK(signPlaintext)->Name("sign/plaintext");
BENCHMARK(signHmacSha1)->Name("sign/hmac_sha1");
BENCHMARK(peerHmacSha1)->Name("sign/bare_hmac_sha1");

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& r = reporter.results;
    auto speed = [&](const char* ours, const char* peer) {
        if (!r.count(ours) || !r.count(peer))
            return;
        std::printf("%-24s %9.1f MB/s  peer %9.1f MB/s  ratio %.2f\n", ours,
                    r[ours].megabytesPerSecond, r[peer].megabytesPerSecond,
                    r[ours].megabytesPerSecond / r[peer].megabytesPerSecond);
    };
    auto cost = [&](const char* ours, const char* peer) {
        if (!r.count(ours) || !r.count(peer))
            return;
        std::printf("%-24s %9.0f ns/request  peer %7.0f ns  ratio %.2f\n", ours,
                    r[ours].timePerIteration, r[peer].timePerIteration,
                    r[ours].timePerIteration / r[peer].timePerIteration);
    };
    std::printf("\nratios (throughput: ours / OpenSSL; cost: ours / bare peer)\n");
    speed("base64_encode/ours", "base64_encode/openssl");
    speed("base64_decode/ours", "base64_decode/openssl");
    speed("base64_decode/ours_lines", "base64_decode/openssl");
    cost("sign/plaintext", "sign/bare_hmac_sha1");
    cost("sign/hmac_sha1", "sign/bare_hmac_sha1");
    benchmark::Shutdown();
    return 0;
}
