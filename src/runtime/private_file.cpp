#include "private_file.h"

#include "descriptor_files.h"
#include "private_folder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

PrivateFile::PrivateFile(const std::string& deviceRoot, const std::string& use)
    : name_(runtime::private_folder::deviceKey(deviceRoot) + "." + use) {}

PrivateFile::~PrivateFile() {
    if (folder_.valid())
        ::unlinkat(folder_.get(), name_.c_str(), 0);
}

std::string PrivateFile::path() const {
    return folderPath_ + "/" + name_;
}

platform::Status PrivateFile::write(const std::string& content) {
    auto folder = runtime::private_folder::open();
    if (!folder)
        return folder.error();
    folder_ = std::move(folder->fd);
    folderPath_ = folder->path;
    ::unlinkat(folder_.get(), name_.c_str(), 0);
    platform::UniqueFd fd(::openat(folder_.get(), name_.c_str(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.valid())
        return platform::systemError("cannot write " + path(), errno);
    const char* data = content.data();
    size_t left = content.size();
    while (left > 0) {
        ssize_t written = ::write(fd.get(), data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return platform::systemError("cannot write " + path(), written < 0 ? errno : EIO);
        data += written;
        left -= static_cast<size_t>(written);
    }
    return {};
}

platform::Result<std::string> PrivateFile::read(size_t maxBytes) const {
    if (!folder_.valid())
        return platform::Error{"no private file was made", 0};
    auto content = store::descriptor_files::readOwnedFile(folder_.get(), name_, maxBytes, path());
    if (!content)
        return content.error();
    if (!content->has_value())
        return platform::Error{path() + " disappeared", ENOENT};
    return std::move(**content);
}
