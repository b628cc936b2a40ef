#include "cloud_service.h"

#include "file_blob_store.h"
#include "garbage_collector.h"
#include "service_parts.h"

#include <chrono>
#include <condition_variable>
#include <ctime>
#include <filesystem>
#include <thread>

namespace server {

struct CloudService::Impl {
    ServiceParts parts;
    std::unique_ptr<httplib::Server> http;
    int port = -1;
    std::thread collector;
    std::mutex collectorMutex;
    std::condition_variable collectorWake;
    bool stopping = false;
    Around around;
    std::function<void(httplib::Server&)> made;

    std::size_t collect(std::int64_t minimumAge);
    void collectUntilStopped();

    void handle(const httplib::Request& request, httplib::Response& response,
                const httplib::ContentReader* reader);
    bool openStores(std::string* error);
    bool makeServer(std::string* error);
};

namespace {

std::int64_t systemClock() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

bool readable(const std::string& file) {
    std::error_code ec;
    return std::filesystem::is_regular_file(file, ec);
}

} // namespace

void CloudService::Impl::handle(const httplib::Request& request, httplib::Response& response,
                                const httplib::ContentReader* reader) {
    const auto started = std::chrono::steady_clock::now();
    // Behind a TLS proxy the operator names the https address clients use.
    const bool overTls =
        !parts.config.tlsCertificate.empty() || parts.config.publicUrl.rfind("https://", 0) == 0;
    Call call{request, response, reader, {}, {}, overTls, 0, 0};
    parseQuery(call);
    response.set_header("Cache-Control", "no-store");
    try {
        if (!handleLinkRequest(parts, call) && !handleApiRequest(parts, call) &&
            !handleContentRequest(parts, call)) {
            drainBody(call, kDrainForStrangers);
            sendAnswer(call, ApiAnswer::error(404, "Unknown operation"));
        }
    } catch (const std::exception& e) {
        parts.log->note(std::string("request failed: ") + e.what());
        sendAnswer(call, ApiAnswer::error(500, "Internal error"));
    }
    const auto length = request.get_header_value("Content-Length");
    RequestLogLine line;
    line.remote = request.remote_addr;
    line.method = request.method;
    line.path = call.path;
    line.status = response.status;
    line.received = length.empty() ? 0 : std::strtoull(length.c_str(), nullptr, 10);
    line.sent = call.streamed ? call.streamed : response.body.size();
    line.milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
            .count();
    line.uid = call.uid;
    parts.log->write(line);
}

bool CloudService::Impl::openStores(std::string* error) {
    auto& c = parts.config;
    std::error_code ec;
    std::filesystem::create_directories(c.uploads, ec);
    if (ec) {
        *error = "cannot make " + c.uploads + ": " + ec.message();
        return false;
    }
    parts.log = RequestLog::open(c.requestLog, error);
    parts.metadata = parts.log ? openMetadataStore(c.metadata, error) : nullptr;
    parts.blobs =
        parts.metadata
            ? openBlobStore(c.blobs, {c.s3AccessKey, c.s3SecretKey, c.s3CaFile, c.uploads}, error)
            : nullptr;
    if (!parts.blobs)
        return false;
    parts.files = std::make_unique<CloudNamespace>(
        *parts.metadata, parts.clock,
        static_cast<std::size_t>(std::max<std::int64_t>(1, c.keepRevisions)));
    parts.verifier = std::make_unique<OAuthVerifier>(
        OAuthVerifier::Settings{c.appKey, c.appSecret, 15 * 60}, *parts.metadata, parts.clock);
    return true;
}

bool CloudService::Impl::makeServer(std::string* error) {
    const auto& c = parts.config;
    if (!c.tlsCertificate.empty()) {
        if (!readable(c.tlsCertificate) || !readable(c.tlsKey)) {
            *error = "cannot read the TLS certificate or key (" + c.tlsCertificate + ", " +
                     c.tlsKey + ")";
            return false;
        }
        auto tls = std::make_unique<httplib::SSLServer>(c.tlsCertificate.c_str(), c.tlsKey.c_str());
        if (tls->is_valid())
            SSL_CTX_set_min_proto_version(tls->ssl_context(), TLS1_2_VERSION);
        http = std::move(tls);
    } else {
        http = std::make_unique<httplib::Server>();
    }
    if (!http->is_valid()) {
        *error = "the TLS certificate and key do not go together";
        return false;
    }
    const int threads = std::max(4, c.threads);
    http->new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    http->set_keep_alive_timeout(15);
    http->set_read_timeout(60);
    http->set_write_timeout(60);
    http->set_tcp_nodelay(true);
    const Serve own = [this](const httplib::Request& request, httplib::Response& response,
                             const httplib::ContentReader* reader) {
        handle(request, response, reader);
    };
    const Serve serve = !around
                            ? own
                            : Serve([own, around = around](const httplib::Request& request,
                                                           httplib::Response& response,
                                                           const httplib::ContentReader* reader) {
                                  around(request, response, reader, own);
                              });
    auto handler = [serve](const httplib::Request& request, httplib::Response& response,
                           const httplib::ContentReader& reader) {
        serve(request, response, &reader);
    };
    http->Get(".*", [serve](const httplib::Request& request, httplib::Response& response) {
        serve(request, response, nullptr);
    });
    http->Post(".*", handler);
    http->Put(".*", handler);
    if (made)
        made(*http);
    return true;
}

// A body stays at least this long before it can be collected: longer than
// any upload takes between its last byte and its commit.
constexpr std::int64_t kCollectAfter = 3600;

std::size_t CloudService::Impl::collect(std::int64_t minimumAge) {
    auto report = server::collectGarbage(*parts.metadata, *parts.blobs, parts.config.uploads,
                                         parts.commits, parts.clock(), minimumAge);
    if (report.bodies || report.uploads || report.failed) {
        parts.log->note("collected " + std::to_string(report.bodies) + " bodies and " +
                        std::to_string(report.uploads) + " expired uploads" +
                        (report.failed ? " (the store failed)" : ""));
    }
    return report.bodies;
}

void CloudService::Impl::collectUntilStopped() {
    const auto interval = std::chrono::seconds(parts.config.collectInterval);
    std::unique_lock lock(collectorMutex);
    while (!collectorWake.wait_for(lock, interval, [this] { return stopping; })) {
        lock.unlock();
        collect(kCollectAfter);
        lock.lock();
    }
}

CloudService::CloudService(ServerConfig config, Clock clock) : impl_(std::make_unique<Impl>()) {
    impl_->parts.config = std::move(config);
    impl_->parts.clock = clock ? std::move(clock) : Clock(systemClock);
}

CloudService::~CloudService() {
    stop();
}

bool CloudService::start(std::string* error) {
    std::string ignored;
    std::string& why = error ? *error : ignored;
    if (!impl_->openStores(&why) || !impl_->makeServer(&why))
        return false;
    const auto& c = impl_->parts.config;
    if (c.port() == 0) {
        impl_->port = impl_->http->bind_to_any_port(c.host().c_str());
    } else {
        impl_->port = impl_->http->bind_to_port(c.host().c_str(), c.port()) ? c.port() : -1;
    }
    if (impl_->port <= 0) {
        why = "cannot listen on " + c.listen;
        return false;
    }
    return true;
}

int CloudService::port() const {
    return impl_->port;
}

bool CloudService::run() {
    if (!impl_->http)
        return false;
    if (impl_->parts.config.collectInterval > 0 && !impl_->collector.joinable())
        impl_->collector = std::thread([this] { impl_->collectUntilStopped(); });
    return impl_->http->listen_after_bind();
}

void CloudService::stop() {
    {
        std::lock_guard lock(impl_->collectorMutex);
        impl_->stopping = true;
    }
    impl_->collectorWake.notify_all();
    if (impl_->http)
        impl_->http->stop();
    if (impl_->collector.joinable() && impl_->collector.get_id() != std::this_thread::get_id())
        impl_->collector.join();
}

void CloudService::setTestHooks(Around around, std::function<void(httplib::Server&)> made) {
    impl_->around = std::move(around);
    impl_->made = std::move(made);
}

std::size_t CloudService::collectGarbage(std::int64_t minimumAgeSeconds) {
    return impl_->parts.metadata ? impl_->collect(minimumAgeSeconds) : 0;
}

} // namespace server
