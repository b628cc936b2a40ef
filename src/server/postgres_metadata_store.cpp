#include "postgres_metadata_store.h"

#include <libpq-fe.h>

#include <optional>
#include <stdexcept>
#include <vector>

namespace server {

namespace {

constexpr int kAttempts = 8;

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS accounts (
  uid BIGSERIAL PRIMARY KEY,
  name TEXT NOT NULL UNIQUE,
  display_name TEXT NOT NULL,
  email TEXT NOT NULL,
  password_hash TEXT NOT NULL,
  quota BIGINT NOT NULL,
  sequence BIGINT NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS tokens (
  token TEXT PRIMARY KEY,
  secret TEXT NOT NULL,
  uid BIGINT NOT NULL,
  kind INTEGER NOT NULL,
  created BIGINT NOT NULL);
CREATE TABLE IF NOT EXISTS entries (
  uid BIGINT NOT NULL,
  key TEXT COLLATE "C" NOT NULL,
  parent_key TEXT COLLATE "C" NOT NULL,
  path TEXT NOT NULL,
  is_dir INTEGER NOT NULL,
  blob TEXT NOT NULL,
  bytes BIGINT NOT NULL,
  revision BIGINT NOT NULL,
  modified BIGINT NOT NULL,
  deleted INTEGER NOT NULL,
  PRIMARY KEY (uid, key));
CREATE INDEX IF NOT EXISTS entries_parent ON entries (uid, parent_key);
CREATE INDEX IF NOT EXISTS entries_revision ON entries (uid, revision);
CREATE TABLE IF NOT EXISTS history (
  uid BIGINT NOT NULL,
  key TEXT COLLATE "C" NOT NULL,
  path TEXT NOT NULL,
  blob TEXT NOT NULL,
  bytes BIGINT NOT NULL,
  revision BIGINT NOT NULL,
  modified BIGINT NOT NULL,
  deleted INTEGER NOT NULL,
  PRIMARY KEY (uid, key, revision));
CREATE TABLE IF NOT EXISTS uploads (
  id TEXT PRIMARY KEY,
  uid BIGINT NOT NULL,
  upload_offset BIGINT NOT NULL,
  expires BIGINT NOT NULL);
CREATE TABLE IF NOT EXISTS nonces (
  scope TEXT NOT NULL,
  nonce TEXT NOT NULL,
  signed_at BIGINT NOT NULL,
  PRIMARY KEY (scope, nonce, signed_at));
CREATE INDEX IF NOT EXISTS nonces_signed_at ON nonces (signed_at);
)sql";

// A failed statement, with its SQLSTATE ("40001" for a serialization conflict).
struct PgError : std::runtime_error {
    PgError(const std::string& text, std::string state)
        : std::runtime_error(text), sqlState(std::move(state)) {}
    std::string sqlState;
};

// One result, cleared when it goes.
class Rows {
public:
    explicit Rows(PGresult* result) : result_(result) {}
    ~Rows() { PQclear(result_); }
    Rows(const Rows&) = delete;
    Rows& operator=(const Rows&) = delete;
    int count() const { return PQntuples(result_); }
    std::string text(int row, int column) const { return PQgetvalue(result_, row, column); }
    std::int64_t integer(int row, int column) const {
        return std::stoll(PQgetvalue(result_, row, column));
    }

private:
    PGresult* result_;
};

using Value = std::string;

std::unique_ptr<Rows> run(PGconn* db, const char* sql, const std::vector<Value>& values = {}) {
    std::vector<const char*> pointers;
    for (const auto& v : values)
        pointers.push_back(v.c_str());
    PGresult* result = PQexecParams(db, sql, static_cast<int>(pointers.size()), nullptr,
                                    pointers.data(), nullptr, nullptr, 0);
    const auto status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
        PgError error(PQresultErrorMessage(result), state ? state : "");
        PQclear(result);
        throw error;
    }
    return std::make_unique<Rows>(result);
}

Value v(std::int64_t number) {
    return std::to_string(number);
}

constexpr const char* kAccountColumns =
    "SELECT uid, name, display_name, email, password_hash, quota, sequence FROM accounts ";
constexpr const char* kEntryColumns =
    "SELECT path, key, parent_key, is_dir, blob, bytes, revision, modified, deleted FROM entries ";

Account readAccount(const Rows& r, int i) {
    return {r.integer(i, 0), r.text(i, 1),    r.text(i, 2),   r.text(i, 3),
            r.text(i, 4),    r.integer(i, 5), r.integer(i, 6)};
}

Entry readEntry(const Rows& r, int i) {
    Entry e;
    e.path = r.text(i, 0);
    e.key = r.text(i, 1);
    e.parentKey = r.text(i, 2);
    e.isDir = r.integer(i, 3) != 0;
    e.blob = r.text(i, 4);
    e.bytes = r.integer(i, 5);
    e.revision = r.integer(i, 6);
    e.modified = r.integer(i, 7);
    e.deleted = r.integer(i, 8) != 0;
    return e;
}

std::vector<Entry> readEntries(const Rows& r) {
    std::vector<Entry> out;
    for (int i = 0; i < r.count(); ++i)
        out.push_back(readEntry(r, i));
    return out;
}

std::string sql(const char* head, const char* tail) {
    return std::string(head) + tail;
}

class PostgresTxn : public MetadataTxn {
public:
    explicit PostgresTxn(PGconn* db) : db_(db) {}

