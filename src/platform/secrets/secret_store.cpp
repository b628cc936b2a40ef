#include "secret_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace platform {
namespace {

std::filesystem::path envPath(const char* name) {
    const char* value = std::getenv(name);
    if (value && *value == '/')
        return value;
    return {};
}

SecretStatus failure(int errnum) {
    return {SecretStatus::failed, errnum};
}

// mkdir -m 0700 that never follows a link and tightens an existing folder.
SecretStatus makePrivateFolder(const std::filesystem::path& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return failure(errno);
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return failure(errno);
    if (!S_ISDIR(st.st_mode))
        return failure(ENOTDIR);
    if ((st.st_mode & 07777) != 0700 && ::chmod(path.c_str(), 0700) != 0)
        return failure(errno);
    return {};
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

std::filesystem::path SecretStore::defaultFolder() {
    std::filesystem::path base = envPath("XDG_DATA_HOME");
    if (base.empty()) {
        std::filesystem::path home = envPath("HOME");
        if (home.empty())
            home = "/root";
        base = home / ".local" / "share";
    }
    return base / "Mobrix" / "secrets";
}

SecretStore::SecretStore(std::filesystem::path folder) : folder_(std::move(folder)) {}

std::filesystem::path SecretStore::pathFor(std::string_view service) const {
    static const char* hex = "0123456789ABCDEF";
    std::string name;
    for (unsigned char c : service) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '-' || c == '_' || (c == '.' && !name.empty());
        if (plain) {
            name += static_cast<char>(c);
        } else {
            name += '%';
            name += hex[c >> 4];
            name += hex[c & 15];
        }
    }
    if (name.empty())
        name.push_back('%');
    return folder_ / name;
}

SecretStatus SecretStore::ensureFolder() const {
    // Every level we create is private; the parents of the store may exist already.
    std::error_code ec;
    std::filesystem::create_directories(folder_.parent_path().parent_path(), ec);
    if (auto s = makePrivateFolder(folder_.parent_path()); !s.isOk())
        return s;
    return makePrivateFolder(folder_);
}

SecretStatus SecretStore::read(std::string_view service, std::string* data) const {
    int fd = ::open(pathFor(service).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? SecretStatus{SecretStatus::notFound, ENOENT} : failure(errno);
    std::string out;
    char buffer[4096];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            int e = errno;
            ::close(fd);
            return failure(e);
        }
        if (n == 0)
            break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (data)
        *data = std::move(out);
    return {};
}

SecretStatus SecretStore::write(std::string_view service, std::string_view data) const {
    if (auto s = ensureFolder(); !s.isOk())
        return s;
    const std::filesystem::path target = pathFor(service);
    std::string pattern = (folder_ / ".tmp-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    // mkstemp: O_EXCL, mode 0600, never through a link.
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return failure(errno);
    bool ok = ::fchmod(fd, 0600) == 0 && writeAll(fd, data) && ::fsync(fd) == 0;
    int e = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        e = errno;
    }
    if (ok && ::rename(name.data(), target.c_str()) != 0) {
        ok = false;
        e = errno;
    }
    if (!ok) {
        ::unlink(name.data());
        return failure(e);
    }
    return {};
}

SecretStatus SecretStore::remove(std::string_view service) const {
    if (::unlink(pathFor(service).c_str()) != 0) {
        return errno == ENOENT ? SecretStatus{SecretStatus::notFound, ENOENT} : failure(errno);
    }
    return {};
}

} // namespace platform
