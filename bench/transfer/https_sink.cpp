#include "https_sink.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace bench {
namespace {

constexpr std::size_t kPiece = 256 * 1024;

struct Connection {
    SSL* ssl;
    std::uint64_t downloadBytes;
};

// Reads up to the end of the header block; false when the peer is gone.
bool readHead(SSL* ssl, std::string& buffer, std::string& head) {
    for (;;) {
        const auto end = buffer.find("\r\n\r\n");
        if (end != std::string::npos) {
            head = buffer.substr(0, end + 4);
            buffer.erase(0, end + 4);
            return true;
        }
        char chunk[16384];
        const int n = SSL_read(ssl, chunk, sizeof chunk);
        if (n <= 0)
            return false;
        buffer.append(chunk, static_cast<std::size_t>(n));
    }
}

std::uint64_t contentLength(const std::string& head) {
    std::string lower(head);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const auto at = lower.find("\r\ncontent-length:");
    return at == std::string::npos ? 0 : std::strtoull(head.c_str() + at + 17, nullptr, 10);
}

bool writeAll(SSL* ssl, const char* data, std::size_t size) {
    while (size > 0) {
        const int n = SSL_write(ssl, data, static_cast<int>(std::min(size, kPiece)));
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool drainBody(SSL* ssl, std::string& buffer, std::uint64_t length) {
    const std::uint64_t buffered = std::min<std::uint64_t>(buffer.size(), length);
    buffer.erase(0, buffered);
    length -= buffered;
    std::vector<char> piece(kPiece);
    while (length > 0) {
        const int n = SSL_read(ssl, piece.data(),
                               static_cast<int>(std::min<std::uint64_t>(piece.size(), length)));
        if (n <= 0)
            return false;
        length -= static_cast<std::uint64_t>(n);
    }
    return true;
}

bool answer(SSL* ssl, const std::string& head, std::string& buffer, std::uint64_t downloadBytes) {
    if (head.rfind("GET ", 0) == 0) {
        const std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                                  "Content-Length: " +
                                  std::to_string(downloadBytes) + "\r\n\r\n";
        if (!writeAll(ssl, reply.data(), reply.size()))
            return false;
        std::vector<char> pattern(kPiece);
        for (std::size_t i = 0; i < pattern.size(); ++i)
            pattern[i] = static_cast<char>((i * 2654435761u) >> 13);
        for (std::uint64_t sent = 0; sent < downloadBytes;) {
            const std::size_t n = static_cast<std::size_t>(
                std::min<std::uint64_t>(pattern.size(), downloadBytes - sent));
            if (!writeAll(ssl, pattern.data(), n))
                return false;
            sent += n;
        }
        return true;
    }
    const std::uint64_t length = contentLength(head);
    if (!drainBody(ssl, buffer, length))
        return false;
    const std::string body = "{\"bytes\": " + std::to_string(length) + "}";
    const std::string reply =
        "HTTP/1.1 200 OK\r\nContent-Type: text/javascript\r\nContent-Length: " +
        std::to_string(body.size()) + "\r\n\r\n" + body;
    return writeAll(ssl, reply.data(), reply.size());
}

void serve(Connection c) {
    if (SSL_accept(c.ssl) == 1) {
        std::string buffer, head;
        while (readHead(c.ssl, buffer, head) && answer(c.ssl, head, buffer, c.downloadBytes)) {
        }
    }
    const int fd = SSL_get_fd(c.ssl);
    SSL_free(c.ssl);
    ::close(fd);
}

} // namespace

std::uint16_t startHttpsSink(const testsupport::TestCertificate& certificate,
                             std::uint64_t downloadBytes) {
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    if (!ctx || SSL_CTX_use_certificate(ctx, certificate.cert.get()) != 1 ||
        SSL_CTX_use_PrivateKey(ctx, certificate.key.get()) != 1)
        return 0;
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener, 16) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 0;
    std::thread([ctx, listener, downloadBytes] {
        for (;;) {
            const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            SSL* ssl = SSL_new(ctx);
            SSL_set_fd(ssl, fd);
            std::thread(serve, Connection{ssl, downloadBytes}).detach();
        }
    }).detach();
    return ntohs(address.sin_port);
}

} // namespace bench
