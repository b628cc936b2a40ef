// The DER reader and the revocation check, on the pinned roots, on
// certificates made here, and on malformed input.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "der_reader.h"
#include "pinned_roots.h"
#include "test_pki.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

struct LengthCase {
    Bytes buffer;
    long start;
    int result;
    std::uint32_t length;
    long end;
};

TEST(DerReadLength, ShortLongIndefiniteOversizedAndTruncated) {
    const std::vector<LengthCase> cases = {
        {{0x05}, 0, 0, 5, 1},
        {{0x82, 0x01, 0x00}, 0, 0, 256, 3},
        {{0x84, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}, 0, 0, 0xFFFFFFFFu, 5},
        {{0x80}, 0, -1, 0, 0},
        {{0x85, 1, 2, 3, 4, 5, 6}, 0, -1, 0, 0},
        {{0x82, 0x01}, 0, -2, 0, 0},
        {{0x82, 0x01, 0x00}, 3, -2, 0, 3},
        {{}, 0, -2, 0, 0},
    };
    for (const auto& c : cases) {
        std::uint32_t length = 0;
        long index = c.start;
        EXPECT_EQ(readLength(&length, c.buffer.data(), static_cast<long>(c.buffer.size()), &index),
                  c.result);
        if (c.result == 0) {
            EXPECT_EQ(length, c.length);
            EXPECT_EQ(index, c.end);
        } else {
            EXPECT_EQ(index, c.start) << "a failed read does not move the index";
        }
    }
}

TEST(DerSerial, PinnedRootsDecodeAndCarryTheirPublishedSerials) {
    const auto& roots = CSPinnedRootCertificates();
    ASSERT_EQ(roots.size(), 19u);
    EXPECT_EQ(&roots, &CSPinnedRootCertificates()) << "decoded once and kept";
    const std::vector<Bytes> expected = {
        {0x0C, 0xE7, 0xE0, 0xE5, 0x17, 0xD8, 0x46, 0xFE, 0x8F, 0xE5, 0x60, 0xFC, 0x1B, 0xF0, 0x30,
         0x39},
        {0x08, 0x3B, 0xE0, 0x56, 0x90, 0x42, 0x46, 0xB1, 0xA1, 0x75, 0x6A, 0xC9, 0x59, 0x91, 0xC7,
         0x4A},
        {0x02, 0xAC, 0x5C, 0x26, 0x6A, 0x0B, 0x40, 0x9B, 0x8F, 0x0B, 0x79, 0xF2, 0xAE, 0x46, 0x25,
         0x77},
        {0x00, 0xA6, 0x8B, 0x79, 0x29, 0x00, 0x00, 0x00, 0x00, 0x50, 0xD0, 0x91, 0xF9},
        {0x4A, 0x53, 0x8C, 0x28},
        {0x45, 0x6B, 0x50, 0x54},
        {0x38, 0x63, 0xDE, 0xF8},
        {0x02, 0x34, 0x56},
        {0x3C, 0xB2, 0xF4, 0x48, 0x0A, 0x00, 0xE2, 0xFE, 0xEB, 0x24, 0x3B, 0x5E, 0x60, 0x3E, 0xC3,
         0x6B},
        {0x15, 0xAC, 0x6E, 0x94, 0x19, 0xB2, 0x79, 0x4B, 0x41, 0xF6, 0x27, 0xA9, 0xC3, 0x18, 0x0F,
         0x1F},
        {0x18, 0xAC, 0xB5, 0x6A, 0xFD, 0x69, 0xB6, 0x15, 0x3A, 0x63, 0x6C, 0xAF, 0xDA, 0xFA, 0xC4,
         0xA1},
        {0x00},
        {0x00},
        {0x03, 0x01},
        {0x01, 0x0D},
        {0x01},
        {0x35, 0xFC, 0x26, 0x5C, 0xD9, 0x84, 0x4F, 0xC9, 0x3D, 0x26, 0x3D, 0x57, 0x9B, 0xAE, 0xD7,
         0x56},
        {0x60, 0x01, 0x97, 0xB7, 0x46, 0xA7, 0xEA, 0xB4, 0xB4, 0x9A, 0xD6, 0x4B, 0x2F, 0xF7, 0x90,
         0xFB},
        {0x34, 0x4E, 0xD5, 0x57, 0x20, 0xD5, 0xED, 0xEC, 0x49, 0xF4, 0x2F, 0xCE, 0x37, 0xDB, 0x2B,
         0x6D},
    };
    for (std::size_t i = 0; i < roots.size(); ++i) {
        SCOPED_TRACE(i + 1);
        const Bytes der = bytesOf(roots[i]);
        auto serial = copySerialFromCertificate(der.data(), static_cast<long>(der.size()));
        ASSERT_TRUE(serial);
        EXPECT_EQ(*serial, expected[i]);
        EXPECT_FALSE(isRevokedCertificate(der.data(), der.size()));
    }
}

