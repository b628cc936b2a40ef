#pragma once
// What the request handlers share: the configuration, the stores, the
// namespace and the signature check, and the pieces of one request.

#include "blob_store.h"
#include "cloud_namespace.h"
#include "metadata_store.h"
#include "oauth_verifier.h"
#include "request_log.h"
#include "server_config.h"

#include <httplib.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>

namespace server {

struct ServiceParts {
    ServerConfig config;
    std::function<std::int64_t()> clock;
    std::unique_ptr<MetadataStore> metadata;
    std::unique_ptr<BlobStore> blobs;
    std::unique_ptr<CloudNamespace> files;
    std::unique_ptr<OAuthVerifier> verifier;
    std::unique_ptr<RequestLog> log;
    std::mutex chunkMutex;     // one chunk append or commit at a time
    std::shared_mutex commits; // shared while a body is made visible; see garbage_collector.h
};

// One request on its way through the handlers.
struct Call {
    const httplib::Request& request;
    httplib::Response& response;
    const httplib::ContentReader* reader; // POST and PUT bodies, read by the handler
    std::string path;                     // raw path, still escaped
    Parameters parameters;                // query, then form body, decoded
    bool overTls = true;
    std::int64_t uid = 0;       // the signed-in account, once checked
    std::uint64_t streamed = 0; // length of a body sent by a content provider
};

// Answers with a JSON body.
void sendAnswer(Call& call, const ApiAnswer& answer);
// Reads a form body into the parameters (at most 64 KiB); false when it is too big.
bool readFormBody(Call& call);
// Reads and drops what is left of the body, so that the client, still
// sending, reads the answer instead of a reset connection. Past `most` bytes
// the connection is closed instead.
inline constexpr std::uint64_t kDrainForStrangers = 1 << 20;
void drainBody(Call& call, std::uint64_t most = UINT64_MAX);
// "%XX" undone, "+" taken as a space (form encoding).
std::string decodeFormValue(std::string_view text);
// The URL the client signed: the public address, or the Host it addressed.
std::string signedUrl(const ServiceParts& parts, const Call& call);
// Checks the signature; answers 401 and gives false when it does not hold.
bool authorize(ServiceParts& parts, Call& call, TokenNeed need, OAuthResult* result = nullptr);

// Splits the target into the raw path and the query's parameters.
void parseQuery(Call& call);

// Handlers of each group; true when the path was theirs.
bool handleLinkRequest(ServiceParts& parts, Call& call);
bool handleApiRequest(ServiceParts& parts, Call& call);
bool handleContentRequest(ServiceParts& parts, Call& call);

} // namespace server
