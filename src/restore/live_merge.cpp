#include "live_merge.h"

#include "file_ops.h"
#include "file_ops_at.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace restore {

namespace {

struct Merge {
    uid_t owner;
    std::vector<std::string> failures;

    bool writable(int folderFd, const std::string& shown) {
        struct stat status {};
        if (::fstat(folderFd, &status) != 0 || status.st_uid != owner ||
            (status.st_mode & S_ISVTX)) {
            failures.push_back(shown + " does not belong to uid " + std::to_string(owner) +
                               "; nothing is restored into it");
            return false;
        }
        return true;
    }

    void folder(int copyFd, int liveFd, const std::string& shown) {
        if (!writable(liveFd, shown) || !writable(copyFd, shown + " (copy)"))
            return;
        auto names = store::file_ops::entryNames(copyFd);
        if (!names) {
            failures.push_back("cannot list the copy of " + shown);
            return;
        }
        for (const auto& name : *names)
            entry(copyFd, liveFd, name, shown + "/" + name);
    }

    void entry(int copyFd, int liveFd, const std::string& name, const std::string& shown) {
        struct stat copied {};
        if (::fstatat(copyFd, name.c_str(), &copied, AT_SYMLINK_NOFOLLOW) != 0)
            return;
        if (!S_ISDIR(copied.st_mode)) {
            if (::renameat(copyFd, name.c_str(), liveFd, name.c_str()) != 0)
                failures.push_back("cannot put " + shown +
                                   " in place: " + store::file_ops::errnoText(errno));
            return;
        }
        if (::renameat2(copyFd, name.c_str(), liveFd, name.c_str(), RENAME_NOREPLACE) == 0)
            return;
        if (errno != EEXIST) {
            failures.push_back("cannot put " + shown +
                               " in place: " + store::file_ops::errnoText(errno));
            return;
        }
        auto live = store::file_ops::openFolderAt(liveFd, name);
        if (!live.ok()) {
            failures.push_back(shown +
                               (live.errorNumber == ELOOP ? " is a link" : " is not a folder") +
                               "; nothing is restored through it");
            return;
        }
        auto copy = store::file_ops::openFolderAt(copyFd, name);
        if (!copy.ok())
            return;
        folder(copy.fd.get(), live.fd.get(), shown);
        ::unlinkat(copyFd, name.c_str(), AT_REMOVEDIR);
    }
};

} // namespace

std::vector<std::string> mergeInto(int copyFd, int liveFd, uid_t owner,
                                   const std::string& shownLive) {
    Merge merge{owner, {}};
    merge.folder(copyFd, liveFd, shownLive);
    return merge.failures;
}

} // namespace restore
