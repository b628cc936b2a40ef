#include "cloud_fixture.h"

#include "cloud_session.h"
#include "cs_session.h"
#include "transfer_set.h"

#include <algorithm>

namespace fs = std::filesystem;

CloudFixture::CloudFixture() = default;

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
        if (std::find(missing.begin(), missing.end(), name) == missing.end())
            service().putFile(std::string(file.remotePath), name + " v" + version);
    }
}

std::string CloudFixture::remoteFile(const std::string& remotePath) const {
    return localCloud.service().readFile(remotePath).value_or("");
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
