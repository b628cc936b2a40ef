#include "secret_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "replacement_file.h"
#include "user_folders.h"

namespace platform {
namespace {

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
    const std::string name = pathFor(service).filename().string();
    auto file = ReplacementFile::create(name, folder.get());
    if (!file)
        return SecretStatus::failure(file.error().code);
    // The mode is set on the descriptor, whatever the process's umask.
    Status written = file->setMode(0600);
    if (written)
        written = file->write(data);
    if (written)
        written = file->commit();
    return written ? SecretStatus{} : SecretStatus::failure(written.error().code);
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
