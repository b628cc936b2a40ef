#pragma once
// Where accounts, tokens, the namespace and revisions live. Every change runs
// inside one transaction, so concurrent requests see a namespace either before
// or after a change, never half of one. The SQLite store is the default; the
// interface is what another database needs to provide.

#include "store_records.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace server {

class MetadataTxn {
public:
    virtual ~MetadataTxn() = default;

    virtual std::optional<Account> accountById(std::int64_t uid) = 0;
    virtual std::optional<Account> accountByName(const std::string& name) = 0;
    virtual std::vector<Account> accounts() = 0;
    // Gives the new account's uid.
    virtual std::int64_t addAccount(const Account& account) = 0;
    virtual void updateAccount(const Account& account) = 0;

    virtual std::optional<TokenRecord> token(const std::string& token) = 0;
    virtual void putToken(const TokenRecord& token) = 0;
    virtual void deleteToken(const std::string& token) = 0;
    // Removes every token of the account; gives how many there were.
    virtual std::size_t deleteTokensOf(std::int64_t uid) = 0;

    // Deleted entries included.
    virtual std::optional<Entry> entry(std::int64_t uid, const std::string& key) = 0;
    // Live entries directly inside a folder, by key.
    virtual std::vector<Entry> children(std::int64_t uid, const std::string& parentKey) = 0;
    // Live entries at or below a path, by key.
    virtual std::vector<Entry> subtree(std::int64_t uid, const std::string& key) = 0;
    // Entries (deleted ones too) changed after the given change number, by number.
    virtual std::vector<Entry> changedSince(std::int64_t uid, std::int64_t revision) = 0;
    // Inserts or replaces by key; a file's state is also added to its history.
    virtual void putEntry(std::int64_t uid, const Entry& entry) = 0;
    // The file's states, newest first.
    virtual std::vector<Entry> history(std::int64_t uid, const std::string& key,
                                       std::size_t limit) = 0;
    // Bytes of the account's live files.
    virtual std::int64_t usedBytes(std::int64_t uid) = 0;

    // Drops all but the newest `keep` states of a file's history.
    virtual void pruneHistory(std::int64_t uid, const std::string& key, std::size_t keep) = 0;
    // Every body address an entry or a history state refers to.
    virtual std::vector<std::string> referencedBlobs() = 0;

    virtual std::optional<ChunkedUpload> upload(const std::string& id) = 0;
    // Bytes the account's unfinished chunked uploads hold.
    virtual std::int64_t pendingUploadBytes(std::int64_t uid) = 0;
    // Removes the uploads that expired before `now` and gives their ids.
    virtual std::vector<std::string> expireUploads(std::int64_t now) = 0;
    virtual void putUpload(const ChunkedUpload& upload) = 0;
    virtual void deleteUpload(const std::string& id) = 0;
};

enum class NonceOutcome { Fresh, Replayed, Failed };

class MetadataStore {
public:
    virtual ~MetadataStore() = default;
    // Runs `work` in one transaction; it is committed when `work` returns true
    // and rolled back otherwise. False when the store failed (`error` says why).
    virtual bool transact(const std::function<bool(MetadataTxn&)>& work, std::string* error) = 0;

    // Records the nonce of a signed request unless the same scope (consumer
    // and token), nonce and timestamp were recorded before, by this process
    // or another sharing the store; nonces with timestamps before
    // `forgetBefore` go. The record outlives the process but is committed
    // without waiting for the disk: a machine's crash may forget the last ones.
    virtual NonceOutcome rememberNonce(const std::string& scope, const std::string& nonce,
                                       std::int64_t timestamp, std::int64_t forgetBefore) = 0;
};

// The store named by a URL: "sqlite:PATH". Nothing and the reason otherwise.
// The LIKE pattern (escape character "\\") of every key below key.
std::string keysBelowPattern(const std::string& key);

std::unique_ptr<MetadataStore> openMetadataStore(const std::string& url, std::string* error);

} // namespace server