// A certificate made here whose serial is set, and the same DER with a
// 00 octet put in front of the serial's content (which OpenSSL itself would
// refuse to encode), lengths adjusted.
Bytes withLeadingZeroSerial(const Bytes& der) {
    long idx = 1;
    std::uint32_t len = 0;
    readLength(&len, der.data(), static_cast<long>(der.size()), &idx);
    const long tbsTag = idx;
    idx++;
    readLength(&len, der.data(), static_cast<long>(der.size()), &idx);
    const long version = idx;
    idx++;
    readLength(&len, der.data(), static_cast<long>(der.size()), &idx);
    idx += len;
    const long serialTag = idx;
    EXPECT_EQ(der[serialTag], 0x02);
    const std::uint8_t serialLen = der[serialTag + 1];
    EXPECT_LT(serialLen, 0x7F);
    Bytes out(der.begin(), der.begin() + serialTag + 1);
    out.push_back(static_cast<std::uint8_t>(serialLen + 1));
    out.push_back(0x00);
    out.insert(out.end(), der.begin() + serialTag + 2, der.end());
    // Both outer sequences use two-octet long lengths (0x82) in these certificates.
    EXPECT_EQ(out[1], 0x82);
    EXPECT_EQ(out[tbsTag + 1], 0x82);
    auto bump = [&](long at) {
        std::uint32_t v = (out[at] << 8 | out[at + 1]) + 1;
        out[at] = static_cast<std::uint8_t>(v >> 8);
        out[at + 1] = static_cast<std::uint8_t>(v);
    };
    bump(2);
    bump(tbsTag + 2);
    (void)version;
    return out;
}

TEST(DerSerial, RevokedSerialsMatchByteForByteAndInLength) {
    auto root = testsupport::makeRootCA("Revocation Root");
    const Bytes revokedSerial = {0x27, 0xAB, 0x71, 0xBA, 0x41, 0x86, 0x5C};
    auto revoked = testsupport::issueServerCertificate(root, revokedSerial);
    const Bytes der = bytesOf(revoked.der());
    EXPECT_EQ(*copySerialFromCertificate(der.data(), static_cast<long>(der.size())), revokedSerial);
    EXPECT_TRUE(isRevokedCertificate(der.data(), der.size()));

    const Bytes padded = withLeadingZeroSerial(der);
    auto serial = copySerialFromCertificate(padded.data(), static_cast<long>(padded.size()));
    ASSERT_TRUE(serial);
    EXPECT_EQ(serial->size(), 8u);
    EXPECT_EQ((*serial)[0], 0x00);
    EXPECT_FALSE(isRevokedCertificate(padded.data(), padded.size()));

    auto other =
        testsupport::issueServerCertificate(root, {0x2B, 0x73, 0x47, 0x79, 0xDB, 0x80, 0x12});
    EXPECT_TRUE(isRevokedCertificate(reinterpret_cast<const std::uint8_t*>(other.der().data()),
                                     other.der().size()));
    auto fine = testsupport::issueServerCertificate(root, {0x27, 0xAB, 0x71, 0xBA, 0x41, 0x86});
    EXPECT_FALSE(isRevokedCertificate(reinterpret_cast<const std::uint8_t*>(fine.der().data()),
                                      fine.der().size()));
}

TEST(DerSerial, MalformedCertificatesFailWithoutReadingOutside) {
    auto root = testsupport::makeRootCA("Truncation Root");
    const Bytes der = bytesOf(testsupport::issueServerCertificate(root).der());
    // Every prefix: the serial lies within the first few dozen octets, so
    // short prefixes fail and long ones succeed; none reads past its end
    // (the sanitizer build checks that).
    for (std::size_t n = 0; n < der.size(); ++n) {
        Bytes prefix(der.begin(), der.begin() + static_cast<long>(n));
        auto serial = copySerialFromCertificate(prefix.data(), static_cast<long>(prefix.size()));
        if (n < 20) {
            EXPECT_FALSE(serial) << n;
        }
    }
    const std::vector<Bytes> bad = {
        {0x31, 0x03, 0x30, 0x01, 0x00},                               // not a sequence
        {0x30, 0x80, 0x30, 0x03, 0xA0, 0x01, 0x02, 0x02, 0x01, 0x05}, // indefinite length
        {0x30, 0x85, 0x01, 0x01, 0x01, 0x01, 0x01, 0x30},             // length of more than 32 bits
        {0x30, 0x10, 0x31, 0x03, 0xA0, 0x01, 0x02}, // inner element not a sequence
        {0x30, 0x10, 0x30, 0x10, 0x1F, 0x01, 0x02, 0x02, 0x01, 0x05}, // multi-octet version tag
        {0x30, 0x10, 0x30, 0x10, 0xA0, 0x84, 0xFF, 0xFF, 0xFF, 0xF0, 0x02, 0x01,
         0x05}, // huge version skip
        {0x30, 0x10, 0x30, 0x10, 0xA0, 0x01, 0x02, 0x02, 0x84, 0x7F, 0xFF, 0xFF,
         0xFF}, // huge serial
        {0x30, 0x10, 0x30, 0x10, 0x02, 0x01, 0x05, 0x30, 0x00,
         0x00}, // no version: the serial is skipped
    };
    for (const auto& b : bad) {
        EXPECT_FALSE(copySerialFromCertificate(b.data(), static_cast<long>(b.size())));
        EXPECT_TRUE(isRevokedCertificate(b.data(), b.size()))
            << "an unreadable serial counts as revoked";
    }
    EXPECT_FALSE(copySerialFromCertificate(der.data(), -1));
    EXPECT_FALSE(copySerialFromCertificate(der.data(), 1L << 31));
}

} // namespace
