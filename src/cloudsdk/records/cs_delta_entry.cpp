#include "cs_delta_entry.h"

#include "cs_record_fields.h"

std::optional<CSDeltaEntry> CSDeltaEntry::initWithArray(const CSJsonValue& array) {
    if (!array.isArray() || array.size() != 2)
        return std::nullopt;
    CSDeltaEntry entry;
    entry.lowercasePath_ = CSReadText(&array[0]);
    entry.metadata_ = CSMetadata::initWithDictionary(array[1]);
    return entry;
}

bool CSDeltaEntry::isEqualToDeltaEntry(const CSDeltaEntry* other) const {
    if (!other)
        return false;
    if (other == this)
        return true;
    if (lowercasePath_ != other->lowercasePath_)
        return false;
    if (metadata_.has_value() != other->metadata_.has_value())
        return false;
    return !metadata_ || *metadata_ == *other->metadata_;
}

CSJsonValue CSDeltaEntry::archive() const {
    CSJsonValue a = CSJsonValue::object();
    if (lowercasePath_)
        a.set("lowercasePath", *lowercasePath_);
    if (metadata_)
        a.set("metadata", metadata_->archive());
    return a;
}

std::optional<CSDeltaEntry> CSDeltaEntry::restore(const CSJsonValue& archive) {
    if (!archive.isObject())
        return std::nullopt;
    CSDeltaEntry entry;
    entry.lowercasePath_ = CSReadText(archive.find("lowercasePath"));
    if (const CSJsonValue* metadata = archive.find("metadata"))
        entry.metadata_ = CSMetadata::restore(*metadata);
    return entry;
}
