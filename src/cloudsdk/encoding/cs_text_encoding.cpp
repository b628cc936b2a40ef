#include "cs_text_encoding.h"

#include <cctype>
#include <string>
#include <utility>

namespace {

std::string_view trim(std::string_view text) {
    while (!text.empty() &&
           (std::isspace(static_cast<unsigned char>(text.front())) || text.front() == '"'))
        text.remove_prefix(1);
    while (!text.empty() &&
           (std::isspace(static_cast<unsigned char>(text.back())) || text.back() == '"'))
        text.remove_suffix(1);
    return text;
}

std::string lowercase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// The charset parameter of a Content-Type value, or the text itself when it
// is a bare charset name.
std::string charsetName(std::string_view text) {
    std::string lower = lowercase(text);
    if (lower.find_first_of(";/=") == std::string::npos)
        return std::string(trim(lower));
    size_t at = lower.find("charset=");
    if (at == std::string::npos)
        return {};
    std::string_view value = std::string_view(lower).substr(at + 8);
    return std::string(trim(value.substr(0, value.find(';'))));
}

} // namespace

CSTextEncoding encoding(std::string_view contentTypeOrCharset) {
    static const std::pair<const char*, CSTextEncoding> kNames[] = {
        {"utf-8", CSTextEncoding::UTF8},
        {"utf8", CSTextEncoding::UTF8},
        {"us-ascii", CSTextEncoding::ASCII},
        {"ascii", CSTextEncoding::ASCII},
        {"iso-8859-1", CSTextEncoding::ISOLatin1},
        {"iso8859-1", CSTextEncoding::ISOLatin1},
        {"latin1", CSTextEncoding::ISOLatin1},
        {"iso-8859-2", CSTextEncoding::ISOLatin2},
        {"latin2", CSTextEncoding::ISOLatin2},
        {"windows-1252", CSTextEncoding::WindowsCP1252},
        {"cp1252", CSTextEncoding::WindowsCP1252},
        {"utf-16", CSTextEncoding::UTF16},
        {"utf-16be", CSTextEncoding::UTF16BigEndian},
        {"utf-16le", CSTextEncoding::UTF16LittleEndian},
        {"utf-32", CSTextEncoding::UTF32},
        {"shift_jis", CSTextEncoding::ShiftJIS},
        {"sjis", CSTextEncoding::ShiftJIS},
        {"euc-jp", CSTextEncoding::EUCJapanese},
        {"iso-2022-jp", CSTextEncoding::ISO2022JP},
        {"macintosh", CSTextEncoding::MacRoman},
        {"x-mac-roman", CSTextEncoding::MacRoman},
    };
    std::string name = charsetName(contentTypeOrCharset);
    for (const auto& [known, value] : kNames)
        if (name == known)
            return value;
    return CSTextEncoding::UTF8;
}
