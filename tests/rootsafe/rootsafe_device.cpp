#include "rootsafe_device.h"

#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <random>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

void writeFile(const std::string& path, std::string_view content, mode_t mode) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    ::chmod(path.c_str(), mode);
}

void giveTree(const std::string& path, uid_t owner, gid_t group) {
    ::lchown(path.c_str(), owner, group);
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(path, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error))
        ::lchown(it->path().c_str(), owner, group);
}

std::string randomText(size_t length) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device device;
    std::string text;
    for (size_t i = 0; i < length; ++i)
        text += letters[device() % (sizeof(letters) - 1)];
    return text;
}

std::vector<char*> argv(std::vector<std::string>& words) {
    std::vector<char*> pointers;
    for (auto& word : words)
        pointers.push_back(word.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string captureOutput(const std::string& command) {
    std::string output;
    FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe)
        return output;
    std::array<char, 4096> buffer{};
    size_t read = 0;
    while ((read = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        output.append(buffer.data(), read);
    ::pclose(pipe);
    return output;
}

std::string RootSafeDevice::cannotRun() {
    if (::geteuid() != 0)
        return "these attacks need root, to play the unprivileged owner \"nobody\"";
    if (!::getpwnam("nobody"))
        return "there is no user \"nobody\" to own the device's folders";
    return {};
}

RootSafeDevice::RootSafeDevice() {
    if (const passwd* nobody = ::getpwnam("nobody")) {
        owner_ = nobody->pw_uid;
        ownerGroup_ = nobody->pw_gid;
    }
    std::string pattern = (fs::temp_directory_path() / "mobrix-rootsafe-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    ::chmod(root_.c_str(), 0755);
    secret_ = "SECRET-" + randomText(48);
    fill();
}

RootSafeDevice::~RootSafeDevice() {
    std::error_code error;
    fs::remove_all(root_, error);
}

void RootSafeDevice::fill() {
    for (auto name : {"Accounts", "Notes", "SMS", "AddressBook", "Calendar", "Safari", "Voicemail",
                      "SpringBoard"}) {
        const std::string folder = std::string("/var/mobile/Library/") + name;
        writeFile(path(folder + "/Read me.txt"), std::string("live ") + name, 0644);
        writeFile(path(folder + "/Sub/nested.db"), std::string("nested ") + name, 0644);
    }
    writeFile(path("/var/mobile/Library/Preferences/com.example.plist"), "<plist/>", 0644);
    writeFile(path("/var/mobile/Media/DCIM/100APPLE/IMG_0001.JPG"), "jpeg", 0644);
    writeFile(path("/var/mobile/Media/PhotoData/Photos.sqlite"), "photos", 0644);
    writeFile(path("/var/wireless/Library/CallHistory/call_history.db"), "calls", 0644);
    giveTree(path("/var/mobile"), owner_, ownerGroup_);
    giveTree(path("/var/wireless"), owner_, ownerGroup_);
    fs::create_directories(path("/var/tmp"));
    ::chmod(path("/var/tmp").c_str(), 01777);

    // What only root may reach.
    writeFile(path("/secret/canary"), secret_, 0600);
    fs::create_directories(path("/secret/links"));
    fs::create_symlink("../canary", path("/secret/links/keep"));
    ::chmod(path("/secret").c_str(), 0700);
    writeFile(path("/etc/sudoers.d/x"), "original", 0644);
    for (auto folder : {"MobrixLibrary", "CydiaSources", "CydiaPackages", "tmp"})
        writeFile(path(std::string("/victim-store/") + folder + "/keep.txt"), "keep", 0644);

    if (run({"--yes", "create-folders"}).status != 0)
        throw std::runtime_error("create-folders failed");
}

void RootSafeDevice::write(std::string_view devicePath, std::string_view content) const {
    writeFile(path(devicePath), content, 0644);
    ::lchown(path(devicePath).c_str(), owner_, ownerGroup_);
}

std::string RootSafeDevice::read(std::string_view devicePath) const {
    std::ifstream in(path(devicePath), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

pid_t RootSafeDevice::start(const std::vector<std::string>& arguments) const {
    std::vector<std::string> words{MOBRIX_BINARY, "--root", root_};
    words.insert(words.end(), arguments.begin(), arguments.end());
    pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execv(MOBRIX_BINARY, argv(words).data());
        ::_exit(127);
    }
    ::setpgid(pid, pid);
    return pid;
}

RootSafeDevice::Result RootSafeDevice::wait(pid_t pid) const {
    int status = 0;
    ::waitpid(pid, &status, 0);
    Result result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

RootSafeDevice::Result RootSafeDevice::run(const std::vector<std::string>& arguments) const {
    std::vector<std::string> words{MOBRIX_BINARY, "--root", root_};
    words.insert(words.end(), arguments.begin(), arguments.end());
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {};
    pid_t pid = ::fork();
    if (pid == 0) {
        int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, STDIN_FILENO);
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::dup2(pipeFds[1], STDERR_FILENO);
        ::close(pipeFds[0]);
        ::execv(MOBRIX_BINARY, argv(words).data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    Result result;
    std::array<char, 4096> buffer{};
    ssize_t got = 0;
    while ((got = ::read(pipeFds[0], buffer.data(), buffer.size())) > 0)
        result.output.append(buffer.data(), static_cast<size_t>(got));
    ::close(pipeFds[0]);
    result.status = wait(pid).status;
    return result;
}

pid_t RootSafeDevice::startAttacker(const std::function<void()>& body) const {
    pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::setgroups(0, nullptr) != 0 || ::setgid(ownerGroup_) != 0 || ::setuid(owner_) != 0 ||
            ::chdir(root_.c_str()) != 0)
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

std::map<std::string, std::string> RootSafeDevice::outsideSnapshot() const {
    std::map<std::string, std::string> snapshot;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root_, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const std::string relative = it->path().lexically_relative(root_).string();
        if (relative.starts_with("var/mobile") || relative.starts_with("var/wireless")) {
            it.disable_recursion_pending();
            continue;
        }
        struct stat status {};
        ::lstat(it->path().c_str(), &status);
        std::string line = std::to_string(status.st_uid) + ":" + std::to_string(status.st_gid) +
                           " " + std::to_string(status.st_mode) + " ";
        if (S_ISREG(status.st_mode))
            line += read("/" + relative);
        else if (S_ISLNK(status.st_mode))
            line += fs::read_symlink(it->path(), error).string();
        snapshot[relative] = line;
    }
    return snapshot;
}

std::string RootSafeDevice::archiveContents(const std::string& archiveName) const {
    return captureOutput("unzip -p " +
                         shellQuoted(path(std::string(library()) + "/" + archiveName)));
}

std::vector<std::string> RootSafeDevice::archiveNames(const std::string& archiveName) const {
    std::istringstream listing(captureOutput(
        "unzip -Z1 " + shellQuoted(path(std::string(library()) + "/" + archiveName))));
    std::vector<std::string> names;
    for (std::string line; std::getline(listing, line);)
        names.push_back(line);
    return names;
}