    std::optional<Account> accountById(std::int64_t uid) override {
        auto r = run(db_, sql(kAccountColumns, "WHERE uid = $1").c_str(), {v(uid)});
        return r->count() ? std::optional(readAccount(*r, 0)) : std::nullopt;
    }
    std::optional<Account> accountByName(const std::string& name) override {
        auto r = run(db_, sql(kAccountColumns, "WHERE name = $1").c_str(), {name});
        return r->count() ? std::optional(readAccount(*r, 0)) : std::nullopt;
    }
    std::vector<Account> accounts() override {
        auto r = run(db_, sql(kAccountColumns, "ORDER BY uid").c_str());
        std::vector<Account> out;
        for (int i = 0; i < r->count(); ++i)
            out.push_back(readAccount(*r, i));
        return out;
    }
    std::int64_t addAccount(const Account& a) override {
        auto r =
            run(db_,
                "INSERT INTO accounts (name, display_name, email, password_hash, quota, "
                "sequence) VALUES ($1, $2, $3, $4, $5, $6) RETURNING uid",
                {a.name, a.displayName, a.email, a.passwordHash, v(a.quotaBytes), v(a.sequence)});
        return r->integer(0, 0);
    }
    void updateAccount(const Account& a) override {
        run(db_,
            "UPDATE accounts SET name = $1, display_name = $2, email = $3, password_hash = $4, "
            "quota = $5, sequence = $6 WHERE uid = $7",
            {a.name, a.displayName, a.email, a.passwordHash, v(a.quotaBytes), v(a.sequence),
             v(a.uid)});
    }

    std::optional<TokenRecord> token(const std::string& token) override {
        auto r = run(db_, "SELECT token, secret, uid, kind, created FROM tokens WHERE token = $1",
                     {token});
        if (!r->count())
            return std::nullopt;
        return TokenRecord{r->text(0, 0), r->text(0, 1), r->integer(0, 2),
                           r->integer(0, 3) == 0 ? TokenKind::Request : TokenKind::Access,
                           r->integer(0, 4)};
    }
    void putToken(const TokenRecord& t) override {
        run(db_,
            "INSERT INTO tokens (token, secret, uid, kind, created) VALUES ($1, $2, $3, $4, $5) "
            "ON CONFLICT (token) DO UPDATE SET secret = EXCLUDED.secret, uid = EXCLUDED.uid, "
            "kind = EXCLUDED.kind, created = EXCLUDED.created",
            {t.token, t.secret, v(t.uid), v(t.kind == TokenKind::Request ? 0 : 1), v(t.created)});
    }
    void deleteToken(const std::string& token) override {
        run(db_, "DELETE FROM tokens WHERE token = $1", {token});
    }

    std::size_t deleteTokensOf(std::int64_t uid) override {
        return static_cast<std::size_t>(
            run(db_, "DELETE FROM tokens WHERE uid = $1 RETURNING token", {v(uid)})->count());
    }

