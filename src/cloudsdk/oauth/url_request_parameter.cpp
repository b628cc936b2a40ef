#include "url_request_parameter.h"

#include "cs_escaping.h"

namespace {

// Calls `visit(name, value)` for every piece of "a=b&c=d" that has an "=".
template <typename Visit> void forEachPair(std::string_view text, Visit visit) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('&', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view piece = text.substr(start, end - start);
        size_t equals = piece.find('=');
        if (equals != std::string_view::npos)
            visit(std::string(piece.substr(0, equals)),
                  stringByRemovingPercentEscapes(piece.substr(equals + 1)));
        start = end + 1;
    }
}

} // namespace

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
    forEachPair(text, [&](std::string name, std::string value) {
        parameters.emplace_back(std::move(name), std::move(value));
    });
    return parameters;
}

std::map<std::string, std::string>
URLRequestParameter::parameterDictionaryFromString(std::string_view text) {
    std::map<std::string, std::string> dictionary;
    forEachPair(text, [&](std::string name, std::string value) {
        dictionary[std::move(name)] = std::move(value);
    });
    return dictionary;
}
