#pragma once
// What the service keeps about accounts, tokens, entries and uploads.

#include <cstdint>
#include <string>

namespace server {

struct Account {
    std::int64_t uid = 0;
    std::string name; // the sign-in name
    std::string displayName;
    std::string email;
    std::string passwordHash;
    std::int64_t quotaBytes = 0;
    std::int64_t sequence = 0; // the last change number given to one of its entries
};

enum class TokenKind { Request, Access };

struct TokenRecord {
    std::string token;
    std::string secret;
    std::int64_t uid = 0; // 0: a request token nobody authorized yet
    TokenKind kind = TokenKind::Access;
    std::int64_t created = 0;
};

// One file or folder of an account, or the trace of a deleted one.
struct Entry {
    std::string path; // display form
    std::string key;  // lower case
    std::string parentKey;
    bool isDir = false;
    std::string blob; // content address of a file's body
    std::int64_t bytes = 0;
    std::int64_t revision = 0; // the account's change number when it last changed
    std::int64_t modified = 0; // seconds since 1970
    bool deleted = false;
};

struct ChunkedUpload {
    std::string id;
    std::int64_t uid = 0;
    std::int64_t offset = 0;
    std::int64_t expires = 0;
};

} // namespace server
