#include "sqlite_metadata_store.h"

#include <sqlite3.h>

#include <stdexcept>

namespace server {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS accounts (
  uid INTEGER PRIMARY KEY AUTOINCREMENT,
  name TEXT NOT NULL UNIQUE,
  display_name TEXT NOT NULL,
  email TEXT NOT NULL,
  password_hash TEXT NOT NULL,
  quota INTEGER NOT NULL,
  sequence INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS tokens (
  token TEXT PRIMARY KEY,
  secret TEXT NOT NULL,
  uid INTEGER NOT NULL,
  kind INTEGER NOT NULL,
  created INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS entries (
  uid INTEGER NOT NULL,
  key TEXT NOT NULL,
  parent_key TEXT NOT NULL,
  path TEXT NOT NULL,
  is_dir INTEGER NOT NULL,
  blob TEXT NOT NULL,
  bytes INTEGER NOT NULL,
  revision INTEGER NOT NULL,
  modified INTEGER NOT NULL,
  deleted INTEGER NOT NULL,
  PRIMARY KEY (uid, key));
CREATE INDEX IF NOT EXISTS entries_parent ON entries (uid, parent_key);
CREATE INDEX IF NOT EXISTS entries_revision ON entries (uid, revision);
CREATE TABLE IF NOT EXISTS history (
  uid INTEGER NOT NULL,
  key TEXT NOT NULL,
  path TEXT NOT NULL,
  blob TEXT NOT NULL,
  bytes INTEGER NOT NULL,
  revision INTEGER NOT NULL,
  modified INTEGER NOT NULL,
  deleted INTEGER NOT NULL,
  PRIMARY KEY (uid, key, revision));
CREATE TABLE IF NOT EXISTS uploads (
  id TEXT PRIMARY KEY,
  uid INTEGER NOT NULL,
  offset INTEGER NOT NULL,
  expires INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS nonces (
  scope TEXT NOT NULL,
  nonce TEXT NOT NULL,
  signed_at INTEGER NOT NULL,
  PRIMARY KEY (scope, nonce, signed_at));
CREATE INDEX IF NOT EXISTS nonces_signed_at ON nonces (signed_at);
)sql";

struct SqliteError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// One prepared statement, finalized when it goes.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK)
            throw SqliteError(sqlite3_errmsg(db));
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, const std::string& text) {
        sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind(int index, std::int64_t value) {
        sqlite3_bind_int64(stmt_, index, value);
        return *this;
    }
    // True while a row is there.
    bool step() {
        int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        throw SqliteError(sqlite3_errmsg(db_));
    }
    void run() { step(); }
    std::string text(int column) const {
        auto* p = sqlite3_column_text(stmt_, column);
        return p ? std::string(reinterpret_cast<const char*>(p),
                               static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)))
                 : std::string();
    }
    std::int64_t integer(int column) const { return sqlite3_column_int64(stmt_, column); }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

void exec(sqlite3* db, const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        std::string text = message ? message : "unknown error";
        sqlite3_free(message);
        throw SqliteError(text);
    }
}

constexpr const char* kAccountColumns =
    "SELECT uid, name, display_name, email, password_hash, quota, sequence FROM accounts ";
constexpr const char* kEntryColumns =
    "SELECT path, key, parent_key, is_dir, blob, bytes, revision, modified, deleted FROM entries ";

Account readAccount(const Statement& s) {
    return {s.integer(0), s.text(1), s.text(2), s.text(3), s.text(4), s.integer(5), s.integer(6)};
}

Entry readEntry(const Statement& s) {
    Entry e;
    e.path = s.text(0);
    e.key = s.text(1);
    e.parentKey = s.text(2);
    e.isDir = s.integer(3) != 0;
    e.blob = s.text(4);
    e.bytes = s.integer(5);
    e.revision = s.integer(6);
    e.modified = s.integer(7);
    e.deleted = s.integer(8) != 0;
    return e;
}

class SqliteTxn : public MetadataTxn {
public:
    explicit SqliteTxn(sqlite3* db) : db_(db) {}

