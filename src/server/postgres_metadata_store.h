#pragma once
// The metadata store in PostgreSQL, for several service processes sharing one
// database. Each transaction runs SERIALIZABLE and is run again when the
// database reports a conflict with another process, so the rules that hold
// within one process (quota, change numbers, one winner per path) hold across
// processes too. One connection per process, used by one transaction at a time.

#include "metadata_store.h"

#include <mutex>

struct pg_conn;

namespace server {

class PostgresMetadataStore : public MetadataStore {
public:
    // `conninfo`: a libpq connection string or "postgresql://" URI.
    static std::unique_ptr<PostgresMetadataStore> open(const std::string& conninfo,
                                                       std::string* error);
    ~PostgresMetadataStore() override;

    bool transact(const std::function<bool(MetadataTxn&)>& work, std::string* error) override;
    NonceOutcome rememberNonce(const std::string& scope, const std::string& nonce,
                               std::int64_t timestamp, std::int64_t forgetBefore) override;

private:
    explicit PostgresMetadataStore(pg_conn* connection) : connection_(connection) {}

    pg_conn* connection_;
    std::mutex mutex_;
};

} // namespace server
