#include "cs_account_info.h"

#include "cs_record_fields.h"

namespace {

// "uid" is a number in the service's answers; its decimal text is kept.
std::optional<std::string> readUserId(const CSJsonValue* value) {
    if (!value)
        return std::nullopt;
    if (value->isNumber())
        return value->asDecimal().toString();
    return CSReadText(value);
}

// The older archive kept the user id as text; the answer carries a number.
CSJsonValue userIdAsNumber(const CSJsonValue& text) {
    const std::string_view digits = text.stringView();
    bool allDigits = !digits.empty() && digits.size() <= 18;
    for (char c : digits)
        allDigits = allDigits && c >= '0' && c <= '9';
    return allDigits ? CSJsonValue(text.asInt64()) : text;
}

} // namespace

std::optional<CSAccountInfo> CSAccountInfo::initWithDictionary(const CSJsonValue& dictionary) {
    if (!dictionary.isObject())
        return std::nullopt;
    CSAccountInfo info;
    info.email_ = CSReadText(dictionary.find("email"));
    info.country_ = CSReadText(dictionary.find("country"));
    info.displayName_ = CSReadText(dictionary.find("display_name"));
    if (const CSJsonValue* quota = dictionary.find("quota_info"))
        info.quota_ = CSQuota::initWithDictionary(*quota);
    info.userId_ = readUserId(dictionary.find("uid"));
    info.referralLink_ = CSReadText(dictionary.find("referral_link"));
    info.original_ = dictionary;
    return info;
}

CSJsonValue CSAccountInfo::archive() const {
    return CSJsonValue::object({{"original", original_}});
}

std::optional<CSAccountInfo> CSAccountInfo::restore(const CSJsonValue& archive) {
    if (!archive.isObject())
        return std::nullopt;
    if (const CSJsonValue* original = archive.find("original"); original && original->isObject())
        return initWithDictionary(*original);

    CSJsonValue dictionary = CSJsonValue::object();
    auto copyText = [&](std::string_view from, std::string_view to) {
        if (const CSJsonValue* value = archive.find(from); value && value->isString())
            dictionary.set(to, *value);
    };
    copyText("country", "country");
    copyText("displayName", "display_name");
    if (const CSJsonValue* archivedQuota = archive.find("quota")) {
        if (std::optional<CSQuota> quota = CSQuota::restore(*archivedQuota)) {
            dictionary.set("quota_info",
                           CSJsonValue::object({{"normal", quota->normalConsumedBytes()},
                                                {"shared", quota->sharedConsumedBytes()},
                                                {"quota", quota->totalBytes()}}));
        }
    }
    if (const CSJsonValue* userId = archive.find("userId")) {
        if (userId->isString())
            dictionary.set("uid", userIdAsNumber(*userId));
        else if (userId->isNumber())
            dictionary.set("uid", *userId);
    }
    copyText("referralLink", "referral_link");
    copyText("email", "email");
    return initWithDictionary(dictionary);
}
