#include "rootsafe_device.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <random>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

RootSafeDevice::RootSafeDevice(const passwd& nobody)
    : owner_(nobody.pw_uid), group_(nobody.pw_gid) {
    ::chmod(root().c_str(), 0755);
    ::chmod(path("/var/tmp").c_str(), 01777);
    fillLiveFolders(owner_, group_);
    remove("/Applications"); // no bundle scripts to hide on the first command

    // What only root may reach.
    std::random_device random;
    secret_ = "SECRET-" + std::to_string(random()) + "-" + std::to_string(random());
    TempDeviceRoot::write("/secret/canary", secret_);
    makeFolder("/secret/links");
    std::filesystem::create_symlink("../canary", path("/secret/links/keep"));
    ::chmod(path("/secret/canary").c_str(), 0600);
    ::chmod(path("/secret").c_str(), 0700);
    TempDeviceRoot::write("/etc/sudoers.d/x", "original");
    for (auto folder : {"MobrixLibrary", "CydiaSources", "CydiaPackages", "tmp"})
        TempDeviceRoot::write(std::string("/victim-store/") + folder + "/keep.txt", "keep");
    if (run({"--yes", "create-folders"}).status != 0)
        throw std::runtime_error("create-folders failed");
}

void RootSafeDevice::write(std::string_view devicePath, std::string_view content) const {
    TempDeviceRoot::write(devicePath, content);
    ::lchown(path(devicePath).c_str(), owner_, group_);
}

pid_t RootSafeDevice::start(const std::vector<std::string>& arguments) const {
    std::vector<std::string> words{MOBRIX_BINARY, "--root", root()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        const int null = ::open("/dev/null", O_RDWR);
        for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
            ::dup2(null, fd);
        ::execv(MOBRIX_BINARY, argv.data());
        ::_exit(127);
    }
    ::setpgid(pid, pid);
    return pid;
}

int RootSafeDevice::wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

RootSafeDevice::Result RootSafeDevice::run(const std::vector<std::string>& arguments) const {
    std::string command = shellQuoted(MOBRIX_BINARY) + " --root " + shellQuoted(root());
    for (const auto& word : arguments)
        command += " " + shellQuoted(word);
    const std::string output = captureOutput(command + " </dev/null 2>&1; echo \" $?\"");
    const size_t status = output.rfind(' ');
    return {std::atoi(output.c_str() + status + 1), output.substr(0, status)};
}

pid_t RootSafeDevice::startAttacker(const std::function<void()>& body) const {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::setgroups(0, nullptr) != 0 || ::setgid(group_) != 0 || ::setuid(owner_) != 0 ||
            ::chdir(root().c_str()) != 0)
            ::_exit(1);
        for (;;)
            body();
    }
    return pid;
}

void RootSafeDevice::stopAttacker(pid_t pid) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

std::string RootSafeDevice::outsideSnapshot() const {
    return captureOutput("cd " + shellQuoted(root()) +
                         " && find . \\( -path ./var/mobile -o -path ./var/wireless \\) -prune -o "
                         "-printf '%p %U:%G %m %l\\n' -type f -exec sha256sum {} + | sort");
}
