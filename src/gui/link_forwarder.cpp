// RootMobrix-open URL...: what the desktop runs for a link answer of the
// program's scheme. Its command line, readable by every local user, carries
// the answer's token and secret; it blanks them at once, starts RootMobrix
// with the answers on standard input and ends without waiting. RootMobrix
// then hands them to the running window, or opens one. No Qt here: the whole
// run takes about a millisecond.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Longest text handed over, as the window's link socket accepts.
constexpr std::size_t kMaxMessage = 64 * 1024;

// RootMobrix beside this program, else the one on the search path.
std::string windowProgram() {
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        std::string path(self, static_cast<std::size_t>(n));
        path.resize(path.rfind('/') + 1);
        path += "RootMobrix";
        if (::access(path.c_str(), X_OK) == 0)
            return path;
    }
    return "RootMobrix";
}

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::string message;
    for (int i = 1; i < argc; ++i) {
        message += argv[i];
        message += '\n';
        std::memset(argv[i], 0, std::strlen(argv[i]));
    }
    if (message.size() > kMaxMessage) {
        std::fputs("RootMobrix-open: the link answer is too long\n", stderr);
        return 2;
    }
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        std::perror("RootMobrix-open: pipe");
        return 1;
    }
    const std::string program = windowProgram();
    const pid_t child = ::fork();
    if (child == 0) {
        // dup2 clears close-on-exec on standard input only.
        if (::dup2(pipeFds[0], STDIN_FILENO) < 0)
            ::_exit(127);
        char* const childArgv[] = {const_cast<char*>("RootMobrix"),
                                   const_cast<char*>("--link-stdin"), nullptr};
        ::execvp(program.c_str(), childArgv);
        ::_exit(127);
    }
    ::close(pipeFds[0]);
    // Here only: an ignored signal would stay ignored in RootMobrix too.
    ::signal(SIGPIPE, SIG_IGN);
    if (child < 0) {
        std::perror("RootMobrix-open: fork");
        ::close(pipeFds[1]);
        return 1;
    }
    const bool written = writeAll(pipeFds[1], message);
    ::close(pipeFds[1]);
    if (!written) {
        std::fputs("RootMobrix-open: RootMobrix did not take the link answer\n", stderr);
        return 1;
    }
    return 0;
}
