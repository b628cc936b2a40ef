#include "temp_device_root.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string capture(const std::string& command) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return output;
    std::array<char, 4096> buffer{};
    size_t read = 0;
    while ((read = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        output.append(buffer.data(), read);
    ::pclose(pipe);
    return output;
}

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

} // namespace

std::string sourceFolder() {
    return MOBRIX_SOURCE_DIR;
}

TempDeviceRoot::TempDeviceRoot() {
    std::string pattern = (fs::temp_directory_path() / "mobrix-device-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    makeFolder("/var/tmp");
}

TempDeviceRoot::~TempDeviceRoot() {
    std::error_code error;
    fs::remove_all(root_, error);
}

std::string TempDeviceRoot::path(std::string_view devicePath) const {
    return root_ + std::string(devicePath);
}

void TempDeviceRoot::write(std::string_view devicePath, std::string_view content) const {
    fs::create_directories(fs::path(path(devicePath)).parent_path());
    std::ofstream out(path(devicePath), std::ios::binary | std::ios::trunc);
    out << content;
}

std::string TempDeviceRoot::read(std::string_view devicePath) const {
    std::ifstream in(path(devicePath), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool TempDeviceRoot::exists(std::string_view devicePath) const {
    std::error_code error;
    return fs::symlink_status(path(devicePath), error).type() != fs::file_type::not_found && !error;
}

void TempDeviceRoot::makeFolder(std::string_view devicePath) const {
    fs::create_directories(path(devicePath));
}

void TempDeviceRoot::remove(std::string_view devicePath) const {
    std::error_code error;
    fs::remove_all(path(devicePath), error);
}

void TempDeviceRoot::chown(std::string_view devicePath, unsigned owner, unsigned group) const {
    std::system(("chown -R " + std::to_string(owner) + ":" + std::to_string(group) + " " +
                 quoted(path(devicePath)))
                    .c_str());
}

void TempDeviceRoot::makeStoreFolders() const {
    for (auto folder : {"/var/mobile/Library/Preferences/Mobrix/MobrixLibrary",
                        "/var/mobile/Library/Preferences/Mobrix/CydiaSources",
                        "/var/mobile/Library/Preferences/Mobrix/CydiaPackages"}) {
        makeFolder(folder);
        fs::permissions(path(folder), fs::perms(0755));
    }
    fs::permissions(path("/var/mobile/Library/Preferences/Mobrix"), fs::perms(0755));
}

void TempDeviceRoot::fillLiveFolders() const {
    write("/var/mobile/Library/Preferences/com.example.tweak.plist", "<plist>tweak</plist>");
    write("/var/mobile/Library/Preferences/Nested/deep.plist", "deep");
    for (auto name : {"Accounts", "AddressBook", "Calendar", "Notes", "Safari", "SMS", "Voicemail",
                      "SpringBoard"}) {
        const std::string folder = std::string("/var/mobile/Library/") + name;
        write(folder + "/Read me.txt", std::string("live ") + name);
        write(folder + "/Sub folder/Café ✓.db", std::string("nested ") + name);
        makeFolder(folder + "/Empty");
    }
    write("/var/wireless/Library/CallHistory/call_history.db", "calls");
    write("/var/mobile/Media/DCIM/100APPLE/IMG_0001.JPG", "jpeg bytes");
    write("/var/mobile/Media/PhotoData/Photos.sqlite", "photo data");
    chown("/var/mobile", 501, 501);
    chown("/var/wireless", 501, 501);
    for (auto script : {"DpkgGetSelections.sh", "RestoreCydiaApps.sh"}) {
        std::ifstream in(sourceFolder() + "/packaging/" + script, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        write(std::string("/Applications/Mobrix.app/") + script, content.str());
    }
}

std::vector<std::string> TempDeviceRoot::archiveEntries(std::string_view devicePath) const {
    std::vector<std::string> entries;
    std::istringstream listing(
        capture("/usr/bin/unzip -Z1 " + quoted(path(devicePath)) + " 2>/dev/null"));
    for (std::string line; std::getline(listing, line);)
        entries.push_back(line);
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::vector<std::string> TempDeviceRoot::tree(std::string_view devicePath) const {
    std::vector<std::string> entries;
    const fs::path base(path(devicePath));
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(base, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        std::string relative = it->path().lexically_relative(base).string();
        if (it->is_directory() && !it->is_symlink())
            relative += "/";
        entries.push_back(relative);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}
