#pragma once
// The metadata store on one SQLite file in WAL mode. One connection, used by
// one transaction at a time: writes are serialized, which is what SQLite does
// anyway, and readers never see a transaction half done.

#include "metadata_store.h"

#include <mutex>

struct sqlite3;

namespace server {

class SqliteMetadataStore : public MetadataStore {
public:
    static std::unique_ptr<SqliteMetadataStore> open(const std::string& path, std::string* error);
    ~SqliteMetadataStore() override;

    bool transact(const std::function<bool(MetadataTxn&)>& work, std::string* error) override;

private:
    explicit SqliteMetadataStore(sqlite3* db) : db_(db) {}

    sqlite3* db_;
    std::mutex mutex_;
};

} // namespace server
