// Builds every record from whatever the reader accepts, both as an answer
// and as an archive, and checks that archiving and restoring keeps a record.

#include <cstdlib>
#include <string_view>

#include "cs_account_info.h"
#include "cs_delta_entry.h"
#include "cs_json.h"
#include "cs_metadata.h"

namespace {

void touch(const CSMetadata& m) {
    volatile std::size_t sink = m.filename().size() + static_cast<std::size_t>(m.totalBytes() & 1);
    (void)sink;
    if (m.contents())
        for (const CSMetadata& child : *m.contents())
            touch(child);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<CSJsonValue> value = CSJsonParser().fragmentWithString(text);
    if (!value)
        return 0;

    for (auto metadata : {CSMetadata::initWithDictionary(*value), CSMetadata::restore(*value)}) {
        if (!metadata)
            continue;
        touch(*metadata);
        const CSJsonValue archive = metadata->archive();
        const std::optional<CSMetadata> restored = CSMetadata::restore(archive);
        if (!restored || !(restored->archive() == archive))
            std::abort();
    }
    for (auto info : {CSAccountInfo::initWithDictionary(*value), CSAccountInfo::restore(*value)}) {
        if (!info)
            continue;
        const std::optional<CSAccountInfo> restored = CSAccountInfo::restore(info->archive());
        if (!restored || !(restored->original() == info->original()) ||
            restored->userId() != info->userId())
            std::abort();
        if (info->quota())
            (void)info->quota()->totalConsumedBytes();
    }
    if (std::optional<CSDeltaEntry> entry = CSDeltaEntry::initWithArray(*value)) {
        const std::optional<CSDeltaEntry> restored = CSDeltaEntry::restore(entry->archive());
        if (!restored || restored->lowercasePath() != entry->lowercasePath())
            std::abort();
    }
    for (const CSJsonValue& element : value->elements())
        (void)CSDeltaEntry::initWithArray(element);
    return 0;
}
