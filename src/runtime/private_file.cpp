#include "private_file.h"

#include "descriptor_files.h"
#include "private_folder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

PrivateFile::PrivateFile(const std::string& deviceRoot, const std::string& use)
    : name_(private_folder::deviceKey(deviceRoot) + "." + use) {}

PrivateFile::~PrivateFile() {
    if (folder_.valid())
        ::unlinkat(folder_.get(), name_.c_str(), 0);
}

std::string PrivateFile::path() const {
    return folderPath_ + "/" + name_;
}

std::string PrivateFile::write(const std::string& content) {
    private_folder::Opened folder = private_folder::open();
    if (!folder.fd.valid())
        return folder.error;
    folder_ = std::move(folder.fd);
    folderPath_ = folder.path;
    ::unlinkat(folder_.get(), name_.c_str(), 0);
    platform::UniqueFd fd(::openat(folder_.get(), name_.c_str(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.valid())
        return "cannot write " + path() + ": " + std::strerror(errno);
    const char* data = content.data();
    size_t left = content.size();
    while (left > 0) {
        ssize_t written = ::write(fd.get(), data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return "cannot write " + path() + ": " + std::strerror(errno);
        data += written;
        left -= static_cast<size_t>(written);
    }
    return {};
}

std::optional<std::string> PrivateFile::read(size_t maxBytes, std::string& error) const {
    if (!folder_.valid()) {
        error = "no private file was made";
        return std::nullopt;
    }
    auto content = descriptor_files::readOwnedFile(folder_.get(), name_, maxBytes, path());
    error = content.error;
    if (!content.bytes && error.empty())
        error = path() + " disappeared";
    return std::move(content.bytes);
}
