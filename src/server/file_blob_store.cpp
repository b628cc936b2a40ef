#include "file_blob_store.h"

#include "hashed_spool.h"
#include "secrets.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace server {
namespace fs = std::filesystem;

namespace {

// A file descriptor closed when it goes.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&&) = delete;
    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

bool syncFolder(const fs::path& folder) {
    Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.get() >= 0 && ::fsync(fd.get()) == 0;
}

class FileBlobWriter : public BlobWriter {
public:
    FileBlobWriter(const FileBlobStore& store, fs::path temp, Fd fd)
        : store_(store), temp_(std::move(temp)), fd_(std::move(fd)) {}
    ~FileBlobWriter() override {
        if (!committed_) {
            std::error_code ec;
            fs::remove(temp_, ec);
        }
    }

    bool write(const char* data, std::size_t size) override {
        return spool_.write(fd_.get(), data, size);
    }

    std::uint64_t size() const override { return spool_.size(); }

    std::optional<std::string> commit(std::string* error) override {
        const std::string address = spool_.address();
        if (::fsync(fd_.get()) != 0)
            return fail(error, "cannot flush the body");
        fd_.reset();
        const fs::path target = store_.pathOf(address);
        std::error_code ec;
        fs::create_directories(target.parent_path(), ec);
        if (ec)
            return fail(error, "cannot make the body's folder");
        if (::rename(temp_.c_str(), target.c_str()) != 0)
            return fail(error, std::string("cannot store the body: ") + std::strerror(errno));
        committed_ = true;
        if (!syncFolder(target.parent_path()))
            return fail(error, "cannot flush the body's folder");
        return address;
    }

private:
    std::optional<std::string> fail(std::string* error, std::string text) {
        if (error)
            *error = std::move(text);
        return std::nullopt;
    }

    const FileBlobStore& store_;
    fs::path temp_;
    Fd fd_;
    HashedSpool spool_;
    bool committed_ = false;
};

class FileBlobReader : public BlobReader {
public:
    FileBlobReader(Fd fd, std::uint64_t size) : fd_(std::move(fd)), size_(size) {}
    std::uint64_t size() const override { return size_; }
    long read(std::uint64_t offset, char* buffer, std::size_t size) override {
        for (;;) {
            ssize_t n = ::pread(fd_.get(), buffer, size, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR)
                continue;
            return static_cast<long>(n);
        }
    }

private:
    Fd fd_;
    std::uint64_t size_;
};

} // namespace

namespace {

// Removes the scratch folders of processes that are gone: their lock is free.
void clearDeadScratch(const fs::path& tmp) {
    std::error_code ec;
    for (auto it = fs::directory_iterator(tmp, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        if (!it->is_directory()) {
            std::error_code ignored;
            fs::remove(it->path(), ignored);
            continue;
        }
        Fd lock(::open((it->path() / ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        if (lock.get() >= 0 && ::flock(lock.get(), LOCK_EX | LOCK_NB) == 0) {
            std::error_code ignored;
            fs::remove_all(it->path(), ignored);
        }
    }
}

} // namespace

std::unique_ptr<FileBlobStore> FileBlobStore::open(const fs::path& folder, std::string* error) {
    const fs::path tmp = folder / "tmp";
    std::error_code ec;
    fs::create_directories(tmp, ec);
    if (!ec)
        clearDeadScratch(tmp);
    const fs::path scratch = tmp / randomHex(8);
    fs::create_directories(scratch, ec);
    int lock = ec ? -1 : ::open((scratch / ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0 || ::flock(lock, LOCK_EX | LOCK_NB) != 0) {
        if (lock >= 0)
            ::close(lock);
        if (error)
            *error = "cannot make " + scratch.string() + (ec ? ": " + ec.message() : "");
        return nullptr;
    }
    return std::unique_ptr<FileBlobStore>(new FileBlobStore(folder, scratch, lock));
}

FileBlobStore::~FileBlobStore() {
    std::error_code ec;
    fs::remove_all(scratch_, ec);
    ::close(lock_);
}

fs::path FileBlobStore::pathOf(const std::string& address) const {
    return folder_ / address.substr(0, 2) / address.substr(2);
}

std::unique_ptr<BlobWriter> FileBlobStore::create(std::string* error) {
    fs::path temp = scratch_ / randomHex(16);
    Fd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd.get() < 0) {
        if (error)
            *error = std::string("cannot make a temporary body: ") + std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<FileBlobWriter>(*this, std::move(temp), std::move(fd));
}

std::unique_ptr<BlobReader> FileBlobStore::open(const std::string& address) {
    if (!isBlobAddress(address))
        return nullptr;
    Fd fd(::open(pathOf(address).c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0)
        return nullptr;
    return std::make_unique<FileBlobReader>(std::move(fd), static_cast<std::uint64_t>(st.st_size));
}

void FileBlobStore::forEachOlderThan(std::int64_t before,
                                     const std::function<void(const std::string&)>& visit) {
    std::error_code ec;
    for (auto prefix = fs::directory_iterator(folder_, ec);
         !ec && prefix != fs::directory_iterator(); prefix.increment(ec)) {
        const std::string head = prefix->path().filename().string();
        if (head.size() != 2 || !prefix->is_directory())
            continue;
        std::error_code inner;
        for (auto file = fs::directory_iterator(prefix->path(), inner);
             !inner && file != fs::directory_iterator(); file.increment(inner)) {
            struct stat st {};
            const std::string address = head + file->path().filename().string();
            if (isBlobAddress(address) && ::stat(file->path().c_str(), &st) == 0 &&
                st.st_mtime < before)
                visit(address);
        }
    }
}

bool FileBlobStore::remove(const std::string& address) {
    return isBlobAddress(address) && ::unlink(pathOf(address).c_str()) == 0;
}

} // namespace server
