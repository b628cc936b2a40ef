#include "cs_base64.h"

#include <openssl/evp.h>

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

std::string encode(const std::string& bytes) {
    size_t size = 4 * (bytes.size() / 3 + 1) * 2 + 8;
    std::string out(size, '\0');
    EXPECT_TRUE(CSBase64EncodeData(bytes.data(), bytes.size(), out.data(), &size));
    out.resize(size);
    return out;
}

// Decodes from a heap block of exactly the text's size, so that a read past
// the input is caught by the address sanitizer.
std::string decode(const std::string& text) {
    std::vector<char> exact(text.begin(), text.end());
    size_t size = CSEstimateBas64DecodedDataSize(text.size());
    std::string out(size, '\0');
    EXPECT_TRUE(CSBase64DecodeData(exact.data(), exact.size(), out.data(), &size));
    out.resize(size);
    return out;
}

// OpenSSL's single-line encoding serves as the independent reference; this
// encoder also breaks lines after 72 characters.
std::string referenceEncode(const std::string& bytes) {
    std::string out(4 * (bytes.size() / 3 + 1) + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                            reinterpret_cast<const unsigned char*>(bytes.data()),
                            static_cast<int>(bytes.size()));
    out.resize(static_cast<size_t>(n));
    return out;
}

std::string withoutLineBreaks(std::string text) {
    std::erase(text, '\r');
    std::erase(text, '\n');
    return text;
}

TEST(Base64Encode, MatchesReferenceAndRoundTripsForEveryLength) {
    std::mt19937 random(7);
    for (size_t n = 0; n < 400; ++n) {
        std::string bytes(n, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random());
        std::string text = encode(bytes);
        EXPECT_EQ(withoutLineBreaks(text), referenceEncode(bytes)) << n;
        EXPECT_EQ(decode(text), bytes) << n;
    }
}

TEST(Base64Encode, RefusesTooSmallBufferWithoutWriting) {
    std::string out(77, '#');
    size_t size = out.size();
    std::string bytes(55, 'x');
    EXPECT_FALSE(CSBase64EncodeData(bytes.data(), bytes.size(), out.data(), &size));
    EXPECT_EQ(size, 77u);
    EXPECT_EQ(out, std::string(77, '#'));
}

TEST(Base64Encode, RefusesSizesThatWouldOverflow) {
    char out[8];
    size_t size = std::numeric_limits<size_t>::max();
    const char byte = 'x';
    // The length is never read as data: the size check fails first.
    EXPECT_FALSE(CSBase64EncodeData(&byte, std::numeric_limits<size_t>::max(), out, &size));
    EXPECT_FALSE(CSBase64EncodeData(&byte, std::numeric_limits<size_t>::max() / 4 * 3, out, &size));
}

// Whitespace, noise and high bytes are skipped; padding or a NUL ends the text.
TEST(Base64Decode, MalformedInput) {
    const std::pair<std::string, std::string> cases[] = {
        {"Y*W!J-j", "abc"},
        {"Y\x80W\xffJ\xc3\xa9j", "abc"},
        {"YW \n*\n Jj", "abc"}, // whitespace after noise is still skipped
        {"YWI=YWJj", "ab"},
        {"YWI =", "ab"}, // whitespace before "=" adds no byte
        {std::string("YWJj\0YWJj", 9), "abc"},
        {"YQ", "a"}, // unpadded tail
        {"Y", ""},
    };
    for (const auto& [text, bytes] : cases)
        EXPECT_EQ(decode(text), bytes) << text;
}

TEST(Base64Decode, BufferSizeRules) {
    EXPECT_EQ(CSEstimateBas64DecodedDataSize(std::numeric_limits<size_t>::max()),
              (std::numeric_limits<size_t>::max() / 4 + 1) * 3);

    char out[6];
    size_t size = 5;
    EXPECT_FALSE(CSBase64DecodeData("YWJjY", 5, out, &size));
    EXPECT_EQ(size, 5u);
    EXPECT_FALSE(CSBase64DecodeData("YWJj", 4, out, nullptr));
}

} // namespace