    std::optional<Account> accountById(std::int64_t uid) override {
        Statement s(db_, (std::string(kAccountColumns) + "WHERE uid = ?").c_str());
        s.bind(1, uid);
        return s.step() ? std::optional(readAccount(s)) : std::nullopt;
    }
    std::optional<Account> accountByName(const std::string& name) override {
        Statement s(db_, (std::string(kAccountColumns) + "WHERE name = ?").c_str());
        s.bind(1, name);
        return s.step() ? std::optional(readAccount(s)) : std::nullopt;
    }
    std::vector<Account> accounts() override {
        Statement s(db_, (std::string(kAccountColumns) + "ORDER BY uid").c_str());
        std::vector<Account> out;
        while (s.step())
            out.push_back(readAccount(s));
        return out;
    }
    std::int64_t addAccount(const Account& a) override {
        Statement s(db_, "INSERT INTO accounts (name, display_name, email, password_hash, quota, "
                         "sequence) VALUES (?, ?, ?, ?, ?, ?)");
        s.bind(1, a.name).bind(2, a.displayName).bind(3, a.email).bind(4, a.passwordHash);
        s.bind(5, a.quotaBytes).bind(6, a.sequence).run();
        return sqlite3_last_insert_rowid(db_);
    }
    void updateAccount(const Account& a) override {
        Statement s(db_, "UPDATE accounts SET name = ?, display_name = ?, email = ?, "
                         "password_hash = ?, quota = ?, sequence = ? WHERE uid = ?");
        s.bind(1, a.name).bind(2, a.displayName).bind(3, a.email).bind(4, a.passwordHash);
        s.bind(5, a.quotaBytes).bind(6, a.sequence).bind(7, a.uid).run();
    }

    std::optional<TokenRecord> token(const std::string& token) override {
        Statement s(db_, "SELECT token, secret, uid, kind, created FROM tokens WHERE token = ?");
        s.bind(1, token);
        if (!s.step())
            return std::nullopt;
        return TokenRecord{s.text(0), s.text(1), s.integer(2),
                           s.integer(3) == 0 ? TokenKind::Request : TokenKind::Access,
                           s.integer(4)};
    }
    void putToken(const TokenRecord& t) override {
        Statement s(db_, "INSERT OR REPLACE INTO tokens (token, secret, uid, kind, created) "
                         "VALUES (?, ?, ?, ?, ?)");
        s.bind(1, t.token).bind(2, t.secret).bind(3, t.uid);
        s.bind(4, std::int64_t(t.kind == TokenKind::Request ? 0 : 1)).bind(5, t.created).run();
    }
    void deleteToken(const std::string& token) override {
        Statement s(db_, "DELETE FROM tokens WHERE token = ?");
        s.bind(1, token).run();
    }

    std::size_t deleteTokensOf(std::int64_t uid) override {
        Statement s(db_, "DELETE FROM tokens WHERE uid = ?");
        s.bind(1, uid).run();
        return static_cast<std::size_t>(sqlite3_changes(db_));
    }

