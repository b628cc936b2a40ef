#pragma once
// mobrix-cloud's HTTP(S) service: the API, content and web roles on one
// address. Start binds, run serves until stop (from any thread, or SIGTERM in
// the program) lets the requests in progress finish.

#include "server_config.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace httplib {
class Server;
class ContentReader;
struct Request;
struct Response;
} // namespace httplib

namespace server {

class CloudService {
public:
    using Clock = std::function<std::int64_t()>; // seconds since 1970

    explicit CloudService(ServerConfig config, Clock clock = {});
    ~CloudService();
    CloudService(const CloudService&) = delete;
    CloudService& operator=(const CloudService&) = delete;

    // Opens the stores and binds the address. False and the reason otherwise.
    bool start(std::string* error);
    int port() const;
    // Serves until stop(); false when serving failed.
    bool run();
    void stop();

    // Removes unreferenced bodies older than `minimumAgeSeconds` and expired
    // chunked uploads now (the service also does it every collect_interval).
    // Gives the number of bodies removed.
    std::size_t collectGarbage(std::int64_t minimumAgeSeconds);

    // For tests, before start: `around` takes the place of the handling of
    // every request and calls `serve` for the service's own; `made` sees the
    // server once it is made.
    using Serve = std::function<void(const httplib::Request&, httplib::Response&,
                                     const httplib::ContentReader*)>;
    using Around = std::function<void(const httplib::Request&, httplib::Response&,
                                      const httplib::ContentReader*, const Serve& serve)>;
    void setTestHooks(Around around, std::function<void(httplib::Server&)> made);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace server
