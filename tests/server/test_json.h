#pragma once
// Answers read with the client's own JSON reader and records.

#include "cs_account_info.h"
#include "cs_json.h"
#include "cs_metadata.h"

#include <httplib.h>

#include <optional>
#include <string>

namespace servertest {

inline CSJsonValue json(const std::string& text) {
    CSJsonParser parser;
    return parser.fragmentWithString(std::string_view(text)).value_or(CSJsonValue());
}

inline std::optional<CSMetadata> metadataOf(const httplib::Result& result) {
    if (!result || result->status != 200)
        return std::nullopt;
    return CSMetadata::initWithDictionary(json(result->body));
}

// The "error" text of a failure answer ("" when there is none).
inline std::string errorOf(const httplib::Result& result) {
    if (!result)
        return "(no answer)";
    auto body = json(result->body);
    const CSJsonValue* error = body.find("error");
    return error ? error->asString() : std::string();
}

} // namespace servertest
