#include "cloud_fixture.h"

#include "cloud_session.h"
#include "cs_session.h"
#include "transfer_set.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

CloudFixture::CloudFixture() : account(environment.makeFolder("account")), localCloud(account) {}

CloudFixture::~CloudFixture() = default;

void CloudFixture::linkStoredAccount() {
    auto token = service().issueAccessToken("1001");
    auto session = cloud::makeSession(cloudContext());
    session->updateAccessToken(token.token, token.secret, token.uid);
}

std::string CloudFixture::storePath(const std::string& fileName) {
    for (const auto& file : cloud::transferSet())
        if (file.fileName == fileName)
            return std::string(file.localPath);
    return "/var/mobile/Library/Preferences/Mobrix/MobrixLibrary/" + fileName;
}

void CloudFixture::fillStore(const std::vector<std::string>& missing, const std::string& version) {
    device.makeStoreFolders();
    for (const auto& file : cloud::transferSet()) {
        const std::string name(file.fileName);
        if (std::find(missing.begin(), missing.end(), name) == missing.end())
            device.write(file.localPath, name + " v" + version);
    }
    device.write(storePath("SMS.zip"), "sms");
    device.write(storePath("DCIM.zip"), "photos");
    device.write("/var/mobile/Library/Preferences/Mobrix/CydiaSources/sources.list", "deb x");
}

void CloudFixture::fillRemote(const std::vector<std::string>& missing, const std::string& version) {
    for (const auto& file : cloud::transferSet()) {
        const std::string name(file.fileName);
        if (std::find(missing.begin(), missing.end(), name) != missing.end())
            continue;
        fs::path path = service().localPath(std::string(file.remotePath));
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << name << " v" << version;
    }
}

std::vector<std::string> CloudFixture::remoteTree() const {
    std::vector<std::string> tree;
    for (auto it = fs::recursive_directory_iterator(account);
         it != fs::recursive_directory_iterator(); ++it) {
        std::string relative = fs::relative(it->path(), account).string();
        if (relative.starts_with(".uploads"))
            continue;
        tree.push_back(relative + (it->is_directory() ? "/" : ""));
    }
    std::sort(tree.begin(), tree.end());
    return tree;
}

std::string CloudFixture::remoteFile(const std::string& remotePath) const {
    std::ifstream in(account / remotePath.substr(1), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<std::string> CloudFixture::requestLines() {
    std::vector<std::string> lines;
    for (const auto& request : service().requests()) {
        std::string line = request.method + " " + request.path;
        if (request.hasParam("path"))
            line += " " + request.param("path");
        lines.push_back(line);
    }
    return lines;
}
