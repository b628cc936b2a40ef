#include "cs_escaping.h"
#include "cs_url.h"

#include <gtest/gtest.h>

namespace {

TEST(AbsoluteNormalizedString, AddsSlashOnlyWithoutPathAndQuery) {
    EXPECT_EQ(absoluteNormalizedString("http://example.com"), "http://example.com/");
    EXPECT_EQ(absoluteNormalizedString("http://example.com#top"), "http://example.com/#top");
    EXPECT_EQ(absoluteNormalizedString("http://example.com/a/b"), "http://example.com/a/b");
    EXPECT_EQ(absoluteNormalizedString("http://example.com?x=1"), "http://example.com?x=1");
}

TEST(UrlQuery, RemovingQueryKeepsTextBeforeQuestionMark) {
    EXPECT_EQ(urlByRemovingQuery("https://h/p?a=1?b"), "https://h/p");
}

TEST(UrlQuery, AddingParametersKeepsExistingOnesOnceEscaped) {
    EXPECT_EQ(urlByAddingParameters("https://h/p?a=1&b=x%20y", {{"c", "d e"}}),
              "https://h/p?a=1&b=x%20y&c=d%20e");
    EXPECT_EQ(urlByAddingParameters("https://h/p", {{"q", "a&b"}}), "https://h/p?q=a%26b");
    EXPECT_EQ(urlByAddingParameters("https://h/p?flag#frag", {{"k", "v"}}),
              "https://h/p?flag=&k=v#frag");
    EXPECT_EQ(urlByAddingParameterDictionary("https://h/p?z=1", {{"b", "2"}, {"a", "1"}}),
              "https://h/p?z=1&a=1&b=2");
}

TEST(HostOfURL, IgnoresUserPortAndPath) {
    EXPECT_EQ(hostOfURL("https://user:pw@Api.Example.com:443/1/files?x=1"), "Api.Example.com");
    EXPECT_EQ(hostOfURL("http://[::1]:8080/"), "::1");
    EXPECT_EQ(hostOfURL("/relative/path"), "");
}

TEST(IsIPAddress, FourGroupsOfZeroTo255) {
    for (const char* yes : {"127.0.0.1", "255.255.255.255", "0.0.0.0"})
        EXPECT_TRUE(isIPAddress(yes)) << yes;
    for (const char* no :
         {"256.1.1.1", "1.2.3", "1.2.3.4.5", "1..3.4", "1.2.3.4.", "1.2.3.a", "0001.2.3.4", ""})
        EXPECT_FALSE(isIPAddress(no)) << no;
}

// A dot boundary is required; addresses match only themselves.
TEST(DomainMatches, RequiresDotBoundary) {
    const std::pair<const char*, const char*> matching[] = {
        {"https://www.example.com/x", "example.com"},
        {"https://www.example.com/x", ".example.com"},
        {"https://example.com/x", ".example.com"},
        {"https://EXAMPLE.com", "example.COM"},
        {"http://10.0.0.255:80/", "10.0.0.255"}};
    for (const auto& [url, domain] : matching)
        EXPECT_TRUE(domainMatches(url, domain)) << url << " " << domain;
    const std::pair<const char*, const char*> other[] = {
        {"https://evilexample.com/x", "example.com"},
        {"https://evilexample.com/x", "xample.com"},
        {"https://example.com.evil.net/", "example.com"},
        {"https://example.com/", "www.example.com"},
        {"https://example.com/", ""},
        {"https://example.com/", "."},
        {"http://110.0.0.1/", "10.0.0.1"},
        {"http://10.0.0.1/", "0.0.1"}};
    for (const auto& [url, domain] : other)
        EXPECT_FALSE(domainMatches(url, domain)) << url << " " << domain;
}

} // namespace
