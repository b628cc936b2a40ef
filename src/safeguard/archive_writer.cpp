#include "archive_writer.h"

#include "command_context.h"
#include "file_ops.h"
#include "file_ops_at.h"
#include "store_layout.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace safeguard {

namespace {

store::file_ops::UniqueFd createPartial(CommandContext& context, std::string_view subject,
                                        int libraryFd, const std::string& partial) {
    if (::unlinkat(libraryFd, partial.c_str(), 0) != 0 && errno != ENOENT) {
        context.fail(subject,
                     "cannot remove " + partial + ": " + store::file_ops::errnoText(errno));
        return {};
    }
    int fd = ::openat(libraryFd, partial.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        context.fail(subject,
                     "cannot create " + partial + ": " + store::file_ops::errnoText(errno));
    return store::file_ops::UniqueFd(fd);
}

bool finish(CommandContext& context, std::string_view subject, int libraryFd,
            const std::string& partial, std::string_view archiveName, int partialFd) {
    if (::fsync(partialFd) != 0) {
        int error = errno;
        context.fail(subject, error == ENOSPC ? "no space left on the device"
                                              : "cannot write " + partial + ": " +
                                                    store::file_ops::errnoText(error));
        return false;
    }
    if (::renameat(libraryFd, partial.c_str(), libraryFd, std::string(archiveName).c_str()) != 0) {
        context.fail(subject, "cannot replace " + std::string(archiveName) + ": " +
                                  store::file_ops::errnoText(errno));
        return false;
    }
    return true;
}

} // namespace

std::string partialArchiveName(std::string_view archiveName) {
    return "." + std::string(archiveName) + ".partial";
}

bool writeArchive(CommandContext& context, std::string_view subject, int libraryFd,
                  std::string_view archiveName, int scratchFd, const std::string& relativeInput,
                  const ProcessIdentity& owner) {
    const std::string partial = partialArchiveName(archiveName);
    store::file_ops::UniqueFd output = createPartial(context, subject, libraryFd, partial);
    if (!output.valid())
        return false;

    ChildSetup child;
    child.identity = owner;
    child.workingFolderFd = scratchFd;
    child.standardOutputFd = output.get();
    bool done = context.runWith(subject, store::kZipTool, {"-r", "-y", "-q", "-", relativeInput},
                                Wait::InputBlocked, child) &&
                finish(context, subject, libraryFd, partial, archiveName, output.get());
    if (!done)
        ::unlinkat(libraryFd, partial.c_str(), 0);
    return done;
}

} // namespace safeguard
