// Any text: the parser never reads out of bounds, and a date it accepts
// comes back unchanged through the formatter (whenever its UTC year still
// has four digits: a zone offset can move year 0000 or 9999 across).

#include <cstdlib>
#include <string>
#include <string_view>

#include "cs_date.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<CSDate> date = CSParseMetadataDate(text);
    if (!date)
        return 0;
    const std::string formatted = CSFormatMetadataDate(*date);
    if (formatted.size() == 31 && formatted[12] != '-' && CSParseMetadataDate(formatted) != date)
        std::abort();
    return 0;
}
