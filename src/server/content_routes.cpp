// The content role: file bodies down and up, whole or in chunks.
#include "cs_json.h"
#include "metadata_json.h"
#include "rooted_path.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <unistd.h>

namespace server {

namespace {

constexpr std::size_t kSendPiece = 256 * 1024;
constexpr std::size_t kMaxChunk = 4 * 1024 * 1024;

std::string param(const Call& call, std::string_view name) {
    return parameter(call.parameters, name).value_or(std::string());
}

std::optional<std::int64_t> number(const std::string& text) {
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

std::int64_t announcedLength(const Call& call) {
    return number(call.request.get_header_value("Content-Length")).value_or(0);
}

PutOptions putOptions(const Call& call) {
    PutOptions options;
    options.overwrite = param(call, "overwrite") != "false";
    if (auto rev = parameter(call.parameters, "parent_rev"); rev && !rev->empty())
        options.parentRev = *rev;
    return options;
}

void sendFile(ServiceParts& parts, Call& call) {
    auto path = rootedPath(call, "/1/files/");
    if (!path)
        return;
    ApiAnswer error;
    auto file = parts.files->fileToSend(call.uid, *path, param(call, "rev"), &error);
    std::shared_ptr<BlobReader> body = file ? parts.blobs->open(file->blob) : nullptr;
    if (!file || !body) {
        sendAnswer(call, file ? ApiAnswer::error(500, "The file's body is missing") : error);
        return;
    }
    CSJsonWriter writer;
    call.response.status = 200;
    call.response.set_header("Etag", revText(file->revision));
    call.response.set_header("X-Cloud-Metadata",
                             writer.stringWithFragment(metadataJson(*file)).value_or("{}"));
    call.streamed = body->size();
    if (body->size() == 0) {
        call.response.set_content("", "application/octet-stream");
        return;
    }
    call.response.set_content_provider(
        static_cast<std::size_t>(body->size()), "application/octet-stream",
        [body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            std::vector<char> buffer(std::min(length, kSendPiece));
            long n = body->read(offset, buffer.data(), buffer.size());
            return n > 0 && sink.write(buffer.data(), static_cast<std::size_t>(n));
        });
}

// Streams the body into a new blob, keeping no more than `room` bytes. Gives
// the writer, or nothing when the body was cut or would not fit (`tooBig`).
std::unique_ptr<BlobWriter> receiveBody(ServiceParts& parts, Call& call, std::int64_t room,
                                        bool* tooBig, std::string* error) {
    auto writer = parts.blobs->create(error);
    if (!writer) {
        drainBody(call);
        return nullptr;
    }
    bool failed = false;
    *tooBig = false;
    const bool complete = call.reader && (*call.reader)([&](const char* data, std::size_t size) {
                              if (static_cast<std::int64_t>(writer->size() + size) > room)
                                  *tooBig = true;
                              if (!*tooBig && !failed && !writer->write(data, size))
                                  failed = true;
                              return true;
                          });
    call.reader = nullptr;
    const std::int64_t announced = announcedLength(call);
    if (!complete || failed || *tooBig ||
        (announced > 0 && static_cast<std::int64_t>(writer->size()) != announced)) {
        if (failed)
            *error = "The service could not store the body";
        return nullptr;
    }
    return writer;
}

void putFile(ServiceParts& parts, Call& call) {
    auto path = rootedPath(call, "/1/files_put/");
    if (!path)
        return;
    ApiAnswer room = parts.files->checkRoom(call.uid, *path, announcedLength(call));
    if (!room.ok()) {
        drainBody(call);
        return sendAnswer(call, room);
    }
    bool tooBig = false;
    std::string error;
    const std::int64_t most = announcedLength(call) > 0 ? announcedLength(call)
                                                        : std::numeric_limits<std::int64_t>::max();
    auto writer = receiveBody(parts, call, most, &tooBig, &error);
    if (!writer) {
        return sendAnswer(call, !error.empty() ? ApiAnswer::error(500, error)
                                : tooBig
                                    ? ApiAnswer::error(400, "The body is longer than announced")
                                    : ApiAnswer::error(400, "The body was cut short"));
    }
    const std::int64_t bytes = static_cast<std::int64_t>(writer->size());
    std::shared_lock visible(parts.commits);
    auto address = writer->commit(&error);
    if (!address)
        return sendAnswer(call, ApiAnswer::error(500, error));
    sendAnswer(call, parts.files->putFile(call.uid, *path, *address, bytes, putOptions(call)));
}

std::filesystem::path stagingFile(const ServiceParts& parts, const std::string& id) {
    return std::filesystem::path(parts.config.uploads) / id;
}

// Writes one chunk at its offset; what an interrupted earlier append left
// past the offset is cut away first.
bool appendChunk(const std::filesystem::path& file, std::int64_t offset, const std::string& data) {
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool ok = ::ftruncate(fd, offset) == 0;
    std::size_t done = 0;
    while (ok && done < data.size()) {
        ssize_t n = ::pwrite(fd, data.data() + done, data.size() - done,
                             static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += ok ? static_cast<std::size_t>(n) : 0;
    }
    ok = ok && ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

void chunkedUpload(ServiceParts& parts, Call& call) {
    auto offset = number(param(call, "offset").empty() ? "0" : param(call, "offset"));
    if (!offset) {
        drainBody(call);
        return sendAnswer(call, ApiAnswer::error(400, "Invalid offset"));
    }
    std::string data;
    bool tooBig = false;
    const bool complete = call.reader && (*call.reader)([&](const char* bytes, std::size_t size) {
                              if (data.size() + size > kMaxChunk)
                                  tooBig = true;
                              else
                                  data.append(bytes, size);
                              return true;
                          });
    call.reader = nullptr;
    if (!complete || tooBig)
        return sendAnswer(
            call, ApiAnswer::error(tooBig ? 413 : 400, tooBig ? "A chunk holds at most 4 MiB"
                                                              : "The chunk was cut short"));
    std::lock_guard lock(parts.chunkMutex);
    ChunkedUpload upload;
    ApiAnswer checked = parts.files->startOrCheckUpload(call.uid, param(call, "upload_id"), *offset,
                                                        data.size(), &upload);
    if (!checked.ok())
        return sendAnswer(call, checked);
    if (!appendChunk(stagingFile(parts, upload.id), upload.offset, data))
        return sendAnswer(call, ApiAnswer::error(500, "The service could not store the chunk"));
    sendAnswer(call, parts.files->advanceUpload(upload, static_cast<std::int64_t>(data.size())));
}

// Copies the staged upload into a new blob.
std::optional<std::string> stageToBlob(ServiceParts& parts, const ChunkedUpload& upload,
                                       std::string* error) {
    int fd = ::open(stagingFile(parts, upload.id).c_str(), O_RDONLY | O_CLOEXEC);
    auto writer = parts.blobs->create(error);
    bool ok = fd >= 0 && writer;
    std::vector<char> buffer(kSendPiece);
    std::int64_t done = 0;
    while (ok && done < upload.offset) {
        const auto want = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(buffer.size()), upload.offset - done));
        ssize_t n = ::pread(fd, buffer.data(), want, static_cast<off_t>(done));
        ok = n > 0 && writer->write(buffer.data(), static_cast<std::size_t>(n));
        done += ok ? n : 0;
    }
    if (fd >= 0)
        ::close(fd);
    if (!ok) {
        *error = "The staged upload could not be read";
        return std::nullopt;
    }
    return writer->commit(error);
}

void commitChunkedUpload(ServiceParts& parts, Call& call) {
    auto path = rootedPath(call, "/1/commit_chunked_upload/");
    if (!path)
        return;
    std::lock_guard lock(parts.chunkMutex);
    auto upload = parts.files->takeUpload(call.uid, param(call, "upload_id"));
    if (!upload)
        return sendAnswer(call, ApiAnswer::error(400, "Unknown or expired upload_id"));
    std::string error;
    std::shared_lock visible(parts.commits);
    auto address = stageToBlob(parts, *upload, &error);
    if (!address)
        return sendAnswer(call, ApiAnswer::error(500, error));
    ApiAnswer answer =
        parts.files->putFile(call.uid, *path, *address, upload->offset, putOptions(call));
    if (answer.ok()) {
        parts.files->dropUpload(upload->id);
        std::error_code ec;
        std::filesystem::remove(stagingFile(parts, upload->id), ec);
    }
    sendAnswer(call, answer);
}

} // namespace

bool handleContentRequest(ServiceParts& parts, Call& call) {
    const bool download = startsWith(call, "/1/files/");
    const bool upload = startsWith(call, "/1/files_put/");
    const bool chunk = call.path == "/1/chunked_upload";
    const bool commit = startsWith(call, "/1/commit_chunked_upload/");
    if (!download && !upload && !chunk && !commit)
        return false;
    // Bodies of uploads are the file: only the query is signed.
    if (commit && !readFormBody(call)) {
        sendAnswer(call, ApiAnswer::error(413, "The request body is too large"));
        return true;
    }
    if (!authorize(parts, call, TokenNeed::Access))
        return true;
    if (download)
        sendFile(parts, call);
    else if (upload)
        putFile(parts, call);
    else if (chunk)
        chunkedUpload(parts, call);
    else
        commitChunkedUpload(parts, call);
    return true;
}

} // namespace server
