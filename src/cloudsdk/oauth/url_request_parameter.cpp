#include "url_request_parameter.h"

#include "cs_escaping.h"
#include "cs_query_string.h"

std::string URLRequestParameter::URLEncodedParameterString() const {
    std::string text = stringByAddingURIPercentEscapesUsingEncoding(name_);
    text += '=';
    if (value_)
        text += stringByAddingURIPercentEscapesUsingEncoding(*value_);
    return text;
}

int URLRequestParameter::compare(const URLRequestParameter& other) const {
    if (int byName = name_.compare(other.name_); byName != 0)
        return byName < 0 ? -1 : 1;
    if (value_ == other.value_)
        return 0;
    if (!value_ || !other.value_)
        return value_ ? 1 : -1;
    return value_->compare(*other.value_) < 0 ? -1 : 1;
}

URLRequestParameters
URLRequestParameter::parametersFromDictionary(const URLParameterPairs& dictionary) {
    URLRequestParameters parameters;
    parameters.reserve(dictionary.size());
    for (const auto& [name, value] : dictionary)
        parameters.emplace_back(name, value);
    return parameters;
}

std::string
URLRequestParameter::parameterStringForParameters(const URLRequestParameters& parameters) {
    std::string text;
    for (const auto& parameter : parameters) {
        if (!text.empty())
            text += '&';
        text += parameter.URLEncodedParameterString();
    }
    return text;
}

std::string URLRequestParameter::parameterStringForDictionary(const URLParameterPairs& dictionary) {
    return parameterStringForParameters(parametersFromDictionary(dictionary));
}

URLRequestParameters URLRequestParameter::parametersFromString(std::string_view text) {
    URLRequestParameters parameters;
    forEachQueryPiece(text, [&](std::string_view name, std::optional<std::string_view> value) {
        if (value)
            parameters.emplace_back(std::string(name), stringByRemovingPercentEscapes(*value));
    });
    return parameters;
}

std::map<std::string, std::string>
URLRequestParameter::parameterDictionaryFromString(std::string_view text) {
    return dictionaryWithQueryString(text);
}
