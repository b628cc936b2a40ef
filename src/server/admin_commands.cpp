#include "admin_commands.h"

#include "blob_store.h"
#include "cloud_session.h"
#include "metadata_json.h"
#include "metadata_store.h"
#include "secrets.h"
#include "server_config.h"
#include "tls_setup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace server {
namespace fs = std::filesystem;

namespace {

constexpr const char* kConfigName = "mobrix-cloud.conf";

int fail(const std::string& message) {
    std::fprintf(stderr, "mobrix-cloud: %s\n", message.c_str());
    return 1;
}

bool writePrivateFile(const fs::path& path, const std::string& text) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ok = ::fsync(fd) == 0 && ok;
    return ::close(fd) == 0 && ok;
}

// Opens the metadata store a configuration names.
std::unique_ptr<MetadataStore> openStore(const std::string& configFile, ServerConfig* out) {
    std::string error;
    auto config = ServerConfig::load(configFile, &error);
    if (!config) {
        fail(error);
        return nullptr;
    }
    auto store = openMetadataStore(config->metadata, &error);
    if (!store)
        fail(error);
    *out = *config;
    return store;
}

std::string firstPassword() {
    return randomHex(10);
}

} // namespace

std::optional<std::int64_t> parseByteCount(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    std::int64_t unit = 1;
    std::string digits = text;
    const std::string suffixes = "KMGT";
    if (auto at = suffixes.find(static_cast<char>(std::toupper(text.back())));
        at != std::string::npos) {
        unit = std::int64_t{1} << (10 * (at + 1));
        digits.pop_back();
    }
    if (digits.empty() || digits.size() > 15 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoll(digits) * unit;
}

int initDataFolder(const InitOptions& options) {
    const fs::path folder = fs::absolute(options.folder);
    std::error_code ec;
    if (fs::exists(folder / kConfigName, ec))
        return fail((folder / kConfigName).string() + " exists already; nothing was changed");
    fs::create_directories(folder / "tls", ec);
    if (ec)
        return fail("cannot make " + folder.string() + ": " + ec.message());
    fs::permissions(folder, fs::perms::owner_all, ec);
    std::vector<std::string> names = options.hostNames;
    if (names.empty())
        names = {"localhost", "127.0.0.1"};
    TlsFiles tls;
    std::string error;
    if (!makeTlsFiles(folder / "tls", names, &tls, &error))
        return fail(error);

    ServerConfig config;
    config.listen = options.listen;
    config.tlsCertificate = tls.certificate.string();
    config.tlsKey = tls.key.string();
    config.metadata = "sqlite:" + (folder / "metadata.db").string();
    config.blobs = "file:" + (folder / "blobs").string();
    config.uploads = (folder / "uploads").string();
    config.appKey = std::string(cloud::kAppKey);
    config.appSecret = std::string(cloud::kAppSecret);
    if (options.defaultQuota)
        config.defaultQuota = *options.defaultQuota;
    if (!writePrivateFile(folder / kConfigName, config.text()))
        return fail("cannot write " + (folder / kConfigName).string());
    if (!openMetadataStore(config.metadata, &error) || !openBlobStore(config.blobs, {}, &error))
        return fail(error);
    std::printf("Data folder: %s\nConfiguration: %s\nClients trust: %s\n", folder.c_str(),
                (folder / kConfigName).c_str(), tls.authority.c_str());
    return 0;
}

int addUser(const std::string& configFile, const UserOptions& options) {
    ServerConfig config;
    auto store = openStore(configFile, &config);
    if (!store)
        return 1;
    if (options.name.empty() || options.name.size() > 64 ||
        options.name.find_first_of(" \t\r\n") != std::string::npos)
        return fail("a user name is one word of at most 64 bytes");
    const std::string password = firstPassword();
    Account account;
    account.name = options.name;
    account.displayName = options.displayName.empty() ? options.name : options.displayName;
    account.email = options.email;
    account.passwordHash = hashPassword(password);
    account.quotaBytes = options.quota.value_or(config.defaultQuota);
    bool exists = false;
    std::string error;
    const bool ran = store->transact(
        [&](MetadataTxn& txn) {
            exists = txn.accountByName(account.name).has_value();
            if (!exists)
                account.uid = txn.addAccount(account);
            return !exists;
        },
        &error);
    if (!ran)
        return fail(error);
    if (exists)
        return fail("the user " + options.name + " exists already");
    std::printf("User %s (uid %lld, quota %s)\nFirst password: %s\n", account.name.c_str(),
                static_cast<long long>(account.uid), humanReadableSize(account.quotaBytes).c_str(),
                password.c_str());
    return 0;
}

int resetPassword(const std::string& configFile, const std::string& name) {
    ServerConfig config;
    auto store = openStore(configFile, &config);
    if (!store)
        return 1;
    const std::string password = firstPassword();
    bool found = false;
    std::string error;
    store->transact(
        [&](MetadataTxn& txn) {
            auto account = txn.accountByName(name);
            found = account.has_value();
            if (found) {
                account->passwordHash = hashPassword(password);
                txn.updateAccount(*account);
                txn.deleteTokensOf(account->uid);
            }
            return found;
        },
        &error);
    if (!found)
        return fail(error.empty() ? "no user " + name : error);
    std::printf("New password of %s: %s\nEvery device of %s must link again.\n", name.c_str(),
                password.c_str(), name.c_str());
    return 0;
}

int revokeTokens(const std::string& configFile, const std::string& name) {
    ServerConfig config;
    auto store = openStore(configFile, &config);
    if (!store)
        return 1;
    std::optional<std::size_t> revoked;
    std::string error;
    store->transact(
        [&](MetadataTxn& txn) {
            if (auto account = txn.accountByName(name))
                revoked = txn.deleteTokensOf(account->uid);
            return revoked.has_value();
        },
        &error);
    if (!revoked)
        return fail(error.empty() ? "no user " + name : error);
    std::printf("Unlinked %zu device link(s) of %s\n", *revoked, name.c_str());
    return 0;
}

int setQuota(const std::string& configFile, const std::string& name, std::int64_t bytes) {
    ServerConfig config;
    auto store = openStore(configFile, &config);
    if (!store)
        return 1;
    bool found = false;
    std::string error;
    store->transact(
        [&](MetadataTxn& txn) {
            auto account = txn.accountByName(name);
            found = account.has_value();
            if (found) {
                account->quotaBytes = bytes;
                txn.updateAccount(*account);
            }
            return found;
        },
        &error);
    if (!found)
        return fail(error.empty() ? "no user " + name : error);
    std::printf("Quota of %s: %s\n", name.c_str(), humanReadableSize(bytes).c_str());
    return 0;
}

int listUsers(const std::string& configFile) {
    ServerConfig config;
    auto store = openStore(configFile, &config);
    if (!store)
        return 1;
    std::string error;
    const bool ran = store->transact(
        [&](MetadataTxn& txn) {
            for (const auto& a : txn.accounts()) {
                std::printf("%lld %s: %s used of %s\n", static_cast<long long>(a.uid),
                            a.name.c_str(), humanReadableSize(txn.usedBytes(a.uid)).c_str(),
                            humanReadableSize(a.quotaBytes).c_str());
            }
            return true;
        },
        &error);
    return ran ? 0 : fail(error);
}

} // namespace server
