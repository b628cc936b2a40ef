#include "cs_escaping.h"
#include "cs_query_string.h"
#include "cs_url.h"

#include <gtest/gtest.h>

namespace {

TEST(PercentEscaping, KnownVectors) {
    EXPECT_EQ(stringByAddingURIPercentEscapesUsingEncoding("a b&c/d~e"), "a%20b%26c%2Fd~e");
    EXPECT_EQ(stringByAddingURIPercentEscapesUsingEncoding("\xE2\x82\xAC"), "%E2%82%AC");
}

TEST(PercentEscaping, LeavesExactlyTheUnreservedSet) {
    const std::string unreserved =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";
    for (int b = 0; b < 256; ++b) {
        std::string one(1, static_cast<char>(b));
        std::string escaped = stringByAddingURIPercentEscapesUsingEncoding(one);
        if (unreserved.find(static_cast<char>(b)) != std::string::npos)
            EXPECT_EQ(escaped, one) << b;
        else
            EXPECT_EQ(escaped.size(), 3u) << b;
    }
}

TEST(PercentUnescaping, DecodesUTF8AndKeepsMalformedEscapes) {
    EXPECT_EQ(stringByRemovingPercentEscapes("a%20b%2fc%E2%82%AC"), "a b/c\xE2\x82\xAC");
    EXPECT_EQ(stringByRemovingPercentEscapes("100%"), "100%");
    EXPECT_EQ(stringByRemovingPercentEscapes("%zz%4"), "%zz%4");
    EXPECT_EQ(stringByRemovingPercentEscapes("a+b"), "a+b");
    // Bytes that are not UTF-8 never leak out as they are.
    EXPECT_EQ(stringByRemovingPercentEscapes("%FFx%E2%82"), "\xEF\xBF\xBDx\xEF\xBF\xBD");
    EXPECT_EQ(stringByRemovingPercentEscapes("%C0%AF"), "\xEF\xBF\xBD\xEF\xBF\xBD"); // overlong "/"
}

TEST(QueryString, SplitsAtFirstEqualsAndSkipsPiecesWithoutOne) {
    auto dictionary = dictionaryWithQueryString("a=1&b=x=y&flag&&d=%E2%82%AC&a=2&e=");
    EXPECT_EQ(dictionary, (std::map<std::string, std::string>{
                              {"a", "2"}, {"b", "x=y"}, {"d", "\xE2\x82\xAC"}, {"e", ""}}));
    EXPECT_TRUE(dictionaryWithQueryString("").empty());
    EXPECT_EQ(dictionaryWithQueryString("k%20=v").count("k%20"), 1u); // keys stay as given
}

TEST(AbsoluteNormalizedString, AddsSlashOnlyWithoutPathAndQuery) {
    EXPECT_EQ(absoluteNormalizedString("http://example.com"), "http://example.com/");
    EXPECT_EQ(absoluteNormalizedString("http://example.com#top"), "http://example.com/#top");
    EXPECT_EQ(absoluteNormalizedString("http://example.com/a/b"), "http://example.com/a/b");
    EXPECT_EQ(absoluteNormalizedString("http://example.com?x=1"), "http://example.com?x=1");
}

TEST(HostOfURL, IgnoresUserPortAndPath) {
    EXPECT_EQ(hostOfURL("https://user:pw@Api.Example.com:443/1/files?x=1"), "Api.Example.com");
    EXPECT_EQ(hostOfURL("http://[::1]:8080/"), "::1");
    EXPECT_EQ(hostOfURL("/relative/path"), "");
}

} // namespace
