#include "cloud_test_service.h"

#include <openssl/ssl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <httplib.h>
#include <sstream>

namespace testsupport {
namespace fs = std::filesystem;

namespace {

std::string escapeParam(const std::string& text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> parsePairs(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> out;
    while (!text.empty()) {
        auto amp = text.find('&');
        std::string_view piece = text.substr(0, amp);
        auto eq = piece.find('=');
        if (eq == std::string_view::npos) {
            out.emplace_back(unescape(piece), "");
        } else {
            out.emplace_back(unescape(piece.substr(0, eq)), unescape(piece.substr(eq + 1)));
        }
        if (amp == std::string_view::npos)
            break;
        text.remove_prefix(amp + 1);
    }
    return out;
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string errorBody(const std::string& text) {
    return "{\"error\": " + jsonString(text) + "}";
}

std::string httpDate(std::time_t t) {
    std::tm tm{};
    gmtime_r(&t, &tm);
    static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d +0000", days[tm.tm_wday],
                  tm.tm_mday, months[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min,
                  tm.tm_sec);
    return buf;
}

std::string humanSize(std::uint64_t bytes) {
    char buf[32];
    if (bytes < 1024) {
        std::snprintf(buf, sizeof buf, "%llu bytes", static_cast<unsigned long long>(bytes));
    } else if (bytes < 1024 * 1024) {
        std::snprintf(buf, sizeof buf, "%.1f KB", static_cast<double>(bytes) / 1024);
    } else {
        std::snprintf(buf, sizeof buf, "%.1f MB", static_cast<double>(bytes) / (1024 * 1024));
    }
    return buf;
}

bool safeRemotePath(const std::string& path) {
    if (path.empty() || path[0] != '/')
        return false;
    std::stringstream ss(path);
    std::string part;
    while (std::getline(ss, part, '/')) {
        if (part == ".." || part == ".")
            return false;
    }
    return true;
}

std::string normalizeRemote(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (path.empty())
        path = "/";
    return path;
}

std::string lower(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

struct FaultRule {
    ServiceFault fault;
    std::string pathPart;
    int times;
    int after;
};

struct TokenInfo {
    std::string secret;
    std::string uid;
};

} // namespace

std::string RecordedRequest::param(const std::string& name) const {
    for (const auto& [k, v] : params) {
        if (k == name)
            return v;
    }
    return {};
}

bool RecordedRequest::hasParam(const std::string& name) const {
    return std::any_of(params.begin(), params.end(),
                       [&](const auto& p) { return p.first == name; });
}

struct CloudTestService::Impl {
    Options options;
    std::unique_ptr<httplib::SSLServer> server;
    mutable std::mutex mutex;
    std::vector<RecordedRequest> recorded;
    std::vector<std::string> received; // paths, as their bodies were read
    std::vector<FaultRule> faults;
    std::map<std::string, TokenInfo> tokens;
    std::map<std::string, int> revisions;
    std::map<std::string, std::string> chunkedUploads;
    int nextToken = 1;
    std::atomic<int> handshakes{0};
    std::uint16_t port = 0;

    explicit Impl(Options o) : options(std::move(o)) {}

    fs::path local(const std::string& remote) const {
        std::string rel = normalizeRemote(remote);
        return rel == "/" ? options.storage : options.storage / rel.substr(1);
    }

    std::string makeToken(const std::string& prefix) {
        std::lock_guard lock(mutex);
        return prefix + std::to_string(nextToken++) + "x" + std::to_string(std::rand() % 100000);
    }

    ServiceFault takeFault(const std::string& path) {
        std::lock_guard lock(mutex);
        for (auto it = faults.begin(); it != faults.end(); ++it) {
            if (path.find(it->pathPart) != std::string::npos && it->after > 0) {
                --it->after;
                continue;
            }
            if (path.find(it->pathPart) != std::string::npos) {
                ServiceFault f = it->fault;
                if (--it->times <= 0)
                    faults.erase(it);
                return f;
            }
        }
        return ServiceFault::None;
    }

    int revisionOf(const std::string& remote) {
        std::lock_guard lock(mutex);
        auto& r = revisions[lower(normalizeRemote(remote))];
        if (r == 0)
            r = 1;
        return r;
    }

    void bumpRevision(const std::string& remote) {
        std::lock_guard lock(mutex);
        revisions[lower(normalizeRemote(remote))] += 1;
    }

    std::string metadataJson(const std::string& remote, bool withContents, bool deleted = false) {
        const std::string path = normalizeRemote(remote);
        fs::path p = local(path);
        std::error_code ec;
        bool isDir = fs::is_directory(p, ec);
        std::uint64_t bytes = (!deleted && !isDir) ? fs::file_size(p, ec) : 0;
        if (ec)
            bytes = 0;
        int revision = revisionOf(path);
        char rev[32];
        std::snprintf(rev, sizeof rev, "%x0a1b2c3d", revision);
        std::time_t now = std::time(nullptr);
        std::string out = "{";
        out += "\"size\": " + jsonString(humanSize(bytes));
        out += ", \"rev\": " + jsonString(rev);
        out += ", \"revision\": " + std::to_string(revision);
        out += ", \"thumb_exists\": false";
        out += ", \"bytes\": " + std::to_string(bytes);
        out += ", \"modified\": " + jsonString(httpDate(now));
        if (!isDir)
            out += ", \"client_mtime\": " + jsonString(httpDate(now));
        out += ", \"path\": " + jsonString(path);
        out += std::string(", \"is_dir\": ") + (isDir ? "true" : "false");
        out += ", \"icon\": " + jsonString(isDir ? "folder" : "page_white");
        out += ", \"root\": \"cloud\"";
        if (deleted)
            out += ", \"is_deleted\": true";
        if (isDir && !deleted) {
            out += ", \"hash\": " + jsonString(listingHash(path));
            if (withContents) {
                out += ", \"contents\": [";
                bool first = true;
                for (const auto& name : sortedChildren(p)) {
                    if (!first)
                        out += ", ";
                    first = false;
                    out += metadataJson((path == "/" ? "" : path) + "/" + name, false);
                }
                out += "]";
            }
        }
        return out + "}";
    }

    // The remote path itself when nothing is there, else "name (N).ext" with
    // the first N free: what the service does when it may not overwrite.
    std::string freeName(const std::string& remote) const {
        std::error_code ec;
        if (!fs::exists(local(remote), ec))
            return remote;
        std::string stem = fs::path(remote).stem().string(),
                    ext = fs::path(remote).extension().string();
        std::string parent = fs::path(remote).parent_path().string();
        for (int i = 1;; ++i) {
            std::string candidate =
                (parent == "/" ? "" : parent) + "/" + stem + " (" + std::to_string(i) + ")" + ext;
            if (!fs::exists(local(candidate), ec))
                return candidate;
        }
    }

    static std::vector<std::string> sortedChildren(const fs::path& dir) {
        std::vector<std::string> names;
        std::error_code ec;
        for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator();
             it.increment(ec)) {
            names.push_back(it->path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string listingHash(const std::string& path) {
        std::string text;
        fs::path p = local(path);
        for (const auto& name : sortedChildren(p)) {
            std::error_code ec;
            text +=
                name + ":" +
                std::to_string(fs::is_directory(p / name, ec) ? 0 : fs::file_size(p / name, ec)) +
                ":" + std::to_string(revisionOf((path == "/" ? "" : path) + "/" + name)) + ";";
        }
        char buf[32];
        std::snprintf(buf, sizeof buf, "%016zx", std::hash<std::string>{}(text));
        return buf;
    }

    // Checks the OAuth PLAINTEXT signature of a request with an access token.
    bool authorized(const RecordedRequest& r, std::string* uid) {
        if (r.param("oauth_consumer_key") != options.appKey)
            return false;
        if (r.param("oauth_signature_method") != "PLAINTEXT")
            return false;
        if (!r.hasParam("oauth_timestamp") || !r.hasParam("oauth_nonce") ||
            r.param("oauth_version") != "1.0")
            return false;
        std::string tokenSecret;
        if (r.hasParam("oauth_token")) {
            std::lock_guard lock(mutex);
            auto it = tokens.find(r.param("oauth_token"));
            if (it == tokens.end())
                return false;
            tokenSecret = it->second.secret;
            if (uid)
                *uid = it->second.uid;
        } else {
            return false;
        }
        return r.param("oauth_signature") ==
               escapeParam(options.appSecret) + "&" + escapeParam(tokenSecret);
    }

    RecordedRequest record(const httplib::Request& req) {
        RecordedRequest r;
        r.method = req.method;
        r.path = req.path;
        r.target = req.target;
        if (auto q = req.target.find('?'); q != std::string::npos)
            r.query = req.target.substr(q + 1);
        r.params = parsePairs(r.query);
        r.userAgent = req.get_header_value("User-Agent");
        r.contentType = req.get_header_value("Content-Type");
        return r;
    }

    void store(RecordedRequest r, int status) {
        r.status = status;
        std::lock_guard lock(mutex);
        recorded.push_back(std::move(r));
    }

    static void sendJson(httplib::Response& res, int status, const std::string& body) {
        res.status = status;
        res.set_content(body, "text/javascript");
    }

    bool applyStatusFault(ServiceFault f, httplib::Response& res) {
        switch (f) {
        case ServiceFault::Status401:
            sendJson(res, 401, errorBody("Unauthorized"));
            return true;
        case ServiceFault::Status404:
            sendJson(res, 404, errorBody("Path not found"));
            return true;
        case ServiceFault::Status500:
            sendJson(res, 500, errorBody("Internal server error"));
            return true;
        case ServiceFault::Status507:
            sendJson(res, 507, errorBody("Over quota"));
            return true;
        case ServiceFault::WrongShape:
            sendJson(res, 200, "[1, 2, 3]");
            return true;
        case ServiceFault::NotJson:
            sendJson(res, 200, "<html>not json</html>");
            return true;
        default:
            return false;
        }
    }

    void handle(const httplib::Request& req, httplib::Response& res,
                const httplib::ContentReader* reader);
    void route(RecordedRequest& r, const httplib::Request& req, httplib::Response& res,
               const std::string& uid, const std::string& uploadTemp, ServiceFault fault);
    void serveFile(const std::string& remote, httplib::Response& res, ServiceFault fault);
};

void CloudTestService::Impl::serveFile(const std::string& remote, httplib::Response& res,
                                       ServiceFault fault) {
    fs::path p = local(remote);
    std::error_code ec;
    if (!fs::is_regular_file(p, ec)) {
        sendJson(res, 404, errorBody("File not found"));
        return;
    }
    const std::uint64_t size = fs::file_size(p, ec);
    std::string meta = metadataJson(remote, false);
    int revision = revisionOf(remote);
    res.status = 200;
    res.set_header("Etag", std::to_string(revision) + "etag");
    auto file = std::make_shared<std::ifstream>(p, std::ios::binary);
    auto provider = [file, size, fault](std::size_t offset, std::size_t length,
                                        httplib::DataSink& sink) {
        std::uint64_t limit = size;
        if (fault == ServiceFault::CutConnection)
            limit = size / 2;
        if (offset >= limit)
            return false; // closes the connection short of the announced length
        std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>({length, limit - offset, 256 * 1024}));
        std::vector<char> buf(n);
        file->seekg(static_cast<std::streamoff>(offset));
        file->read(buf.data(), static_cast<std::streamsize>(n));
        std::size_t got = static_cast<std::size_t>(file->gcount());
        if (got == 0)
            return false;
        return sink.write(buf.data(), got);
    };
    if (fault == ServiceFault::WrongSizeMetadata || fault == ServiceFault::NoContentLength ||
        fault == ServiceFault::NoSize) {
        std::uint64_t announced = size + (fault == ServiceFault::WrongSizeMetadata ? 10 : 0);
        std::string m = meta;
        auto pos = m.find("\"bytes\": ");
        auto end = m.find(',', pos);
        m.replace(pos, end - pos, "\"bytes\": " + std::to_string(announced));
        if (fault != ServiceFault::NoSize)
            res.set_header("X-Cloud-Metadata", m);
        auto offset = std::make_shared<std::uint64_t>(0);
        res.set_chunked_content_provider(
            "application/octet-stream", [file, size, offset](std::size_t, httplib::DataSink& sink) {
                if (*offset >= size) {
                    sink.done();
                    return true;
                }
                std::size_t n =
                    static_cast<std::size_t>(std::min<std::uint64_t>(size - *offset, 256 * 1024));
                std::vector<char> buf(n);
                file->seekg(static_cast<std::streamoff>(*offset));
                file->read(buf.data(), static_cast<std::streamsize>(n));
                *offset += n;
                return sink.write(buf.data(), n);
            });
        return;
    }
    res.set_header("X-Cloud-Metadata", meta);
    const std::uint64_t announced = size + (fault == ServiceFault::ShortBody ? 10 : 0);
    if (announced == 0) {
        res.set_content("", "application/octet-stream");
        return;
    }
    res.set_content_provider(static_cast<std::size_t>(announced), "application/octet-stream",
                             provider);
}

void CloudTestService::Impl::handle(const httplib::Request& req, httplib::Response& res,
                                    const httplib::ContentReader* reader) {
    RecordedRequest r = record(req);
    const ServiceFault fault = takeFault(req.path);
    std::string uploadTemp;
    const bool isUpload =
        req.path.rfind("/1/files_put/", 0) == 0 || req.path == "/1/chunked_upload";
    if (reader) {
        if (isUpload) {
            std::error_code ec;
            fs::create_directories(options.storage / ".uploads", ec);
            uploadTemp = (options.storage / ".uploads" / ("u" + makeToken(""))).string();
            std::ofstream out(uploadTemp, std::ios::binary);
            (*reader)([&](const char* data, std::size_t n) {
                out.write(data, static_cast<std::streamsize>(n));
                r.bodySize += n;
                return true;
            });
        } else {
            (*reader)([&](const char* data, std::size_t n) {
                r.body.append(data, n);
                r.bodySize += n;
                return true;
            });
            if (r.contentType.rfind("application/x-www-form-urlencoded", 0) == 0) {
                for (auto& p : parsePairs(r.body))
                    r.params.push_back(std::move(p));
            }
        }
    }
    {
        std::lock_guard lock(mutex);
        received.push_back(req.path);
    }
    auto cleanup = [&] {
        if (!uploadTemp.empty()) {
            std::error_code ec;
            fs::remove(uploadTemp, ec);
        }
    };
    if (fault == ServiceFault::Slow)
        std::this_thread::sleep_for(options.slowDelay);
    if (fault == ServiceFault::RedirectOnce || fault == ServiceFault::RedirectElsewhere) {
        std::string authority = "127.0.0.1:" + std::to_string(port);
        if (fault == ServiceFault::RedirectElsewhere) {
            std::lock_guard lock(mutex);
            authority = options.redirectAuthority.empty() ? "localhost:" + std::to_string(port)
                                                          : options.redirectAuthority;
        }
        res.status = 307;
        res.set_header("Location", "https://" + authority + req.target);
        cleanup();
        store(std::move(r), res.status);
        return;
    }
    if (applyStatusFault(fault, res)) {
        cleanup();
        store(std::move(r), res.status);
        return;
    }
    if (fault == ServiceFault::CutConnection && req.path.rfind("/1/files/", 0) != 0) {
        res.status = 200;
        res.set_content_provider(
            1000, "text/javascript",
            [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
        cleanup();
        store(std::move(r), 200);
        return;
    }
    route(r, req, res, std::string(), uploadTemp, fault);
    cleanup();
    store(std::move(r), res.status);
}

void CloudTestService::Impl::route(RecordedRequest& r, const httplib::Request& req,
                                   httplib::Response& res, const std::string&,
                                   const std::string& uploadTemp, ServiceFault fault) {
    const std::string& path = req.path;
    auto startsWith = [&](const char* prefix) { return path.rfind(prefix, 0) == 0; };
    auto rootedPath = [&](const char* prefix) -> std::string {
        std::string rest = path.substr(std::strlen(prefix));
        if (rest.rfind("cloud", 0) != 0)
            return {};
        rest = rest.substr(5);
        return rest.empty() ? "/" : rest;
    };

    // Link page: the browser's side of an account link, unsigned.
    if (path == "/1/connect_login") {
        if (r.param("k") != options.appKey || !r.hasParam("state")) {
            sendJson(res, 400, errorBody("Bad link request"));
            return;
        }
        Token t{makeToken("at"), makeToken("as"), options.linkUserId};
        {
            std::lock_guard lock(mutex);
            tokens[t.token] = {t.secret, t.uid};
        }
        res.status = 302;
        res.set_header("Location",
                       "cs-" + options.appKey + "://1/connect?oauth_token=" + escapeParam(t.token) +
                           "&oauth_token_secret=" + escapeParam(t.secret) + "&uid=" +
                           escapeParam(t.uid) + "&state=" + escapeParam(r.param("state")));
        return;
    }

    std::string uid;
    if (!authorized(r, &uid))
        return sendJson(res, 401, errorBody("Unauthorized"));

    std::error_code ec;
    const std::time_t expires = std::time(nullptr) + 3600;

    if (startsWith("/1/metadata/")) {
        std::string remote = rootedPath("/1/metadata/");
        if (remote.empty() || !safeRemotePath(remote))
            return sendJson(res, 400, errorBody("Bad path"));
        if (!fs::exists(local(remote), ec))
            return sendJson(res, 404, errorBody("Path '" + remote + "' not found"));
        if (fs::is_directory(local(remote), ec) && r.hasParam("hash") &&
            r.param("hash") == listingHash(remote)) {
            res.status = 304;
            return;
        }
        return sendJson(res, 200, metadataJson(remote, r.param("list") != "false"));
    }
    if (startsWith("/1/files/") || startsWith("/1/thumbnails/")) {
        std::string remote = rootedPath(startsWith("/1/files/") ? "/1/files/" : "/1/thumbnails/");
        if (remote.empty() || !safeRemotePath(remote))
            return sendJson(res, 400, errorBody("Bad path"));
        if (startsWith("/1/thumbnails/") && !r.hasParam("format"))
            return sendJson(res, 400, errorBody("No format"));
        return serveFile(remote, res, fault);
    }
    if (startsWith("/1/files_put/")) {
        std::string remote = rootedPath("/1/files_put/");
        if (remote.empty() || !safeRemotePath(remote) || remote == "/")
            return sendJson(res, 400, errorBody("Bad path"));
        fs::path target = local(remote);
        if (fs::is_directory(target, ec))
            return sendJson(res, 403, errorBody("A folder is in the way"));
        if (r.param("overwrite") == "false") {
            remote = freeName(remote);
            target = local(remote);
        }
        fs::create_directories(target.parent_path(), ec);
        fs::rename(uploadTemp, target, ec);
        if (ec)
            return sendJson(res, 500, errorBody("Cannot store the file"));
        bumpRevision(remote);
        return sendJson(res, 200, metadataJson(remote, false));
    }
    if (path == "/1/chunked_upload") {
        std::string id = r.param("upload_id");
        std::string data;
        {
            std::ifstream in(uploadTemp, std::ios::binary);
            std::ostringstream ss;
            ss << in.rdbuf();
            data = ss.str();
        }
        std::lock_guard lock(mutex);
        if (id.empty()) {
            id = "up" + std::to_string(nextToken++);
            chunkedUploads[id];
        }
        auto it = chunkedUploads.find(id);
        if (it == chunkedUploads.end())
            return sendJson(res, 404, errorBody("Unknown upload id"));
        if (std::to_string(it->second.size()) != r.param("offset")) {
            return sendJson(res, 400,
                            "{\"error\": \"Bad offset\", \"offset\": " +
                                std::to_string(it->second.size()) + "}");
        }
        it->second += data;
        return sendJson(res, 200,
                        "{\"upload_id\": " + jsonString(id) +
                            ", \"offset\": " + std::to_string(it->second.size()) +
                            ", \"expires\": " + jsonString(httpDate(expires)) + "}");
    }
    if (startsWith("/1/commit_chunked_upload/")) {
        std::string remote = rootedPath("/1/commit_chunked_upload/");
        if (remote.empty() || !safeRemotePath(remote))
            return sendJson(res, 400, errorBody("Bad path"));
        std::string data;
        {
            std::lock_guard lock(mutex);
            auto it = chunkedUploads.find(r.param("upload_id"));
            if (it == chunkedUploads.end())
                return sendJson(res, 404, errorBody("Unknown upload id"));
            data = std::move(it->second);
            chunkedUploads.erase(it);
        }
        if (r.param("overwrite") == "false")
            remote = freeName(remote);
        fs::create_directories(local(remote).parent_path(), ec);
        std::ofstream(local(remote), std::ios::binary) << data;
        bumpRevision(remote);
        return sendJson(res, 200, metadataJson(remote, false));
    }
    if (path == "/1/fileops/create_folder" || path == "/1/fileops/delete") {
        std::string remote = r.param("path");
        if (r.param("root") != "cloud" || !safeRemotePath(remote))
            return sendJson(res, 400, errorBody("Bad path"));
        if (path == "/1/fileops/create_folder") {
            if (fs::exists(local(remote), ec)) {
                return sendJson(
                    res, 403,
                    errorBody("at path '" + remote + "': a file or folder already exists"));
            }
            fs::create_directories(local(remote), ec);
            return sendJson(res, 200, metadataJson(remote, false));
        }
        if (!fs::exists(local(remote), ec))
            return sendJson(res, 404, errorBody("Path '" + remote + "' not found"));
        bool wasDir = fs::is_directory(local(remote), ec);
        fs::remove_all(local(remote), ec);
        std::string meta = metadataJson(remote, false, true);
        if (wasDir)
            meta.replace(meta.find("\"is_dir\": false"), 15, "\"is_dir\": true");
        return sendJson(res, 200, meta);
    }
    if (path == "/1/account/info") {
        return sendJson(
            res, 200,
            "{\"uid\": " + (uid.empty() ? std::string("0") : uid) +
                ", \"display_name\": \"Test User\", \"email\": \"user@cloud.example\", "
                "\"country\": \"US\","
                " \"referral_link\": \"https://www.cloud.example/referrals/r1\","
                " \"quota_info\": {\"normal\": 1000, \"shared\": 24, \"quota\": 2000000}}");
    }
    sendJson(res, 404, errorBody("Unknown operation"));
}

CloudTestService::CloudTestService(Options options)
    : impl_(std::make_unique<Impl>(std::move(options))) {}

CloudTestService::~CloudTestService() {
    stop();
}

bool CloudTestService::start() {
    Impl* impl = impl_.get();
    std::error_code ec;
    fs::create_directories(impl->options.storage, ec);
    impl->server = std::make_unique<httplib::SSLServer>([impl](SSL_CTX& ctx) {
        SSL_CTX_set_app_data(&ctx, impl);
        SSL_CTX_set_info_callback(&ctx, [](const SSL* ssl, int where, int) {
            if (where & SSL_CB_HANDSHAKE_DONE) {
                auto* self = static_cast<Impl*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
                self->handshakes++;
            }
        });
        if (SSL_CTX_use_certificate(&ctx, impl->options.serverCertificate.cert.get()) != 1)
            return false;
        if (SSL_CTX_use_PrivateKey(&ctx, impl->options.serverCertificate.key.get()) != 1)
            return false;
        for (const auto& c : impl->options.chain) {
            X509_up_ref(c.cert.get());
            if (SSL_CTX_add_extra_chain_cert(&ctx, c.cert.get()) != 1)
                return false;
        }
        return true;
    });
    if (!impl->server->is_valid())
        return false;
    auto& server = *impl->server;
    server.set_keep_alive_timeout(2);
    server.set_read_timeout(10);
    server.set_write_timeout(10);
    server.Get(".*", [impl](const httplib::Request& req, httplib::Response& res) {
        impl->handle(req, res, nullptr);
    });
    server.Post(".*",
                [impl](const httplib::Request& req, httplib::Response& res,
                       const httplib::ContentReader& reader) { impl->handle(req, res, &reader); });
    int port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0)
        return false;
    port_ = static_cast<std::uint16_t>(port);
    impl->port = port_;
    thread_ = std::thread([impl] { impl->server->listen_after_bind(); });
    for (int i = 0; i < 200 && !server.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return server.is_running();
}

void CloudTestService::stop() {
    if (impl_ && impl_->server)
        impl_->server->stop();
    if (thread_.joinable())
        thread_.join();
}

std::string CloudTestService::baseUrl() const {
    return "https://127.0.0.1:" + std::to_string(port_);
}

CloudTestService::Token CloudTestService::issueAccessToken(const std::string& uid) {
    Token t{impl_->makeToken("at"), impl_->makeToken("as&"), uid};
    std::lock_guard lock(impl_->mutex);
    impl_->tokens[t.token] = {t.secret, uid};
    return t;
}

void CloudTestService::revokeTokens() {
    std::lock_guard lock(impl_->mutex);
    impl_->tokens.clear();
}

void CloudTestService::injectFault(ServiceFault fault, std::string pathPart, int times, int after) {
    std::lock_guard lock(impl_->mutex);
    impl_->faults.push_back({fault, std::move(pathPart), times, after});
}

void CloudTestService::setRedirectAuthority(std::string authority) {
    std::lock_guard lock(impl_->mutex);
    impl_->options.redirectAuthority = std::move(authority);
}

int CloudTestService::receivedCount(const std::string& pathPart) const {
    std::lock_guard lock(impl_->mutex);
    return static_cast<int>(
        std::count_if(impl_->received.begin(), impl_->received.end(), [&](const std::string& path) {
            return path.find(pathPart) != std::string::npos;
        }));
}

std::vector<RecordedRequest> CloudTestService::requests() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->recorded;
}

void CloudTestService::clearRequests() {
    std::lock_guard lock(impl_->mutex);
    impl_->recorded.clear();
    impl_->received.clear();
}

int CloudTestService::handshakes() const {
    return impl_->handshakes.load();
}

fs::path CloudTestService::localPath(const std::string& remotePath) const {
    return impl_->local(remotePath);
}

} // namespace testsupport
