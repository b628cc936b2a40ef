#include "cs_json.h"

const char* const CSJSONErrorDomain = "org.mobrix.CSJSON.ErrorDomain";

void CSJsonBase::addErrorWithCode(int code, std::string description) {
    auto record = std::make_shared<CSJsonError>();
    record->domain = CSJSONErrorDomain;
    record->code = code;
    record->description = std::move(description);
    if (!errorTrace_.empty())
        record->underlying = errorTrace_.back();
    errorTrace_.push_back(std::move(record));
}

std::string CSJsonDescribeTrace(const CSJsonErrorTrace& trace) {
    std::string text = "(";
    for (std::size_t i = 0; i < trace.size(); ++i) {
        if (i)
            text += ", ";
        text += "Code " + std::to_string(trace[i]->code) + ": " + trace[i]->description;
    }
    return text + ")";
}
