#include "cs_base64.h"

#include <array>
#include <cstdint>
#include <limits>

namespace {

constexpr char kEncodeTable[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr size_t kLineLength = 72;
constexpr size_t kLineWithBreak = kLineLength + 2;

// Decode classes beyond the sextet values 0..63.
constexpr std::int8_t kEnd = -1;        // "="
constexpr std::int8_t kWhitespace = -2; // tab, LF, VT, FF, CR, space
constexpr std::int8_t kNoise = -3;      // everything else, bytes >= 0x80 included
constexpr std::int8_t kTextEnd = -5;    // NUL

// 256 entries so that any byte can be looked up; bytes of 0x80 and above are noise.
constexpr std::array<std::int8_t, 256> makeDecodeTable() {
    std::array<std::int8_t, 256> table{};
    for (auto& entry : table)
        entry = kNoise;
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kEncodeTable[i])] = static_cast<std::int8_t>(i);
    table['='] = kEnd;
    for (unsigned char c : {'\t', '\n', '\v', '\f', '\r', ' '})
        table[c] = kWhitespace;
    table[0] = kTextEnd;
    return table;
}

constexpr auto kDecodeTable = makeDecodeTable();

// 4 * ceil(length / 3) characters plus CR LF after each full line; false when
// that does not fit in size_t.
bool encodedSize(size_t length, size_t* size) {
    size_t groups = length / 3 + (length % 3 != 0 ? 1 : 0);
    if (groups > std::numeric_limits<size_t>::max() / 4)
        return false;
    size_t characters = groups * 4;
    size_t lines = characters / kLineLength;
    if (lines > (std::numeric_limits<size_t>::max() - characters % kLineLength) / kLineWithBreak)
        return false;
    *size = lines * kLineWithBreak + characters % kLineLength;
    return true;
}

} // namespace

size_t CSEstimateBas64DecodedDataSize(size_t length) {
    // At most SIZE_MAX / 4 + 1 groups, so the product cannot wrap.
    return (length / 4 + (length % 4 != 0 ? 1 : 0)) * 3;
}

bool CSBase64EncodeData(const void* data, size_t length, char* out, size_t* ioOutLength) {
    size_t required = 0;
    if (ioOutLength == nullptr || !encodedSize(length, &required) || *ioOutLength < required)
        return false;
    if (length > 0 && (data == nullptr || out == nullptr))
        return false;

    const auto* in = static_cast<const unsigned char*>(data);
    size_t written = 0;
    size_t lineFill = 0;
    for (size_t i = 0; i < length; i += 3) {
        size_t remaining = length - i;
        std::uint32_t group = std::uint32_t{in[i]} << 16;
        if (remaining > 1)
            group |= std::uint32_t{in[i + 1]} << 8;
        if (remaining > 2)
            group |= in[i + 2];
        out[written++] = kEncodeTable[(group >> 18) & 0x3F];
        out[written++] = kEncodeTable[(group >> 12) & 0x3F];
        out[written++] = remaining > 1 ? kEncodeTable[(group >> 6) & 0x3F] : '=';
        out[written++] = remaining > 2 ? kEncodeTable[group & 0x3F] : '=';
        lineFill += 4;
        if (lineFill == kLineLength) {
            out[written++] = '\r';
            out[written++] = '\n';
            lineFill = 0;
        }
    }
    *ioOutLength = written;
    return true;
}

bool CSBase64DecodeData(const char* text, size_t length, void* out, size_t* ioOutLength) {
    if (ioOutLength == nullptr || *ioOutLength < CSEstimateBas64DecodedDataSize(length))
        return false;
    if (length > 0 && (text == nullptr || out == nullptr))
        return false;

    const auto* in = reinterpret_cast<const unsigned char*>(text);
    auto* bytes = static_cast<unsigned char*>(out);
    size_t produced = 0;
    std::uint32_t group = 0;
    int sextets = 0;
    for (size_t cursor = 0; cursor < length; ++cursor) {
        std::int8_t entry = kDecodeTable[in[cursor]];
        if (entry == kWhitespace || entry == kNoise)
            continue;
        if (entry < 0) // "=" or NUL: the data ends here
            break;
        group = (group << 6) | static_cast<std::uint32_t>(entry);
        if (++sextets == 4) {
            bytes[produced++] = static_cast<unsigned char>(group >> 16);
            bytes[produced++] = static_cast<unsigned char>(group >> 8);
            bytes[produced++] = static_cast<unsigned char>(group);
            group = 0;
            sextets = 0;
        }
    }
    // A cut-short group gives the bytes completed before the cut.
    if (sextets == 2) {
        bytes[produced++] = static_cast<unsigned char>(group >> 4);
    } else if (sextets == 3) {
        bytes[produced++] = static_cast<unsigned char>(group >> 10);
        bytes[produced++] = static_cast<unsigned char>(group >> 2);
    }
    *ioOutLength = produced;
    return true;
}
