// Both query parsers split at the first "=" only, skip pieces without one,
// and give values that survive encoding and parsing again.
#include "cs_escaping.h"
#include "cs_query_string.h"
#include "url_request_parameter.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);

    for (const auto& [key, value] : dictionaryWithQueryString(text)) {
        if (key.find('&') != std::string::npos || key.find('=') != std::string::npos)
            std::abort();
        if (value.find('&') != std::string::npos && text.find("%26") == std::string_view::npos)
            std::abort();
    }

    URLRequestParameters parameters = URLRequestParameter::parametersFromString(text);
    size_t equalsPieces = 0;
    for (size_t start = 0; start <= text.size();) {
        size_t end = std::min(text.find('&', start), text.size());
        if (text.substr(start, end - start).find('=') != std::string_view::npos)
            ++equalsPieces;
        start = end + 1;
    }
    if (parameters.size() != equalsPieces)
        std::abort();

    std::string encoded = URLRequestParameter::parameterStringForParameters(parameters);
    URLRequestParameters again = URLRequestParameter::parametersFromString(encoded);
    if (again.size() != parameters.size())
        std::abort();
    for (size_t i = 0; i < again.size(); ++i) {
        if (again[i].value() != parameters[i].value())
            std::abort();
        // Names are taken as given, so they come back in their escaped form.
        if (again[i].name() != stringByAddingURIPercentEscapesUsingEncoding(parameters[i].name()))
            std::abort();
    }
    return 0;
}
