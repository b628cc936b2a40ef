#include "temp_device_root.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

std::string captureOutput(const std::string& command) {
    std::string output;
    FILE* pipe = ::popen(("(" + command + ") 2>/dev/null").c_str(), "r");
    std::array<char, 4096> buffer{};
    for (size_t read = 0; pipe && (read = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
        output.append(buffer.data(), read);
    if (pipe)
        ::pclose(pipe);
    return output;
}

std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

TempDeviceRoot::TempDeviceRoot() {
    std::string pattern = (fs::temp_directory_path() / "mobrix-device-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    makeFolder("/var/tmp");
}

TempDeviceRoot::~TempDeviceRoot() {
    remove("");
}

void TempDeviceRoot::write(std::string_view devicePath, std::string_view content) const {
    fs::create_directories(fs::path(path(devicePath)).parent_path());
    std::ofstream(path(devicePath), std::ios::binary | std::ios::trunc) << content;
}

std::string TempDeviceRoot::read(std::string_view devicePath) const {
    std::ostringstream content;
    content << std::ifstream(path(devicePath), std::ios::binary).rdbuf();
    return content.str();
}

void TempDeviceRoot::chown(std::string_view devicePath, unsigned owner, unsigned group) const {
    std::system(("chown -R " + std::to_string(owner) + ":" + std::to_string(group) + " " +
                 shellQuoted(path(devicePath)))
                    .c_str());
}

void TempDeviceRoot::makeStoreFolders() const {
    for (auto folder : {"", "/MobrixLibrary", "/CydiaSources", "/CydiaPackages"}) {
        makeFolder(std::string("/var/mobile/Library/Preferences/Mobrix") + folder);
        fs::permissions(path("/var/mobile/Library/Preferences/Mobrix") + folder, fs::perms(0755));
    }
}

void TempDeviceRoot::fillLiveFolders(unsigned owner, unsigned group) const {
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
    chown("/var/mobile", owner, group);
    chown("/var/wireless", owner, group);
    makeFolder("/Applications/Mobrix.app");
    for (auto script : {"DpkgGetSelections.sh", "RestoreCydiaApps.sh"})
        fs::copy_file(std::string(MOBRIX_SOURCE_DIR) + "/packaging/" + script,
                      path("/Applications/Mobrix.app/") + script);
}

std::vector<std::string> TempDeviceRoot::lines(const std::string& command) {
    std::istringstream text(captureOutput(command + " | LC_ALL=C sort"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    return lines;
}
