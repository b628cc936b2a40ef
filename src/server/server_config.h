#pragma once
// The service's configuration file: "name = value" lines, "#" comments.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace server {

struct ServerConfig {
    std::string listen = "127.0.0.1:8443"; // HOST:PORT; port 0 picks a free one
    std::string tlsCertificate;            // PEM chain; empty serves plain HTTP
    std::string tlsKey;
    std::string metadata;    // "sqlite:PATH"
    std::string blobs;       // "file:FOLDER" or "s3://BUCKET?endpoint=URL&region=NAME"
    std::string s3AccessKey; // the object store's keys, for s3:// bodies; never logged
    std::string s3SecretKey;
    std::string s3CaFile; // authorities of the object store's certificate; empty: the system's
    std::string uploads;  // folder for chunked uploads in progress
    std::string appKey;   // the client program's key and secret
    std::string appSecret;
    std::string publicUrl;        // "https://HOST[:PORT]" clients use, when a proxy stands in front
    std::string requestLog = "-"; // "-": standard error
    std::int64_t defaultQuota = 2LL * 1024 * 1024 * 1024;
    int threads = 64;
    std::int64_t keepRevisions = 10;     // states kept of each file
    std::int64_t collectInterval = 3600; // seconds between collections; 0: never

    std::string host() const;
    int port() const; // -1 when the listen address is malformed

    // Reads a file; nothing and the reason (with the line) otherwise.
    static std::optional<ServerConfig> load(const std::filesystem::path& file, std::string* error);
    std::string text() const;
};

} // namespace server
