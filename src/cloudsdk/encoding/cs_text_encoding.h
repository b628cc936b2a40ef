#pragma once
// The text encoding a response declares in its charset.

#include <string_view>

enum class CSTextEncoding {
    UTF8,
    ASCII,
    ISOLatin1,
    ISOLatin2,
    WindowsCP1252,
    UTF16,
    UTF16BigEndian,
    UTF16LittleEndian,
    UTF32,
    ShiftJIS,
    EUCJapanese,
    ISO2022JP,
    MacRoman,
};

// Takes a charset name ("iso-8859-1") or a whole Content-Type value
// ("text/plain; charset=ISO-8859-1"); UTF-8 when none is named or the name is
// not known.
CSTextEncoding encoding(std::string_view contentTypeOrCharset);
