#include "secret_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "user_folders.h"

namespace platform {
namespace {

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

SecretStatus readAll(int fd, std::string& out) {
    char buffer[4096];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return SecretStatus::failure(errno);
        if (n == 0)
            return {};
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

// A new file of ours in the folder, under a fresh hidden name.
FileDescriptor createTemporary(int folder, std::string& name) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = ".tmp-";
        for (int i = 0; i < 12; ++i)
            name += letters[random() % (sizeof letters - 1)];
        FileDescriptor fd(::openat(folder, name.c_str(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd.valid() || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return FileDescriptor();
}

} // namespace

std::filesystem::path SecretStore::defaultFolder() {
    return userFolders().data / "Mobrix" / "secrets";
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

SecretStatus SecretStore::openFolder(bool create, FileDescriptor& folder) const {
    // The store's own folder and its parent are private; what lies above is
    // the user's data folder.
    return openPrivateFolder(
        folder_.parent_path().parent_path(),
        {folder_.parent_path().filename().string(), folder_.filename().string()}, create, folder);
}

SecretStatus SecretStore::read(std::string_view service, std::string* data) const {
    FileDescriptor folder;
    if (auto s = openFolder(false, folder); !s.isOk())
        return s;
    const std::string name = pathFor(service).filename().string();
    FileDescriptor fd(::openat(folder.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid())
        return errno == ENOENT ? SecretStatus{SecretStatus::notFound, ENOENT}
                               : SecretStatus::failure(errno);
    if (auto s = checkPrivateFile(fd.get()); !s.isOk())
        return s;
    std::string out;
    if (auto s = readAll(fd.get(), out); !s.isOk())
        return s;
    if (data)
        *data = std::move(out);
    return {};
}

SecretStatus SecretStore::write(std::string_view service, std::string_view data) const {
    FileDescriptor folder;
    if (auto s = openFolder(true, folder); !s.isOk())
        return s;
    std::string temporary;
    FileDescriptor fd = createTemporary(folder.get(), temporary);
    if (!fd.valid())
        return SecretStatus::failure(errno);
    bool ok = ::fchmod(fd.get(), 0600) == 0 && writeAll(fd.get(), data) && ::fsync(fd.get()) == 0;
    int e = errno;
    if (::close(fd.release()) != 0 && ok) {
        ok = false;
        e = errno;
    }
    const std::string name = pathFor(service).filename().string();
    if (ok && ::renameat(folder.get(), temporary.c_str(), folder.get(), name.c_str()) != 0) {
        ok = false;
        e = errno;
    }
    if (!ok) {
        ::unlinkat(folder.get(), temporary.c_str(), 0);
        return SecretStatus::failure(e);
    }
    return {};
}

SecretStatus SecretStore::remove(std::string_view service) const {
    FileDescriptor folder;
    if (auto s = openFolder(false, folder); !s.isOk())
        return s;
    const std::string name = pathFor(service).filename().string();
    if (::unlinkat(folder.get(), name.c_str(), 0) != 0)
        return errno == ENOENT ? SecretStatus{SecretStatus::notFound, ENOENT}
                               : SecretStatus::failure(errno);
    return {};
}

} // namespace platform
