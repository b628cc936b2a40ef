#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The bookkeeping of one cloud command: the requests it issued, what became
// of each, and how far the whole has come. The command is finished only when
// it will issue nothing more (sealed) and every request has completed.
namespace cloud {

enum class RequestKind { CreateFolder, Upload, Download, Delete };

struct TransferProgress {
    int filesDone = 0;
    int filesTotal = 0;
    std::int64_t bytesDone = 0;
    std::int64_t bytesTotal = 0; // 0 when some sizes are unknown
    double fraction = 0;

    // "3 of 11 files, 1.2 MB of 4.0 MB" (the bytes only when known).
    std::string details() const;
};

class CloudTransfer {
public:
    using Finished = std::function<void()>;
    using ProgressChanged = std::function<void(const TransferProgress&)>;

    void onFinished(Finished finished) { finished_ = std::move(finished); }
    void onProgress(ProgressChanged progress) { progress_ = std::move(progress); }

    // Registers a request before it is issued (the client may answer at once).
    // `key` is what the client's callbacks name the request by; `subject`
    // names it in the closing message; `bytes` is its size when known.
    void expect(RequestKind kind, std::string key, std::string subject, std::int64_t bytes = -1);
    // A file that is not requested at all, with the reason.
    void refuse(std::string subject, std::string reason);

    void succeeded(RequestKind kind, const std::string& key);
    void failed(RequestKind kind, const std::string& key, std::string reason);
    // Completed without doing its work, but not a failure of the command.
    void skipped(RequestKind kind, const std::string& key, std::string reason);
    void progressed(RequestKind kind, const std::string& key, double fraction);
    // Every request still running ends as a failure with this reason.
    void abandon(const std::string& reason);

    // Nothing more will be issued; finishes now when nothing is running.
    void seal();
    bool sealed() const { return sealed_; }
    bool finished() const { return finishedCalled_; }
    int inFlight() const;
    // Callbacks received so far: lets a waiter tell a stalled command from a slow one.
    std::uint64_t activity() const { return activity_; }
    // Answers that named no running request, and so marked nothing.
    int unmatched() const { return unmatched_; }

    bool hasFailures() const;
    // "Done !" when nothing failed, else "Failed !"; then one line per failed
    // file and one per file passed over, each in the order they were issued.
    std::string closingMessage() const;
    TransferProgress progress() const;

private:
    enum class Outcome { Running, Succeeded, Failed, Skipped };
    struct Entry {
        RequestKind kind;
        std::string key;
        std::string subject;
        std::int64_t bytes;
        double fraction = 0;
        Outcome outcome = Outcome::Running;
        std::string reason = {};
    };

    // The running request an answer names; none (and a warning) when it names none.
    Entry* find(RequestKind kind, const std::string& key);
    static bool sameKey(RequestKind kind, const std::string& expected, const std::string& answered);
    void complete(Entry& entry, Outcome outcome, std::string reason = {});
    void finishIfDone();
    void reportProgress();
    std::string lines(Outcome outcome) const;

    std::vector<Entry> entries_;
    bool sealed_ = false;
    bool finishedCalled_ = false;
    std::uint64_t activity_ = 0;
    int unmatched_ = 0;
    Finished finished_;
    ProgressChanged progress_;
};

// "1.2 MB", "512 bytes".
std::string formatBytes(std::int64_t bytes);

} // namespace cloud
