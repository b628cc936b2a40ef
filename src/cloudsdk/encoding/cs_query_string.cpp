#include "cs_query_string.h"

#include "cs_escaping.h"

void forEachQueryPiece(std::string_view query,
                       const std::function<void(std::string_view name,
                                                std::optional<std::string_view> value)>& visit) {
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string_view::npos)
            end = query.size();
        std::string_view piece = query.substr(start, end - start);
        if (!piece.empty()) {
            size_t equals = piece.find('=');
            if (equals == std::string_view::npos)
                visit(piece, std::nullopt);
            else
                visit(piece.substr(0, equals), piece.substr(equals + 1));
        }
        start = end + 1;
    }
}

std::map<std::string, std::string> dictionaryWithQueryString(std::string_view query) {
    std::map<std::string, std::string> dictionary;
    forEachQueryPiece(query, [&](std::string_view name, std::optional<std::string_view> value) {
        if (value)
            dictionary[std::string(name)] = stringByRemovingPercentEscapes(*value);
    });
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
