#pragma once
// The metadata store on one SQLite file in WAL mode. One connection, used by
// one transaction at a time: writes are serialized, which is what SQLite does
// anyway, and readers never see a transaction half done. Nonces go through a
// second connection whose commits do not wait for the disk.

#include "metadata_store.h"

#include <mutex>

struct sqlite3;

namespace server {

class SqliteMetadataStore : public MetadataStore {
public:
    static std::unique_ptr<SqliteMetadataStore> open(const std::string& path, std::string* error);
    ~SqliteMetadataStore() override;

    bool transact(const std::function<bool(MetadataTxn&)>& work, std::string* error) override;
    NonceOutcome rememberNonce(const std::string& scope, const std::string& nonce,
                               std::int64_t timestamp, std::int64_t forgetBefore) override;

private:
    SqliteMetadataStore(sqlite3* db, sqlite3* nonceDb) : db_(db), nonceDb_(nonceDb) {}

    sqlite3* db_;
    sqlite3* nonceDb_;
    std::mutex mutex_;
    std::mutex nonceMutex_;
};

} // namespace server