    std::optional<Entry> entry(std::int64_t uid, const std::string& key) override {
        Statement s(db_, (std::string(kEntryColumns) + "WHERE uid = ? AND key = ?").c_str());
        s.bind(1, uid).bind(2, key);
        return s.step() ? std::optional(readEntry(s)) : std::nullopt;
    }
    std::vector<Entry> children(std::int64_t uid, const std::string& parentKey) override {
        Statement s(db_, (std::string(kEntryColumns) +
                          "WHERE uid = ? AND parent_key = ? AND deleted = 0 AND key <> '/' "
                          "ORDER BY key")
                             .c_str());
        s.bind(1, uid).bind(2, parentKey);
        return readAll(s);
    }
    std::vector<Entry> subtree(std::int64_t uid, const std::string& key) override {
        const std::string below = keysBelowPattern(key);
        Statement s(db_, (std::string(kEntryColumns) +
                          "WHERE uid = ? AND deleted = 0 AND (key = ? OR key LIKE ? ESCAPE '\\') "
                          "ORDER BY key")
                             .c_str());
        s.bind(1, uid).bind(2, key).bind(3, below);
        return readAll(s);
    }
    std::vector<Entry> changedSince(std::int64_t uid, std::int64_t revision) override {
        Statement s(
            db_, (std::string(kEntryColumns) + "WHERE uid = ? AND revision > ? ORDER BY revision")
                     .c_str());
        s.bind(1, uid).bind(2, revision);
        return readAll(s);
    }
    void putEntry(std::int64_t uid, const Entry& e) override {
        Statement s(db_, "INSERT OR REPLACE INTO entries (uid, key, parent_key, path, is_dir, "
                         "blob, bytes, revision, modified, deleted) "
                         "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        s.bind(1, uid).bind(2, e.key).bind(3, e.parentKey).bind(4, e.path);
        s.bind(5, std::int64_t(e.isDir)).bind(6, e.blob).bind(7, e.bytes).bind(8, e.revision);
        s.bind(9, e.modified).bind(10, std::int64_t(e.deleted)).run();
        if (e.isDir)
            return;
        Statement h(db_, "INSERT OR REPLACE INTO history (uid, key, path, blob, bytes, revision, "
                         "modified, deleted) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
        h.bind(1, uid).bind(2, e.key).bind(3, e.path).bind(4, e.blob).bind(5, e.bytes);
        h.bind(6, e.revision).bind(7, e.modified).bind(8, std::int64_t(e.deleted)).run();
    }
    std::vector<Entry> history(std::int64_t uid, const std::string& key,
                               std::size_t limit) override {
        Statement s(db_, "SELECT path, key, '', 0, blob, bytes, revision, modified, deleted "
                         "FROM history WHERE uid = ? AND key = ? ORDER BY revision DESC LIMIT ?");
        s.bind(1, uid).bind(2, key).bind(3, static_cast<std::int64_t>(limit));
        return readAll(s);
    }
    std::int64_t usedBytes(std::int64_t uid) override {
        Statement s(db_, "SELECT COALESCE(SUM(bytes), 0) FROM entries "
                         "WHERE uid = ? AND deleted = 0 AND is_dir = 0");
        s.bind(1, uid);
        return s.step() ? s.integer(0) : 0;
    }

    void pruneHistory(std::int64_t uid, const std::string& key, std::size_t keep) override {
        Statement s(db_, "DELETE FROM history WHERE uid = ? AND key = ? AND revision NOT IN "
                         "(SELECT revision FROM history WHERE uid = ? AND key = ? "
                         "ORDER BY revision DESC LIMIT ?)");
        s.bind(1, uid).bind(2, key).bind(3, uid).bind(4, key);
        s.bind(5, static_cast<std::int64_t>(keep)).run();
    }
    std::vector<std::string> referencedBlobs() override {
        Statement s(db_, "SELECT blob FROM entries WHERE blob <> '' UNION "
                         "SELECT blob FROM history WHERE blob <> ''");
        std::vector<std::string> out;
        while (s.step())
            out.push_back(s.text(0));
        return out;
    }
    std::int64_t pendingUploadBytes(std::int64_t uid) override {
        Statement s(db_, "SELECT COALESCE(SUM(offset), 0) FROM uploads WHERE uid = ?");
        s.bind(1, uid);
        return s.step() ? s.integer(0) : 0;
    }
    std::vector<std::string> expireUploads(std::int64_t now) override {
        std::vector<std::string> ids;
        {
            Statement s(db_, "SELECT id FROM uploads WHERE expires < ?");
            s.bind(1, now);
            while (s.step())
                ids.push_back(s.text(0));
        }
        Statement d(db_, "DELETE FROM uploads WHERE expires < ?");
        d.bind(1, now).run();
        return ids;
    }

    std::optional<ChunkedUpload> upload(const std::string& id) override {
        Statement s(db_, "SELECT id, uid, offset, expires FROM uploads WHERE id = ?");
        s.bind(1, id);
        if (!s.step())
            return std::nullopt;
        return ChunkedUpload{s.text(0), s.integer(1), s.integer(2), s.integer(3)};
    }
    void putUpload(const ChunkedUpload& u) override {
        Statement s(db_, "INSERT OR REPLACE INTO uploads (id, uid, offset, expires) "
                         "VALUES (?, ?, ?, ?)");
        s.bind(1, u.id).bind(2, u.uid).bind(3, u.offset).bind(4, u.expires).run();
    }
    void deleteUpload(const std::string& id) override {
        Statement s(db_, "DELETE FROM uploads WHERE id = ?");
        s.bind(1, id).run();
    }

private:
    static std::vector<Entry> readAll(Statement& s) {
        std::vector<Entry> out;
        while (s.step())
            out.push_back(readEntry(s));
        return out;
    }

    sqlite3* db_;
};

} // namespace

namespace {

// A connection to the file in WAL mode with the schema in place; `pragmas`
// set its durability. Nothing and the reason otherwise.
sqlite3* connect(const std::string& path, const char* pragmas, std::string* error) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        if (error)
            *error = std::string("cannot open ") + path + ": " +
                     (db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 10000);
    try {
        exec(db, pragmas);
        exec(db, kSchema);
    } catch (const SqliteError& e) {
        if (error)
            *error = std::string("cannot prepare ") + path + ": " + e.what();
        sqlite3_close(db);
        return nullptr;
    }
    return db;
}

} // namespace

