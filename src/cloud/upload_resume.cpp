#include "upload_resume.h"

#include "cs_json.h"
#include "secret_store.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <charconv>
#include <cstring>
#include <sys/stat.h>

namespace cloud {
namespace {

constexpr int kRecordVersion = 1;

// Inode and device numbers may not fit a signed 64-bit number: kept as text.
std::string unsignedText(std::uint64_t value) {
    return std::to_string(value);
}

std::optional<std::uint64_t> unsignedValue(const CSJsonValue* value) {
    if (!value || !value->isString())
        return std::nullopt;
    const std::string_view text = value->stringView();
    std::uint64_t out = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return out;
}

std::optional<std::string> text(const CSJsonValue& object, std::string_view key) {
    const CSJsonValue* value = object.find(key);
    if (!value || !value->isString())
        return std::nullopt;
    return value->asString();
}

std::optional<std::int64_t> number(const CSJsonValue& object, std::string_view key) {
    const CSJsonValue* value = object.find(key);
    if (!value || !value->isNumber())
        return std::nullopt;
    return value->asInt64();
}

} // namespace

std::optional<FileIdentity> identityOf(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    FileIdentity identity;
    identity.size = status.st_size;
    identity.mtimeNanoseconds =
        static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    identity.inode = status.st_ino;
    identity.device = status.st_dev;
    return identity;
}

std::string serializeResume(const UploadResume& resume) {
    CSJsonValue record = CSJsonValue::object({
        {"version", kRecordVersion},
        {"local_path", resume.localPath},
        {"remote_path", resume.remotePath},
        {"host", resume.host},
        {"uid", resume.userId},
        {"size", resume.file.size},
        {"mtime_ns", resume.file.mtimeNanoseconds},
        {"inode", unsignedText(resume.file.inode)},
        {"device", unsignedText(resume.file.device)},
        {"upload_id", resume.uploadId},
        {"offset", resume.offset},
        {"expires", resume.expires},
    });
    return JSONRepresentation(record).value_or("{}") + "\n";
}

std::optional<UploadResume> parseResume(const std::string& content) {
    auto record = JSONValue(std::string_view(content));
    if (!record || !record->isObject() || number(*record, "version") != kRecordVersion)
        return std::nullopt;
    UploadResume resume;
    auto localPath = text(*record, "local_path");
    auto remotePath = text(*record, "remote_path");
    auto host = text(*record, "host");
    auto userId = text(*record, "uid");
    auto uploadId = text(*record, "upload_id");
    auto size = number(*record, "size");
    auto mtime = number(*record, "mtime_ns");
    auto offset = number(*record, "offset");
    auto expires = number(*record, "expires");
    auto inode = unsignedValue(record->find("inode"));
    auto device = unsignedValue(record->find("device"));
    if (!localPath || !remotePath || !host || !userId || !uploadId || !size || !mtime || !offset ||
        !expires || !inode || !device)
        return std::nullopt;
    resume.localPath = *localPath;
    resume.remotePath = *remotePath;
    resume.host = *host;
    resume.userId = *userId;
    resume.uploadId = *uploadId;
    resume.file = {*size, *mtime, *inode, *device};
    resume.offset = *offset;
    resume.expires = *expires;
    return resume;
}

std::filesystem::path UploadResumeStore::defaultFolder() {
    return platform::SecretStore::defaultFolder().parent_path() / "uploads";
}

UploadResumeStore::UploadResumeStore(std::filesystem::path folder) : folder_(std::move(folder)) {}

// A fixed-length name whatever the device root: the path itself is in the record.
std::string UploadResumeStore::nameFor(const std::string& localPath) const {
    const QByteArray digest =
        QCryptographicHash::hash(QByteArray::fromStdString(localPath), QCryptographicHash::Sha256);
    return "upload-" + digest.toHex().left(32).toStdString();
}

std::optional<UploadResume> UploadResumeStore::load(const std::string& localPath) const {
    std::string content;
    if (!platform::SecretStore(folder_).read(nameFor(localPath), &content).isOk())
        return std::nullopt;
    auto resume = parseResume(content);
    if (!resume || resume->localPath != localPath)
        return std::nullopt;
    return resume;
}

std::string UploadResumeStore::save(const UploadResume& resume) const {
    const auto status =
        platform::SecretStore(folder_).write(nameFor(resume.localPath), serializeResume(resume));
    if (status.isOk())
        return {};
    return "cannot keep the upload's resume record in " + folder_.string() + ": " +
           std::strerror(status.errnum);
}

void UploadResumeStore::remove(const std::string& localPath) const {
    platform::SecretStore(folder_).remove(nameFor(localPath));
}

} // namespace cloud
