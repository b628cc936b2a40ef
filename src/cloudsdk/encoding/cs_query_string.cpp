#include "cs_query_string.h"

#include "cs_escaping.h"

std::map<std::string, std::string> dictionaryWithQueryString(std::string_view query) {
    std::map<std::string, std::string> dictionary;
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string_view::npos)
            end = query.size();
        std::string_view piece = query.substr(start, end - start);
        size_t equals = piece.find('=');
        if (equals != std::string_view::npos)
            dictionary[std::string(piece.substr(0, equals))] =
                stringByRemovingPercentEscapes(piece.substr(equals + 1));
        start = end + 1;
    }
    return dictionary;
}

std::string urlRepresentation(const std::map<std::string, std::string>& dictionary) {
    std::string text;
    for (const auto& [key, value] : dictionary) {
        if (!text.empty())
            text += '&';
        text += stringByAddingURIPercentEscapesUsingEncoding(key);
        text += '=';
        text += stringByAddingURIPercentEscapesUsingEncoding(value);
    }
    return text;
}