std::unique_ptr<SqliteMetadataStore> SqliteMetadataStore::open(const std::string& path,
                                                               std::string* error) {
    // Every commit reaches the disk before the answer that reports it leaves.
    sqlite3* db = connect(path,
                          "PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL; "
                          "PRAGMA foreign_keys = ON;",
                          error);
    // Nonces: a commit survives the process at once and the machine once the
    // log is flushed; one flush per signed request would cost more than it saves.
    sqlite3* nonceDb =
        db ? connect(path, "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;", error)
           : nullptr;
    if (!nonceDb) {
        sqlite3_close(db);
        return nullptr;
    }
    return std::unique_ptr<SqliteMetadataStore>(new SqliteMetadataStore(db, nonceDb));
}

SqliteMetadataStore::~SqliteMetadataStore() {
    sqlite3_close(nonceDb_);
    sqlite3_close(db_);
}

NonceOutcome SqliteMetadataStore::rememberNonce(const std::string& scope, const std::string& nonce,
                                                std::int64_t timestamp, std::int64_t forgetBefore) {
    std::lock_guard lock(nonceMutex_);
    try {
        exec(nonceDb_, "BEGIN IMMEDIATE");
        bool fresh = false;
        {
            Statement purge(nonceDb_, "DELETE FROM nonces WHERE signed_at < ?");
            purge.bind(1, forgetBefore).run();
            Statement add(
                nonceDb_,
                "INSERT OR IGNORE INTO nonces (scope, nonce, signed_at) VALUES (?, ?, ?)");
            add.bind(1, scope).bind(2, nonce).bind(3, timestamp).run();
            fresh = sqlite3_changes(nonceDb_) == 1;
        }
        exec(nonceDb_, "COMMIT");
        return fresh ? NonceOutcome::Fresh : NonceOutcome::Replayed;
    } catch (const SqliteError&) {
        sqlite3_exec(nonceDb_, "ROLLBACK", nullptr, nullptr, nullptr);
        return NonceOutcome::Failed;
    }
}

bool SqliteMetadataStore::transact(const std::function<bool(MetadataTxn&)>& work,
                                   std::string* error) {
    std::lock_guard lock(mutex_);
    try {
        exec(db_, "BEGIN IMMEDIATE");
    } catch (const SqliteError& e) {
        if (error)
            *error = e.what();
        return false;
    }
    try {
        SqliteTxn txn(db_);
        if (work(txn)) {
            exec(db_, "COMMIT");
        } else {
            exec(db_, "ROLLBACK");
        }
        return true;
    } catch (const SqliteError& e) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        if (error)
            *error = e.what();
        return false;
    }
}

} // namespace server
