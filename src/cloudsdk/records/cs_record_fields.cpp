#include "cs_record_fields.h"

std::optional<std::string> CSReadText(const CSJsonValue* value) {
    if (!value || !value->isString())
        return std::nullopt;
    return value->asString();
}

int64_t CSReadInteger(const CSJsonValue* value) {
    if (!value || !(value->isNumber() || value->isString()))
        return 0;
    return value->asInt64();
}

bool CSReadFlag(const CSJsonValue* value) {
    if (!value || !(value->isBool() || value->isNumber()))
        return false;
    return value->asBool();
}

std::optional<CSDate> CSReadDate(const CSJsonValue* value) {
    if (!value || !value->isString())
        return std::nullopt;
    return CSParseMetadataDate(value->stringView());
}
