#include "server_config.h"

#include "decimal.h"

#include <fstream>
#include <sstream>

namespace server {

namespace {

std::string trim(const std::string& text) {
    const char* blanks = " \t\r";
    auto begin = text.find_first_not_of(blanks);
    if (begin == std::string::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(blanks) - begin + 1);
}

bool assign(ServerConfig& config, const std::string& name, const std::string& value) {
    std::string* texts[] = {&config.listen,     &config.tlsCertificate, &config.tlsKey,
                            &config.metadata,   &config.blobs,          &config.uploads,
                            &config.appKey,     &config.appSecret,      &config.publicUrl,
                            &config.requestLog, &config.s3AccessKey,    &config.s3SecretKey,
                            &config.s3CaFile};
    const char* names[] = {"listen",     "tls_certificate", "tls_key",       "metadata",
                           "blobs",      "uploads",         "app_key",       "app_secret",
                           "public_url", "request_log",     "s3_access_key", "s3_secret_key",
                           "s3_ca_file"};
    for (std::size_t i = 0; i < std::size(names); ++i) {
        if (name == names[i]) {
            *texts[i] = value;
            return true;
        }
    }
    std::int64_t* numbers[] = {&config.defaultQuota, &config.keepRevisions,
                               &config.collectInterval};
    const char* numberNames[] = {"default_quota", "keep_revisions", "collect_interval"};
    for (std::size_t i = 0; i < std::size(numberNames); ++i) {
        if (name == numberNames[i]) {
            auto n = parseDecimal(value, 18);
            if (n)
                *numbers[i] = *n;
            return n.has_value();
        }
    }
    if (name == "threads") {
        auto n = parseDecimal(value, 18);
        if (n)
            config.threads = static_cast<int>(std::min<std::int64_t>(*n, 1024));
        return n.has_value();
    }
    return false;
}

} // namespace

std::string ServerConfig::host() const {
    auto colon = listen.rfind(':');
    return colon == std::string::npos ? listen : listen.substr(0, colon);
}

int ServerConfig::port() const {
    auto colon = listen.rfind(':');
    if (colon == std::string::npos)
        return -1;
    auto n = parseDecimal(listen.substr(colon + 1), 18);
    return n && *n <= 65535 ? static_cast<int>(*n) : -1;
}

std::optional<ServerConfig> ServerConfig::load(const std::filesystem::path& file,
                                               std::string* error) {
    std::ifstream in(file);
    if (!in) {
        if (error)
            *error = "cannot read " + file.string();
        return std::nullopt;
    }
    ServerConfig config;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        line = trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        auto eq = line.find('=');
        if (eq == std::string::npos ||
            !assign(config, trim(line.substr(0, eq)), trim(line.substr(eq + 1)))) {
            if (error)
                *error = file.string() + ":" + std::to_string(number) + ": cannot read \"" +
                         trim(line.substr(0, eq)) + "\"";
            return std::nullopt;
        }
    }
    if (config.metadata.empty() || config.blobs.empty() || config.uploads.empty() ||
        config.appKey.empty() || config.appSecret.empty() || config.port() < 0) {
        if (error)
            *error = file.string() +
                     ": listen, metadata, blobs, uploads, app_key and app_secret are needed";
        return std::nullopt;
    }
    return config;
}

std::string ServerConfig::text() const {
    std::ostringstream out;
    out << "# mobrix-cloud: the cloud storage service of Mobrix.\n"
        << "# Address and port to listen on (port 0: any free port).\n"
        << "listen = " << listen << "\n"
        << "# TLS certificate chain and key (PEM). Without them the service speaks plain\n"
        << "# HTTP: only for a TLS proxy in front, whose https address goes in public_url\n"
        << "# (PLAINTEXT signatures are refused otherwise).\n"
        << "tls_certificate = " << tlsCertificate << "\n"
        << "tls_key = " << tlsKey << "\n"
        << "# Accounts, tokens, the namespace and revisions.\n"
        << "metadata = " << metadata << "\n"
        << "# File bodies, by content: file:FOLDER, or objects of a bucket in an\n"
        << "# S3-compatible object store:\n"
        << "# s3://BUCKET?endpoint=https://HOST:PORT&region=NAME with its keys below.\n"
        << "blobs = " << blobs << "\n"
        << "s3_access_key = " << s3AccessKey << "\n"
        << "s3_secret_key = " << s3SecretKey << "\n"
        << "# Authorities the object store's certificate is checked against; empty: the system's.\n"
        << "s3_ca_file = " << s3CaFile << "\n"
        << "uploads = " << uploads << "\n"
        << "# The key and secret of the client program (mobrix).\n"
        << "app_key = " << appKey << "\n"
        << "app_secret = " << appSecret << "\n"
        << "# The address clients use, when it is not the one they reach this process at.\n"
        << "public_url = " << publicUrl << "\n"
        << "# One line per request, without query or secrets; \"-\" is standard error.\n"
        << "request_log = " << requestLog << "\n"
        << "# Quota of new accounts, in bytes.\n"
        << "default_quota = " << defaultQuota << "\n"
        << "threads = " << threads << "\n"
        << "# How many states of each file are kept (revisions, restore).\n"
        << "keep_revisions = " << keepRevisions << "\n"
        << "# Seconds between removals of unreferenced bodies and expired uploads; 0: never.\n"
        << "collect_interval = " << collectInterval << "\n";
    return out.str();
}

} // namespace server
