#include "cloud_transfer.h"

#include "cs_cloud_path.h"
#include "cs_log.h"

#include <algorithm>
#include <cstdio>

namespace cloud {

std::string formatBytes(std::int64_t bytes) {
    if (bytes < 1024)
        return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    static const char* const units[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1024;
    int unit = 0;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

std::string TransferProgress::details() const {
    std::string text = std::to_string(filesDone) + " of " + std::to_string(filesTotal) + " files";
    if (bytesTotal > 0)
        text += ", " + formatBytes(bytesDone) + " of " + formatBytes(bytesTotal);
    return text;
}

void CloudTransfer::expect(RequestKind kind, std::string key, std::string subject,
                           std::int64_t bytes) {
    Entry entry{kind, std::move(key), std::move(subject), bytes};
    entries_.push_back(std::move(entry));
}

void CloudTransfer::refuse(std::string subject, std::string reason) {
    Entry entry{RequestKind::Upload, {}, std::move(subject), 0};
    entry.fraction = 1;
    entry.outcome = Outcome::Failed;
    entry.reason = std::move(reason);
    entries_.push_back(std::move(entry));
}

// Remote paths compare as the service compares them (it may answer with
// another letter case); local paths, of downloads, compare exactly. An answer
// that names no running request marks nothing: taking another request would
// report a file done that is not.
CloudTransfer::Entry* CloudTransfer::find(RequestKind kind, const std::string& key) {
    ++activity_;
    for (auto& entry : entries_)
        if (entry.outcome == Outcome::Running && entry.kind == kind &&
            sameKey(kind, entry.key, key))
            return &entry;
    ++unmatched_;
    CSLogWarning("Mobrix: an answer of the cloud service for %s matches no running request",
                 key.c_str());
    return nullptr;
}

bool CloudTransfer::sameKey(RequestKind kind, const std::string& expected,
                            const std::string& answered) {
    if (kind == RequestKind::Download)
        return expected == answered;
    return !expected.empty() && isEqualToCloudPath(expected, answered);
}

void CloudTransfer::complete(Entry& entry, Outcome outcome, std::string reason) {
    entry.outcome = outcome;
    entry.reason = std::move(reason);
    entry.fraction = 1;
    reportProgress();
    finishIfDone();
}

void CloudTransfer::succeeded(RequestKind kind, const std::string& key) {
    if (Entry* entry = find(kind, key))
        complete(*entry, Outcome::Succeeded);
}

void CloudTransfer::failed(RequestKind kind, const std::string& key, std::string reason) {
    if (Entry* entry = find(kind, key))
        complete(*entry, Outcome::Failed, std::move(reason));
}

void CloudTransfer::skipped(RequestKind kind, const std::string& key, std::string reason) {
    if (Entry* entry = find(kind, key))
        complete(*entry, Outcome::Skipped, std::move(reason));
}

void CloudTransfer::progressed(RequestKind kind, const std::string& key, double fraction) {
    Entry* entry = find(kind, key);
    if (!entry)
        return;
    entry->fraction = std::clamp(fraction, 0.0, 1.0);
    reportProgress();
}

void CloudTransfer::abandon(const std::string& reason) {
    for (auto& entry : entries_) {
        if (entry.outcome != Outcome::Running)
            continue;
        entry.outcome = Outcome::Failed;
        entry.reason = reason;
    }
    finishIfDone();
}

void CloudTransfer::seal() {
    sealed_ = true;
    finishIfDone();
}

int CloudTransfer::inFlight() const {
    return static_cast<int>(std::count_if(entries_.begin(), entries_.end(), [](const Entry& entry) {
        return entry.outcome == Outcome::Running;
    }));
}

bool CloudTransfer::hasFailures() const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [](const Entry& entry) { return entry.outcome == Outcome::Failed; });
}

void CloudTransfer::finishIfDone() {
    if (!sealed_ || finishedCalled_ || inFlight() > 0)
        return;
    finishedCalled_ = true;
    if (finished_)
        finished_();
}

std::string CloudTransfer::lines(Outcome outcome) const {
    std::string text;
    for (const auto& entry : entries_)
        if (entry.outcome == outcome)
            text += "\n" + entry.subject + ": " + entry.reason;
    return text;
}

std::string CloudTransfer::closingMessage() const {
    return (hasFailures() ? "Failed !" : "Done !") + lines(Outcome::Failed) +
           lines(Outcome::Skipped);
}

TransferProgress CloudTransfer::progress() const {
    TransferProgress progress;
    progress.filesTotal = static_cast<int>(entries_.size());
    bool sizesKnown = !entries_.empty();
    double fractions = 0;
    std::int64_t bytesDone = 0;
    std::int64_t bytesTotal = 0;
    for (const auto& entry : entries_) {
        if (entry.outcome != Outcome::Running)
            ++progress.filesDone;
        fractions += entry.fraction;
        if (entry.bytes < 0) {
            sizesKnown = false;
            continue;
        }
        bytesTotal += entry.bytes;
        bytesDone += static_cast<std::int64_t>(entry.fraction * static_cast<double>(entry.bytes));
    }
    if (sizesKnown && bytesTotal > 0) {
        progress.bytesDone = bytesDone;
        progress.bytesTotal = bytesTotal;
        progress.fraction = static_cast<double>(bytesDone) / static_cast<double>(bytesTotal);
    } else if (progress.filesTotal > 0) {
        progress.fraction = fractions / progress.filesTotal;
    }
    return progress;
}

void CloudTransfer::reportProgress() {
    if (progress_)
        progress_(progress());
}

} // namespace cloud
