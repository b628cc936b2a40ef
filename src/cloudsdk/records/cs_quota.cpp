#include "cs_quota.h"

#include <limits>

#include "cs_record_fields.h"

std::optional<CSQuota> CSQuota::initWithDictionary(const CSJsonValue& dictionary) {
    if (!dictionary.isObject())
        return std::nullopt;
    CSQuota quota;
    quota.normalConsumedBytes_ = CSReadInteger(dictionary.find("normal"));
    quota.sharedConsumedBytes_ = CSReadInteger(dictionary.find("shared"));
    quota.totalBytes_ = CSReadInteger(dictionary.find("quota"));
    return quota;
}

int64_t CSQuota::totalConsumedBytes() const {
    int64_t total;
    if (__builtin_add_overflow(normalConsumedBytes_, sharedConsumedBytes_, &total))
        return sharedConsumedBytes_ > 0 ? std::numeric_limits<int64_t>::max()
                                        : std::numeric_limits<int64_t>::min();
    return total;
}

CSJsonValue CSQuota::archive() const {
    return CSJsonValue::object({{"normalConsumedBytes", normalConsumedBytes_},
                                {"sharedConsumedBytes", sharedConsumedBytes_},
                                {"totalBytes", totalBytes_}});
}

std::optional<CSQuota> CSQuota::restore(const CSJsonValue& archive) {
    if (!archive.isObject())
        return std::nullopt;
    CSQuota quota;
    quota.normalConsumedBytes_ = CSReadInteger(archive.find("normalConsumedBytes"));
    quota.sharedConsumedBytes_ = CSReadInteger(archive.find("sharedConsumedBytes"));
    quota.totalBytes_ = CSReadInteger(archive.find("totalBytes"));
    return quota;
}
