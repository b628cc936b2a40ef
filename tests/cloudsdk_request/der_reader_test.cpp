// The DER reader and the revocation check, on the pinned roots, on
// certificates made here, and on malformed input (each length-reading
// failure: indefinite, over 32 bits, truncated).
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

std::optional<Bytes> serialOf(const Bytes& der) {
    return copySerialFromCertificate(der.data(), static_cast<long>(der.size()));
}

// OpenSSL's own reading of each pinned root is the reference.
TEST(DerSerial, PinnedRootsDecodeToTheSerialOpenSslReads) {
    const auto& roots = CSPinnedRootCertificates();
    ASSERT_EQ(roots.size(), 19u);
    EXPECT_EQ(&roots, &CSPinnedRootCertificates()) << "decoded once and kept";
    for (const std::string& root : roots) {
        const auto* in = reinterpret_cast<const unsigned char*>(root.data());
        X509* cert = d2i_X509(nullptr, &in, static_cast<long>(root.size()));
        ASSERT_NE(cert, nullptr);
        unsigned char* encoded = nullptr;
        const int n = i2d_ASN1_INTEGER(X509_get0_serialNumber(cert), &encoded);
        ASSERT_GT(n, 2);
        ASSERT_LT(encoded[1], 0x80);
        const Bytes expected(encoded + 2, encoded + n);
        OPENSSL_free(encoded);
        X509_free(cert);
        EXPECT_EQ(serialOf(bytesOf(root)), expected);
        EXPECT_FALSE(isRevokedCertificate(bytesOf(root).data(), root.size()));
    }
}

// The front of a certificate: the outer and inner sequences, a version
// element, the serial, and one octet after it.
Bytes certificateFront(const Bytes& serial) {
    Bytes tbs = {0xA0, 0x03, 0x02, 0x01, 0x02, 0x02, static_cast<std::uint8_t>(serial.size())};
    tbs.insert(tbs.end(), serial.begin(), serial.end());
    tbs.push_back(0x30);
    Bytes out = {0x30, static_cast<std::uint8_t>(tbs.size() + 2), 0x30,
                 static_cast<std::uint8_t>(tbs.size())};
    out.insert(out.end(), tbs.begin(), tbs.end());
    return out;
}

TEST(DerSerial, RevokedSerialsMatchByteForByteAndInLength) {
    // clang-format off
    const std::pair<Bytes, bool> cases[] = {
        {{0x27, 0xAB, 0x71, 0xBA, 0x41, 0x86, 0x5C}, true},
        {{0x2B, 0x73, 0x47, 0x79, 0xDB, 0x80, 0x12}, true},
        {{0x02, 0x75, 0xC7, 0x6C, 0x1E, 0x64, 0x3C, 0x26, 0x49, 0x88, 0x6B, 0x0E, 0x76, 0x3A, 0xC3, 0xE9}, true},
        // A leading 00 octet (which OpenSSL would refuse to encode), a prefix, a neighbour.
        {{0x00, 0x27, 0xAB, 0x71, 0xBA, 0x41, 0x86, 0x5C}, false},
        {{0x27, 0xAB, 0x71, 0xBA, 0x41, 0x86}, false},
        {{0x27, 0xAB, 0x71, 0xBA, 0x41, 0x86, 0x5D}, false},
    };
    // clang-format on
    for (const auto& [serial, revoked] : cases) {
        const Bytes der = certificateFront(serial);
        EXPECT_EQ(serialOf(der), serial);
        EXPECT_EQ(isRevokedCertificate(der.data(), der.size()), revoked);
    }
    auto root = testsupport::makeRootCA("Revocation Root");
    const Bytes made = bytesOf(
        testsupport::issueServerCertificate(root, {0x27, 0xAB, 0x71, 0xBA, 0x41, 0x86, 0x5C})
            .der());
    EXPECT_TRUE(isRevokedCertificate(made.data(), made.size()));
}

TEST(DerSerial, MalformedCertificatesFailWithoutReadingOutside) {
    auto root = testsupport::makeRootCA("Truncation Root");
    const Bytes der = bytesOf(testsupport::issueServerCertificate(root).der());
    // Every prefix: the serial lies within the first few dozen octets, so
    // short prefixes fail; none reads past its end (the sanitizer build checks that).
    for (std::size_t n = 0; n < der.size(); ++n) {
        Bytes prefix(der.begin(), der.begin() + static_cast<long>(n));
        const auto serial = serialOf(prefix);
        if (n < 20) {
            EXPECT_FALSE(serial) << n;
        }
    }
    // clang-format off
    const std::vector<Bytes> bad = {
        {0x31, 0x03, 0x30, 0x01, 0x00},                                             // not a sequence
        {0x30, 0x80, 0x30, 0x03, 0xA0, 0x01, 0x02, 0x02, 0x01, 0x05},               // indefinite length
        {0x30, 0x85, 0x01, 0x01, 0x01, 0x01, 0x01, 0x30},                           // length of more than 32 bits
        {0x30, 0x10, 0x31, 0x03, 0xA0, 0x01, 0x02},                                 // inner element not a sequence
        {0x30, 0x10, 0x30, 0x10, 0x1F, 0x01, 0x02, 0x02, 0x01, 0x05},               // multi-octet version tag
        {0x30, 0x10, 0x30, 0x10, 0xA0, 0x84, 0xFF, 0xFF, 0xFF, 0xF0, 0x02, 0x01, 0x05}, // huge version skip
        {0x30, 0x10, 0x30, 0x10, 0xA0, 0x01, 0x02, 0x02, 0x84, 0x7F, 0xFF, 0xFF, 0xFF}, // huge serial
        {0x30, 0x10, 0x30, 0x10, 0x02, 0x01, 0x05, 0x30, 0x00, 0x00},               // no version: the serial is skipped
    };
    // clang-format on
    for (const auto& b : bad) {
        EXPECT_FALSE(serialOf(b));
        EXPECT_TRUE(isRevokedCertificate(b.data(), b.size()))
            << "an unreadable serial counts as revoked";
    }
    EXPECT_FALSE(copySerialFromCertificate(der.data(), -1));
    EXPECT_FALSE(copySerialFromCertificate(der.data(), 1L << 31));
}

} // namespace
