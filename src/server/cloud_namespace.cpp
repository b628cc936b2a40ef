#include "cloud_namespace.h"

#include "cs_date.h"
#include "metadata_json.h"
#include "secrets.h"

#include <algorithm>

namespace server {

namespace {

Entry rootEntry() {
    Entry root;
    root.path = root.key = "/";
    root.isDir = true;
    return root;
}

std::optional<Entry> liveEntry(MetadataTxn& txn, std::int64_t uid, const RemotePath& path) {
    if (path.isRoot())
        return rootEntry();
    auto found = txn.entry(uid, path.key);
    if (!found || found->deleted)
        return std::nullopt;
    return found;
}

ApiAnswer notFound(const RemotePath& path) {
    return ApiAnswer::error(404, "Path '" + path.display + "' not found");
}

// Gives the account's next change number and records it.
std::int64_t nextRevision(MetadataTxn& txn, Account& account) {
    ++account.sequence;
    txn.updateAccount(account);
    return account.sequence;
}

Entry makeEntry(const RemotePath& path, bool isDir, std::int64_t revision, std::int64_t now) {
    Entry e;
    e.path = path.display;
    e.key = path.key;
    e.parentKey = path.parent().key;
    e.isDir = isDir;
    e.revision = revision;
    e.modified = now;
    return e;
}

// Makes every missing folder down to `folder`; an error text when a file is in the way.
std::string ensureFolders(MetadataTxn& txn, std::int64_t uid, const RemotePath& folder,
                          Account& account, std::int64_t now) {
    if (folder.isRoot())
        return {};
    if (auto problem = ensureFolders(txn, uid, folder.parent(), account, now); !problem.empty())
        return problem;
    auto existing = liveEntry(txn, uid, folder);
    if (existing && !existing->isDir)
        return "A file is in the way at '" + existing->path + "'";
    if (!existing)
        txn.putEntry(uid, makeEntry(folder, true, nextRevision(txn, account), now));
    return {};
}

// "name (1).ext", "name (2).ext"… the first that is free.
RemotePath freeName(MetadataTxn& txn, std::int64_t uid, const RemotePath& path) {
    const std::string name = path.name();
    auto dot = name.rfind('.');
    if (dot == 0 || dot == std::string::npos)
        dot = name.size();
    for (int i = 1;; ++i) {
        RemotePath candidate = path.parent().child(name.substr(0, dot) + " (" + std::to_string(i) +
                                                   ")" + name.substr(dot));
        if (!liveEntry(txn, uid, candidate))
            return candidate;
    }
}

ApiAnswer overQuota() {
    return ApiAnswer::error(507, "This account is over its storage quota");
}

RemotePath pathOf(const Entry& entry) {
    return *parseRemotePath(entry.path, nullptr);
}

} // namespace

ApiAnswer CloudNamespace::run(const std::function<ApiAnswer(MetadataTxn&)>& work) {
    ApiAnswer answer;
    std::string error;
    const bool ran = store_.transact(
        [&](MetadataTxn& txn) {
            answer = work(txn);
            return answer.status < 400;
        },
        &error);
    if (!ran)
        return ApiAnswer::error(500, "The service could not reach its storage");
    return answer;
}

void CloudNamespace::record(MetadataTxn& txn, std::int64_t uid, const Entry& entry) const {
    txn.putEntry(uid, entry);
    if (!entry.isDir)
        txn.pruneHistory(uid, entry.key, std::max<std::size_t>(1, keepRevisions_));
}

ApiAnswer CloudNamespace::accountInfo(std::int64_t uid) {
    return run([&](MetadataTxn& txn) {
        auto account = txn.accountById(uid);
        if (!account)
            return ApiAnswer::error(401, "Unknown account");
        return ApiAnswer::success(CSJsonValue::object({
            {"uid", CSJsonValue(static_cast<long long>(uid))},
            {"display_name", CSJsonValue(account->displayName)},
            {"email", CSJsonValue(account->email)},
            {"country", CSJsonValue("")},
            {"referral_link", CSJsonValue("")},
            {"quota_info", CSJsonValue::object({
                               {"normal", CSJsonValue(static_cast<long long>(txn.usedBytes(uid)))},
                               {"shared", CSJsonValue(0)},
                               {"quota", CSJsonValue(static_cast<long long>(account->quotaBytes))},
                           })},
        }));
    });
}

ApiAnswer CloudNamespace::metadata(std::int64_t uid, const RemotePath& path,
                                   const std::string& hash, bool list, const std::string& rev) {
    return run([&](MetadataTxn& txn) {
        if (!rev.empty()) {
            const std::int64_t wanted = parseRev(rev);
            for (const auto& state : txn.history(uid, path.key, 1000)) {
                if (state.revision == wanted)
                    return ApiAnswer::success(metadataJson(state));
            }
            return ApiAnswer::error(404, "No revision " + rev + " of '" + path.display + "'");
        }
        auto entry = liveEntry(txn, uid, path);
        if (!entry)
            return notFound(path);
        if (!entry->isDir)
            return ApiAnswer::success(metadataJson(*entry));
        const auto children = txn.children(uid, path.key);
        const std::string current = listingHash(children);
        if (!hash.empty() && hash == current)
            return ApiAnswer{304, CSJsonValue()};
        return ApiAnswer::success(folderJson(*entry, current, list ? &children : nullptr));
    });
}

std::optional<Entry> CloudNamespace::fileToSend(std::int64_t uid, const RemotePath& path,
                                                const std::string& rev, ApiAnswer* error) {
    std::optional<Entry> file;
    *error = run([&](MetadataTxn& txn) {
        if (rev.empty()) {
            file = liveEntry(txn, uid, path);
        } else {
            for (const auto& state : txn.history(uid, path.key, 1000)) {
                if (state.revision == parseRev(rev) && !state.deleted)
                    file = state;
            }
        }
        if (!file || file->isDir) {
            file.reset();
            return ApiAnswer::error(404, "File '" + path.display + "' not found");
        }
        return ApiAnswer::success(CSJsonValue());
    });
    return file;
}

ApiAnswer CloudNamespace::checkRoom(std::int64_t uid, const RemotePath& path, std::int64_t bytes) {
    return run([&](MetadataTxn& txn) {
        auto account = txn.accountById(uid);
        if (!account)
            return ApiAnswer::error(401, "Unknown account");
        auto existing = liveEntry(txn, uid, path);
        const std::int64_t freed = existing && !existing->isDir ? existing->bytes : 0;
        if (txn.usedBytes(uid) - freed + bytes > account->quotaBytes)
            return overQuota();
        return ApiAnswer::success(CSJsonValue());
    });
}

ApiAnswer CloudNamespace::putFile(std::int64_t uid, const RemotePath& requested,
                                  const std::string& blob, std::int64_t bytes,
                                  const PutOptions& options) {
    if (requested.isRoot())
        return ApiAnswer::error(400, "A file cannot be the account's top folder");
    return run([&](MetadataTxn& txn) {
        auto account = txn.accountById(uid);
        if (!account)
            return ApiAnswer::error(401, "Unknown account");
        const std::int64_t now = clock_();
        if (auto problem = ensureFolders(txn, uid, requested.parent(), *account, now);
            !problem.empty())
            return ApiAnswer::error(403, problem);
        RemotePath path = requested;
        auto existing = liveEntry(txn, uid, path);
        if (existing && existing->isDir)
            return ApiAnswer::error(403, "A folder is in the way at '" + existing->path + "'");
        if (existing) {
            const bool replace = options.parentRev
                                     ? *options.parentRev == revText(existing->revision)
                                     : options.overwrite;
            if (!replace) {
                path = freeName(txn, uid, path);
                existing.reset();
            } else if (existing->blob == blob) {
                return ApiAnswer::success(metadataJson(*existing));
            }
        }
        const std::int64_t freed = existing ? existing->bytes : 0;
        if (txn.usedBytes(uid) - freed + bytes > account->quotaBytes)
            return overQuota();
        Entry file = makeEntry(path, false, nextRevision(txn, *account), now);
        file.blob = blob;
        file.bytes = bytes;
        record(txn, uid, file);
        return ApiAnswer::success(metadataJson(file));
    });
}

ApiAnswer CloudNamespace::createFolder(std::int64_t uid, const RemotePath& path) {
    return run([&](MetadataTxn& txn) {
        auto account = txn.accountById(uid);
        if (!account)
            return ApiAnswer::error(401, "Unknown account");
        if (liveEntry(txn, uid, path)) {
            return ApiAnswer::error(403, "at path '" + path.display +
                                             "': a file or folder already exists");
        }
        const std::int64_t now = clock_();
        if (auto problem = ensureFolders(txn, uid, path, *account, now); !problem.empty())
            return ApiAnswer::error(403, problem);
        return ApiAnswer::success(metadataJson(*txn.entry(uid, path.key)));
    });
}

ApiAnswer CloudNamespace::remove(std::int64_t uid, const RemotePath& path) {
    if (path.isRoot())
        return ApiAnswer::error(403, "The account's top folder cannot be deleted");
    return run([&](MetadataTxn& txn) {
        auto account = txn.accountById(uid);
        if (!account)
            return ApiAnswer::error(401, "Unknown account");
        auto top = liveEntry(txn, uid, path);
        if (!top)
            return notFound(path);
        const std::int64_t revision = nextRevision(txn, *account);
        for (auto e : txn.subtree(uid, path.key)) {
            e.deleted = true;
            e.revision = revision;
            e.modified = clock_();
            e.bytes = e.isDir ? 0 : e.bytes;
            record(txn, uid, e);
        }
        Entry gone = *txn.entry(uid, path.key);
        return ApiAnswer::success(metadataJson(gone));
    });
}

ApiAnswer CloudNamespace::moveOrCopy(std::int64_t uid, const RemotePath& from, const RemotePath& to,
                                     bool move) {
    if (from.isRoot() || to.isRoot())
        return ApiAnswer::error(403, "The account's top folder cannot be moved or copied");
    if (from.contains(to) && from.key != to.key)
        return ApiAnswer::error(403, "A folder cannot be put inside itself");
    return run([&](MetadataTxn& txn) {
        auto account = txn.accountById(uid);
        if (!account)
            return ApiAnswer::error(401, "Unknown account");
        if (!liveEntry(txn, uid, from))
            return notFound(from);
        const bool caseOnly = move && from.key == to.key;
        if (!caseOnly && liveEntry(txn, uid, to))
            return ApiAnswer::error(403, "There is already an entry at '" + to.display + "'");
        if (from.key == to.key && !move)
            return ApiAnswer::error(403, "There is already an entry at '" + to.display + "'");
        const std::int64_t now = clock_();
        if (auto problem = ensureFolders(txn, uid, to.parent(), *account, now); !problem.empty())
            return ApiAnswer::error(403, problem);
        const auto moving = txn.subtree(uid, from.key);
        if (!move) {
            std::int64_t added = 0;
            for (const auto& e : moving)
                added += e.isDir ? 0 : e.bytes;
            if (txn.usedBytes(uid) + added > account->quotaBytes)
                return overQuota();
        }
        const std::int64_t revision = nextRevision(txn, *account);
        for (const auto& e : moving) {
            if (move && !caseOnly) {
                Entry gone = e;
                gone.deleted = true;
                gone.revision = revision;
                record(txn, uid, gone);
            }
            RemotePath target =
                *parseRemotePath(to.display + e.path.substr(from.display.size()), nullptr);
            Entry placed = makeEntry(target, e.isDir, revision, now);
            placed.blob = e.blob;
            placed.bytes = e.bytes;
            record(txn, uid, placed);
        }
        return ApiAnswer::success(metadataJson(*txn.entry(uid, to.key)));
    });
}

ApiAnswer CloudNamespace::delta(std::int64_t uid, const std::string& cursor) {
    std::int64_t since = 0;
    if (!cursor.empty()) {
        since = parseRev(cursor);
        if (since < 0)
            return ApiAnswer::error(400, "Invalid cursor");
    }
    return run([&](MetadataTxn& txn) {
        auto changes = txn.changedSince(uid, since);
        const bool hasMore = changes.size() > kDeltaPage;
        if (hasMore) {
            // A page never splits one change number, so the cursor is exact.
            std::int64_t last = changes[kDeltaPage - 1].revision;
            auto end = std::find_if(changes.begin(), changes.end(),
                                    [&](const Entry& e) { return e.revision > last; });
            changes.erase(end, changes.end());
        }
        CSJsonValue entries = CSJsonValue::array();
        std::int64_t reached = since;
        for (const auto& e : changes) {
            reached = std::max(reached, e.revision);
            if (e.deleted && cursor.empty())
                continue;
            entries.append(CSJsonValue::array(
                {CSJsonValue(e.key), e.deleted ? CSJsonValue(nullptr) : metadataJson(e)}));
        }
        return ApiAnswer::success(CSJsonValue::object({
            {"entries", std::move(entries)},
            {"reset", CSJsonValue(cursor.empty())},
            {"cursor", CSJsonValue(revText(reached))},
            {"has_more", CSJsonValue(hasMore)},
        }));
    });
}

ApiAnswer CloudNamespace::revisions(std::int64_t uid, const RemotePath& path, std::size_t limit) {
    return run([&](MetadataTxn& txn) {
        auto states = txn.history(uid, path.key, limit);
        if (states.empty())
            return notFound(path);
        CSJsonValue list = CSJsonValue::array();
        for (const auto& state : states)
            list.append(metadataJson(state));
        return ApiAnswer::success(std::move(list));
    });
}

ApiAnswer CloudNamespace::restore(std::int64_t uid, const RemotePath& path,
                                  const std::string& rev) {
    ApiAnswer error;
    auto state = fileToSend(uid, path, rev, &error);
    if (!state)
        return error.ok() ? notFound(path) : error;
    return putFile(uid, path, state->blob, state->bytes, PutOptions{});
}

ApiAnswer CloudNamespace::search(std::int64_t uid, const RemotePath& path, const std::string& query,
                                 std::size_t limit) {
    const std::string wanted = lowerPath(query);
    if (wanted.empty())
        return ApiAnswer::error(400, "The search needs a query");
    return run([&](MetadataTxn& txn) {
        if (!liveEntry(txn, uid, path))
            return notFound(path);
        CSJsonValue found = CSJsonValue::array();
        for (const auto& e : txn.subtree(uid, path.key)) {
            if (found.size() >= limit)
                break;
            if (e.key != path.key && lowerPath(pathOf(e).name()).find(wanted) != std::string::npos)
                found.append(metadataJson(e));
        }
        return ApiAnswer::success(std::move(found));
    });
}

ApiAnswer CloudNamespace::startOrCheckUpload(std::int64_t uid, const std::string& id,
                                             std::int64_t offset, std::int64_t bytes,
                                             ChunkedUpload* upload) {
    return run([&](MetadataTxn& txn) {
        auto account = txn.accountById(uid);
        if (!account)
            return ApiAnswer::error(401, "Unknown account");
        const std::int64_t now = clock_();
        if (id.empty()) {
            if (offset != 0)
                return ApiAnswer::error(400, "A new upload starts at offset 0");
            *upload = ChunkedUpload{randomHex(16), uid, 0, now + kUploadLifetime};
            txn.putUpload(*upload);
        } else {
            auto found = txn.upload(id);
            if (!found || found->uid != uid || found->expires < now)
                return ApiAnswer::error(404, "Unknown or expired upload_id");
            if (found->offset != offset) {
                ApiAnswer answer = ApiAnswer::error(
                    400, "Submitted input out of alignment: got [" + std::to_string(offset) +
                             "] expected [" + std::to_string(found->offset) + "]");
                answer.body.set("offset", CSJsonValue(static_cast<long long>(found->offset)));
                return answer;
            }
            *upload = *found;
        }
        // Every unfinished upload of the account counts, so that parallel
        // uploads cannot hold more than the quota between them.
        if (txn.usedBytes(uid) + txn.pendingUploadBytes(uid) + bytes > account->quotaBytes)
            return overQuota();
        return ApiAnswer::success(CSJsonValue());
    });
}

ApiAnswer CloudNamespace::advanceUpload(const ChunkedUpload& upload, std::int64_t bytes) {
    return run([&](MetadataTxn& txn) {
        ChunkedUpload next = upload;
        next.offset += bytes;
        next.expires = clock_() + kUploadLifetime;
        txn.putUpload(next);
        return ApiAnswer::success(CSJsonValue::object({
            {"upload_id", CSJsonValue(next.id)},
            {"offset", CSJsonValue(static_cast<long long>(next.offset))},
            {"expires", CSJsonValue(CSFormatMetadataDate(CSDate{next.expires}))},
        }));
    });
}

std::optional<ChunkedUpload> CloudNamespace::takeUpload(std::int64_t uid, const std::string& id) {
    std::optional<ChunkedUpload> found;
    run([&](MetadataTxn& txn) {
        found = txn.upload(id);
        if (found && (found->uid != uid || found->expires < clock_()))
            found.reset();
        return ApiAnswer::success(CSJsonValue());
    });
    return found;
}

void CloudNamespace::dropUpload(const std::string& id) {
    run([&](MetadataTxn& txn) {
        txn.deleteUpload(id);
        return ApiAnswer::success(CSJsonValue());
    });
}

} // namespace server