    std::optional<Entry> entry(std::int64_t uid, const std::string& key) override {
        auto r = run(db_, sql(kEntryColumns, "WHERE uid = $1 AND key = $2").c_str(), {v(uid), key});
        return r->count() ? std::optional(readEntry(*r, 0)) : std::nullopt;
    }
    std::vector<Entry> children(std::int64_t uid, const std::string& parentKey) override {
        return readEntries(*run(db_,
                                sql(kEntryColumns, "WHERE uid = $1 AND parent_key = $2 AND "
                                                   "deleted = 0 AND key <> '/' ORDER BY key")
                                    .c_str(),
                                {v(uid), parentKey}));
    }
    std::vector<Entry> subtree(std::int64_t uid, const std::string& key) override {
        const std::string below = keysBelowPattern(key);
        return readEntries(*run(db_,
                                sql(kEntryColumns, "WHERE uid = $1 AND deleted = 0 AND (key = $2 "
                                                   "OR key LIKE $3 ESCAPE '\\') ORDER BY key")
                                    .c_str(),
                                {v(uid), key, below}));
    }
    std::vector<Entry> changedSince(std::int64_t uid, std::int64_t revision) override {
        return readEntries(*run(
            db_,
            sql(kEntryColumns, "WHERE uid = $1 AND revision > $2 ORDER BY revision, key").c_str(),
            {v(uid), v(revision)}));
    }
    void putEntry(std::int64_t uid, const Entry& e) override {
        run(db_,
            "INSERT INTO entries (uid, key, parent_key, path, is_dir, blob, bytes, revision, "
            "modified, deleted) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10) "
            "ON CONFLICT (uid, key) DO UPDATE SET parent_key = EXCLUDED.parent_key, "
            "path = EXCLUDED.path, is_dir = EXCLUDED.is_dir, blob = EXCLUDED.blob, "
            "bytes = EXCLUDED.bytes, revision = EXCLUDED.revision, "
            "modified = EXCLUDED.modified, deleted = EXCLUDED.deleted",
            {v(uid), e.key, e.parentKey, e.path, v(e.isDir), e.blob, v(e.bytes), v(e.revision),
             v(e.modified), v(e.deleted)});
        if (e.isDir)
            return;
        run(db_,
            "INSERT INTO history (uid, key, path, blob, bytes, revision, modified, deleted) "
            "VALUES ($1, $2, $3, $4, $5, $6, $7, $8) ON CONFLICT (uid, key, revision) DO UPDATE "
            "SET path = EXCLUDED.path, blob = EXCLUDED.blob, bytes = EXCLUDED.bytes, "
            "modified = EXCLUDED.modified, deleted = EXCLUDED.deleted",
            {v(uid), e.key, e.path, e.blob, v(e.bytes), v(e.revision), v(e.modified),
             v(e.deleted)});
    }
    std::vector<Entry> history(std::int64_t uid, const std::string& key,
                               std::size_t limit) override {
        return readEntries(
            *run(db_,
                 "SELECT path, key, '', 0, blob, bytes, revision, modified, deleted FROM history "
                 "WHERE uid = $1 AND key = $2 ORDER BY revision DESC LIMIT $3",
                 {v(uid), key, v(static_cast<std::int64_t>(limit))}));
    }
    std::int64_t usedBytes(std::int64_t uid) override {
        auto r = run(db_,
                     "SELECT COALESCE(SUM(bytes), 0) FROM entries WHERE uid = $1 AND deleted = 0 "
                     "AND is_dir = 0",
                     {v(uid)});
        return r->integer(0, 0);
    }

    void pruneHistory(std::int64_t uid, const std::string& key, std::size_t keep) override {
        run(db_,
            "DELETE FROM history WHERE uid = $1 AND key = $2 AND revision NOT IN "
            "(SELECT revision FROM history WHERE uid = $1 AND key = $2 "
            "ORDER BY revision DESC LIMIT $3)",
            {v(uid), key, v(static_cast<std::int64_t>(keep))});
    }
    std::vector<std::string> referencedBlobs() override {
        auto r = run(db_, "SELECT blob FROM entries WHERE blob <> '' UNION "
                          "SELECT blob FROM history WHERE blob <> ''");
        std::vector<std::string> out;
        for (int i = 0; i < r->count(); ++i)
            out.push_back(r->text(i, 0));
        return out;
    }
    std::int64_t pendingUploadBytes(std::int64_t uid) override {
        return run(db_, "SELECT COALESCE(SUM(upload_offset), 0) FROM uploads WHERE uid = $1",
                   {v(uid)})
            ->integer(0, 0);
    }
    std::vector<std::string> expireUploads(std::int64_t now) override {
        auto r = run(db_, "DELETE FROM uploads WHERE expires < $1 RETURNING id", {v(now)});
        std::vector<std::string> out;
        for (int i = 0; i < r->count(); ++i)
            out.push_back(r->text(i, 0));
        return out;
    }

