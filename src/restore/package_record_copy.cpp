#include "package_record_copy.h"

#include "private_folder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

PackageRecordCopy::PackageRecordCopy(const std::string& deviceRoot)
    : deviceRoot_(deviceRoot),
      name_(private_folder::deviceKey(deviceRoot) + ".installed-packages") {}

PackageRecordCopy::~PackageRecordCopy() {
    if (folder_.valid())
        ::unlinkat(folder_.get(), name_.c_str(), 0);
}

std::string PackageRecordCopy::path() const {
    return folderPath_ + "/" + name_;
}

std::string PackageRecordCopy::write(const std::string& content) {
    private_folder::Opened folder = private_folder::open();
    if (!folder.fd.valid())
        return "cannot copy the package record: " + folder.error;
    folder_ = std::move(folder.fd);
    folderPath_ = folder.path;
    ::unlinkat(folder_.get(), name_.c_str(), 0);
    UniqueFd fd(::openat(folder_.get(), name_.c_str(),
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
