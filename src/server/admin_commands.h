#pragma once
// The operator's commands: set up a data folder, manage accounts.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace server {

struct InitOptions {
    std::string folder;
    std::string listen = "127.0.0.1:8443";
    std::vector<std::string> hostNames; // put into the server certificate
    std::optional<std::int64_t> defaultQuota;
};

struct UserOptions {
    std::string name;
    std::string displayName;
    std::string email;
    std::optional<std::int64_t> quota;
};

// Each prints what the operator needs and gives the process's exit status.
int initDataFolder(const InitOptions& options);
int addUser(const std::string& configFile, const UserOptions& options);
// A new password also unlinks every device of the account.
int resetPassword(const std::string& configFile, const std::string& name);
// Unlinks every device of the account: its tokens stop working.
int revokeTokens(const std::string& configFile, const std::string& name);
int setQuota(const std::string& configFile, const std::string& name, std::int64_t bytes);
int listUsers(const std::string& configFile);

// "1048576", "512K", "10M", "2G", "1T" (powers of 1024).
std::optional<std::int64_t> parseByteCount(const std::string& text);

} // namespace server
