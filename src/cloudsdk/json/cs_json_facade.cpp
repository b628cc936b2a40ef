#include "cs_json.h"

CSJSON::CSJSON() {
    setMaxDepth(kDefaultMaxDepth);
}

void CSJSON::setMaxDepth(uint64_t maxDepth) {
    CSJsonBase::setMaxDepth(maxDepth);
    jsonParser_.setMaxDepth(maxDepth);
    jsonWriter_.setMaxDepth(maxDepth);
}

void CSJSON::keepFailure(const CSJsonErrorTrace& trace, CSJsonErrorPtr* error) {
    errorTrace_ = trace;
    if (error && !trace.empty())
        *error = trace.back();
}

std::optional<CSJsonValue> CSJSON::objectWithString(std::string_view text) {
    return objectWithString(text, false, nullptr);
}

std::optional<CSJsonValue> CSJSON::objectWithString(std::string_view text, bool allowScalar,
                                                    CSJsonErrorPtr* error) {
    std::optional<CSJsonValue> value =
        allowScalar ? jsonParser_.fragmentWithString(text) : jsonParser_.objectWithString(text);
    if (!value)
        keepFailure(jsonParser_.errorTrace(), error);
    return value;
}

std::optional<CSJsonValue> CSJSON::objectWithString(std::string_view text, CSJsonErrorPtr* error) {
    return objectWithString(text, false, error);
}

std::optional<CSJsonValue> CSJSON::fragmentWithString(std::string_view text,
                                                      CSJsonErrorPtr* error) {
    return objectWithString(text, true, error);
}

std::optional<std::string> CSJSON::stringWithObject(const CSJsonValue& value) {
    return stringWithObject(value, false, nullptr);
}

std::optional<std::string> CSJSON::stringWithObject(const CSJsonValue& value, bool allowScalar,
                                                    CSJsonErrorPtr* error) {
    std::optional<std::string> text =
        allowScalar ? jsonWriter_.stringWithFragment(value) : jsonWriter_.stringWithObject(value);
    if (!text)
        keepFailure(jsonWriter_.errorTrace(), error);
    return text;
}

std::optional<std::string> CSJSON::stringWithObject(const CSJsonValue& value,
                                                    CSJsonErrorPtr* error) {
    return stringWithObject(value, false, error);
}

std::optional<std::string> CSJSON::stringWithFragment(const CSJsonValue& value,
                                                      CSJsonErrorPtr* error) {
    return stringWithObject(value, true, error);
}
