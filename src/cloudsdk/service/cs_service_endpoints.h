#pragma once
// Where the client talks to: the three hosts, an optional port and the trust
// anchors. The default is the service's own hosts with the pinned roots; only
// tests and the command line's explicit service options replace it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct CSServiceEndpoints {
    std::string apiHost;
    std::string contentHost;
    std::string webHost;
    std::optional<std::uint16_t> port;
    // DER of each anchor; ignored when usePinnedRoots is set.
    std::vector<std::string> trustAnchors;
    bool usePinnedRoots = true;

    // The service's hosts and the pinned roots.
    static CSServiceEndpoints defaults();

    // One host for all three roles ("https://HOST[:PORT]"), trusting only the
    // certificates of a PEM file. Fills `error` and gives nothing on failure.
    static std::optional<CSServiceEndpoints>
    forService(const std::string& url, const std::string& caPemFile, std::string* error = nullptr);

    // "host" or "host:port", as it goes into a URL.
    std::string apiAuthority() const { return authority(apiHost); }
    std::string contentAuthority() const { return authority(contentHost); }
    std::string webAuthority() const { return authority(webHost); }

private:
    std::string authority(const std::string& host) const;
};
