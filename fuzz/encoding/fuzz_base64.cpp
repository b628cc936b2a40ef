// The decoder reads only its input and never writes past the estimate; the
// encoder's output decodes back to the input; decoding is stable.
#include "cs_base64.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

std::vector<unsigned char> decode(const char* text, size_t length) {
    size_t size = CSEstimateBas64DecodedDataSize(length);
    std::vector<unsigned char> out(size);
    if (!CSBase64DecodeData(text, length, out.data(), &size) ||
        size > CSEstimateBas64DecodedDataSize(length))
        std::abort();
    out.resize(size);
    return out;
}

std::vector<char> encode(const unsigned char* data, size_t length) {
    size_t size = (length / 3 + 1) * 4 * 74 / 72 + 4;
    std::vector<char> out(size);
    if (!CSBase64EncodeData(data, length, out.data(), &size))
        std::abort();
    out.resize(size);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Exactly sized copy: a read past the input is a heap overflow.
    std::vector<char> text(data, data + size);
    std::vector<unsigned char> decoded = decode(text.data(), text.size());

    std::vector<char> reencoded = encode(decoded.data(), decoded.size());
    if (decode(reencoded.data(), reencoded.size()) != decoded)
        std::abort();

    std::vector<char> encoded = encode(data, size);
    std::vector<unsigned char> back = decode(encoded.data(), encoded.size());
    if (back.size() != size || (size > 0 && std::memcmp(back.data(), data, size) != 0))
        std::abort();

    size_t tooSmall = CSEstimateBas64DecodedDataSize(size);
    if (tooSmall > 0) {
        size_t given = tooSmall - 1;
        if (CSBase64DecodeData(text.data(), text.size(), decoded.data(), &given) ||
            given != tooSmall - 1)
            std::abort();
    }
    return 0;
}
