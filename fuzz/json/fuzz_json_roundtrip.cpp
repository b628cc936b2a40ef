// Read, write, read again: the second tree equals the first, and writing it
// again gives the same text, in both the compact and the human-readable form.

#include <cstdlib>
#include <string_view>

#include "cs_json.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CSJsonParser parser;
    const std::optional<CSJsonValue> value = parser.fragmentWithString(text);
    if (!value) {
        if (parser.errorTrace().empty())
            std::abort();
        return 0;
    }
    for (bool humanReadable : {false, true}) {
        CSJsonWriter writer;
        writer.setHumanReadable(humanReadable);
        writer.setSortKeys(humanReadable);
        const std::optional<std::string> written = writer.stringWithFragment(*value);
        if (!written)
            std::abort();
        const std::optional<CSJsonValue> again = parser.fragmentWithString(*written);
        if (!again || !(*again == *value))
            std::abort();
        if (writer.stringWithFragment(*again) != written)
            std::abort();
    }
    return 0;
}
