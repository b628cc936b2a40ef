#include "cs_error.h"

#include "cs_json.h"

const char* const CSErrorDomain = "cloud.example";
const char* const CSNetworkErrorDomain = "QNetworkReplyErrorDomain";
const char* const CSPOSIXErrorDomain = "POSIXErrorDomain";

std::string CSError::infoString(std::string_view key) const {
    const CSJsonValue* v = userInfo.find(key);
    return v && v->isString() ? v->asString() : std::string();
}

std::string CSError::description() const {
    std::string out = "Error Domain=" + domain + " Code=" + std::to_string(code);
    if (userInfo.size() > 0) {
        if (auto text = JSONRepresentation(userInfo))
            out += " UserInfo=" + *text;
    }
    return out;
}