    std::optional<ChunkedUpload> upload(const std::string& id) override {
        auto r =
            run(db_, "SELECT id, uid, upload_offset, expires FROM uploads WHERE id = $1", {id});
        if (!r->count())
            return std::nullopt;
        return ChunkedUpload{r->text(0, 0), r->integer(0, 1), r->integer(0, 2), r->integer(0, 3)};
    }
    void putUpload(const ChunkedUpload& u) override {
        run(db_,
            "INSERT INTO uploads (id, uid, upload_offset, expires) VALUES ($1, $2, $3, $4) "
            "ON CONFLICT (id) DO UPDATE SET uid = EXCLUDED.uid, "
            "upload_offset = EXCLUDED.upload_offset, expires = EXCLUDED.expires",
            {u.id, v(u.uid), v(u.offset), v(u.expires)});
    }
    void deleteUpload(const std::string& id) override {
        run(db_, "DELETE FROM uploads WHERE id = $1", {id});
    }

private:
    PGconn* db_;
};

} // namespace

std::unique_ptr<PostgresMetadataStore> PostgresMetadataStore::open(const std::string& conninfo,
                                                                   std::string* error) {
    PGconn* db = PQconnectdb(conninfo.c_str());
    if (PQstatus(db) != CONNECTION_OK) {
        if (error)
            *error = std::string("cannot reach PostgreSQL: ") + PQerrorMessage(db);
        PQfinish(db);
        return nullptr;
    }
    try {
        run(db, "SET client_min_messages = warning");
        // One process prepares the schema at a time.
        run(db, "SELECT pg_advisory_lock(7214031)");
        PGresult* schema = PQexec(db, kSchema); // several statements: the simple protocol
        const bool made = PQresultStatus(schema) == PGRES_COMMAND_OK;
        const std::string why = PQresultErrorMessage(schema);
        PQclear(schema);
        if (!made)
            throw PgError(why, "");
        run(db, "SELECT pg_advisory_unlock(7214031)");
    } catch (const PgError& e) {
        if (error)
            *error = std::string("cannot prepare the PostgreSQL schema: ") + e.what();
        PQfinish(db);
        return nullptr;
    }
    return std::unique_ptr<PostgresMetadataStore>(new PostgresMetadataStore(db));
}

PostgresMetadataStore::~PostgresMetadataStore() {
    PQfinish(connection_);
}

bool PostgresMetadataStore::transact(const std::function<bool(MetadataTxn&)>& work,
                                     std::string* error) {
    std::lock_guard lock(mutex_);
    for (int attempt = 1;; ++attempt) {
        try {
            if (PQstatus(connection_) != CONNECTION_OK)
                PQreset(connection_);
            run(connection_, "BEGIN ISOLATION LEVEL SERIALIZABLE");
            PostgresTxn txn(connection_);
            run(connection_, work(txn) ? "COMMIT" : "ROLLBACK");
            return true;
        } catch (const PgError& e) {
            PQclear(PQexec(connection_, "ROLLBACK"));
            const bool conflict = e.sqlState == "40001" || e.sqlState == "40P01";
            if (conflict && attempt < kAttempts)
                continue;
            if (error)
                *error = e.what();
            return false;
        }
    }
}

NonceOutcome PostgresMetadataStore::rememberNonce(const std::string& scope,
                                                  const std::string& nonce, std::int64_t timestamp,
                                                  std::int64_t forgetBefore) {
    std::lock_guard lock(mutex_);
    // The unique key settles two processes taking one nonce at once; a
    // deadlock between two purges is tried again.
    for (int attempt = 1;; ++attempt) {
        try {
            if (PQstatus(connection_) != CONNECTION_OK)
                PQreset(connection_);
            run(connection_, "BEGIN");
            // Survives the process at once and the database's crash once flushed.
            run(connection_, "SET LOCAL synchronous_commit TO OFF");
            run(connection_, "DELETE FROM nonces WHERE signed_at < $1", {v(forgetBefore)});
            const bool fresh = run(connection_,
                                   "INSERT INTO nonces (scope, nonce, signed_at) VALUES ($1, $2, "
                                   "$3) ON CONFLICT DO NOTHING RETURNING 1",
                                   {scope, nonce, v(timestamp)})
                                   ->count() == 1;
            run(connection_, "COMMIT");
            return fresh ? NonceOutcome::Fresh : NonceOutcome::Replayed;
        } catch (const PgError& e) {
            PQclear(PQexec(connection_, "ROLLBACK"));
            const bool conflict = e.sqlState == "40001" || e.sqlState == "40P01";
            if (!conflict || attempt >= kAttempts)
                return NonceOutcome::Failed;
        }
    }
}

} // namespace server
