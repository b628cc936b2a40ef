#include "cs_base64.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
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

// Decoding four characters at once: each table holds a sextet already shifted
// into place, or kInvalidQuad for anything that is not a sextet.
constexpr std::uint32_t kInvalidQuad = 1u << 24;

constexpr std::array<std::uint32_t, 256> makeShiftedTable(int shift) {
    std::array<std::uint32_t, 256> table{};
    for (int c = 0; c < 256; ++c) {
        std::int8_t entry = kDecodeTable[static_cast<size_t>(c)];
        table[static_cast<size_t>(c)] =
            entry < 0 ? kInvalidQuad : static_cast<std::uint32_t>(entry) << shift;
    }
    return table;
}

constexpr std::uint32_t toBigEndian(std::uint32_t value) {
    if constexpr (std::endian::native == std::endian::little)
        return __builtin_bswap32(value);
    return value;
}

constexpr auto kQuad0 = makeShiftedTable(18);
constexpr auto kQuad1 = makeShiftedTable(12);
constexpr auto kQuad2 = makeShiftedTable(6);
constexpr auto kQuad3 = makeShiftedTable(0);

// Encoding twelve bits at once: the two characters for every 12-bit value.
constexpr std::array<char, 8192> makePairTable() {
    std::array<char, 8192> table{};
    for (int v = 0; v < 4096; ++v) {
        table[static_cast<size_t>(2 * v)] = kEncodeTable[v >> 6];
        table[static_cast<size_t>(2 * v + 1)] = kEncodeTable[v & 0x3F];
    }
    return table;
}

constexpr auto kPairTable = makePairTable();

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
    size_t full = length - length % 3;
    for (size_t i = 0; i < full; i += 3) {
        std::uint32_t group =
            std::uint32_t{in[i]} << 16 | std::uint32_t{in[i + 1]} << 8 | in[i + 2];
        const char* high = &kPairTable[(group >> 12) * 2];
        const char* low = &kPairTable[(group & 0xFFF) * 2];
        out[written] = high[0];
        out[written + 1] = high[1];
        out[written + 2] = low[0];
        out[written + 3] = low[1];
        written += 4;
        lineFill += 4;
        if (lineFill == kLineLength) {
            out[written++] = '\r';
            out[written++] = '\n';
            lineFill = 0;
        }
    }
    if (full < length) {
        size_t remaining = length - full;
        std::uint32_t group = std::uint32_t{in[full]} << 16;
        if (remaining > 1)
            group |= std::uint32_t{in[full + 1]} << 8;
        out[written++] = kEncodeTable[(group >> 18) & 0x3F];
        out[written++] = kEncodeTable[(group >> 12) & 0x3F];
        out[written++] = remaining > 1 ? kEncodeTable[(group >> 6) & 0x3F] : '=';
        out[written++] = '=';
        lineFill += 4;
        if (lineFill == kLineLength) {
            out[written++] = '\r';
            out[written++] = '\n';
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
    const size_t room = *ioOutLength;
    size_t produced = 0;
    std::uint32_t group = 0;
    int sextets = 0;
    size_t cursor = 0;
    while (cursor < length) {
        // Whole groups of four sextets, the common case, go four at a time.
        while (sextets == 0 && length - cursor >= 4) {
            std::uint32_t quad = kQuad0[in[cursor]] | kQuad1[in[cursor + 1]] |
                                 kQuad2[in[cursor + 2]] | kQuad3[in[cursor + 3]];
            if (quad & kInvalidQuad)
                break;
            if (room - produced >= 4) {
                // One 4-byte store; its last byte is overwritten by the next group.
                std::uint32_t bigEndian = toBigEndian(quad << 8);
                std::memcpy(bytes + produced, &bigEndian, 4);
            } else {
                bytes[produced] = static_cast<unsigned char>(quad >> 16);
                bytes[produced + 1] = static_cast<unsigned char>(quad >> 8);
                bytes[produced + 2] = static_cast<unsigned char>(quad);
            }
            produced += 3;
            cursor += 4;
        }
        if (cursor >= length)
            break;
        std::int8_t entry = kDecodeTable[in[cursor++]];
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
