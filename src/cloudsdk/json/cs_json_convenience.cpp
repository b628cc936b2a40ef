#include "cs_json.h"
#include "cs_log.h"

namespace {

void logFailure(const char* operation, const CSJsonErrorTrace& trace) {
    CSLogError("-%s failed. Error trace is: %s", operation, CSJsonDescribeTrace(trace).c_str());
}

} // namespace

std::optional<CSJsonValue> JSONValue(std::string_view text) {
    CSJsonParser parser;
    std::optional<CSJsonValue> value = parser.objectWithString(text);
    if (!value)
        logFailure("JSONValue", parser.errorTrace());
    return value;
}

std::optional<CSJsonValue> JSONValue(const char* text) {
    return text ? JSONValue(std::string_view(text)) : std::nullopt;
}

std::optional<CSJsonValue> JSONValue(std::nullopt_t) {
    return std::nullopt;
}

std::optional<CSJsonValue> JSONFragmentValue(std::string_view text) {
    CSJsonParser parser;
    std::optional<CSJsonValue> value = parser.fragmentWithString(text);
    if (!value)
        logFailure("JSONFragmentValue", parser.errorTrace());
    return value;
}

std::optional<CSJsonValue> JSONFragmentValue(const char* text) {
    return text ? JSONFragmentValue(std::string_view(text)) : std::nullopt;
}

std::optional<CSJsonValue> JSONFragmentValue(std::nullopt_t) {
    return std::nullopt;
}

std::optional<std::string> JSONRepresentation(const CSJsonValue& value) {
    CSJsonWriter writer;
    std::optional<std::string> text = writer.stringWithObject(value);
    if (!text)
        logFailure("JSONRepresentation", writer.errorTrace());
    return text;
}

std::optional<std::string> JSONFragment(const CSJsonValue& value) {
    CSJsonWriter writer;
    std::optional<std::string> text = writer.stringWithFragment(value);
    if (!text)
        logFailure("JSONFragment", writer.errorTrace());
    return text;
}
