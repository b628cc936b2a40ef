#include "cs_escaping.h"
#include "cs_url.h"

#include <gtest/gtest.h>

namespace {

TEST(AbsoluteNormalizedString, AddsSlashOnlyWithoutPathAndQuery) {
    EXPECT_EQ(absoluteNormalizedString("http://example.com"), "http://example.com/");
    EXPECT_EQ(absoluteNormalizedString("https://example.com:8443"), "https://example.com:8443/");
    EXPECT_EQ(absoluteNormalizedString("http://example.com#top"), "http://example.com/#top");
    EXPECT_EQ(absoluteNormalizedString("http://example.com/"), "http://example.com/");
    EXPECT_EQ(absoluteNormalizedString("http://example.com/a/b"), "http://example.com/a/b");
    EXPECT_EQ(absoluteNormalizedString("http://example.com?x=1"), "http://example.com?x=1");
}

TEST(UrlQuery, RemovingQueryKeepsTextBeforeQuestionMark) {
    EXPECT_EQ(urlByRemovingQuery("https://h/p?a=1?b"), "https://h/p");
    EXPECT_EQ(urlByRemovingQuery("https://h/p"), "https://h/p");
}

TEST(UrlQuery, AddingParametersKeepsExistingOnesOnceEscaped) {
    EXPECT_EQ(urlByAddingParameters("https://h/p?a=1&b=x%20y", {{"c", "d e"}}),
              "https://h/p?a=1&b=x%20y&c=d%20e");
    EXPECT_EQ(urlByAddingParameters("https://h/p", {{"q", "a&b"}}), "https://h/p?q=a%26b");
    EXPECT_EQ(urlByAddingParameters("https://h/p?flag#frag", {{"k", "v"}}),
              "https://h/p?flag=&k=v#frag");
    EXPECT_EQ(urlByAddingParameters("https://h/p", {}), "https://h/p");
    EXPECT_EQ(urlByAddingParameterDictionary("https://h/p?z=1", {{"b", "2"}, {"a", "1"}}),
              "https://h/p?z=1&a=1&b=2");
}

TEST(HostOfURL, IgnoresUserPortAndPath) {
    EXPECT_EQ(hostOfURL("https://user:pw@Api.Example.com:443/1/files?x=1"), "Api.Example.com");
    EXPECT_EQ(hostOfURL("http://[::1]:8080/"), "::1");
    EXPECT_EQ(hostOfURL("/relative/path"), "");
}

TEST(IsIPAddress, FourGroupsOfZeroTo255) {
    EXPECT_TRUE(isIPAddress("127.0.0.1"));
    EXPECT_TRUE(isIPAddress("255.255.255.255"));
    EXPECT_TRUE(isIPAddress("0.0.0.0"));
    EXPECT_FALSE(isIPAddress("256.1.1.1"));
    EXPECT_FALSE(isIPAddress("1.2.3"));
    EXPECT_FALSE(isIPAddress("1.2.3.4.5"));
    EXPECT_FALSE(isIPAddress("1..3.4"));
    EXPECT_FALSE(isIPAddress("1.2.3.4."));
    EXPECT_FALSE(isIPAddress("1.2.3.a"));
    EXPECT_FALSE(isIPAddress("0001.2.3.4"));
    EXPECT_FALSE(isIPAddress(""));
}

TEST(DomainMatches, RequiresDotBoundary) {
    EXPECT_TRUE(domainMatches("https://www.example.com/x", "example.com"));
    EXPECT_TRUE(domainMatches("https://www.example.com/x", ".example.com"));
    EXPECT_TRUE(domainMatches("https://example.com/x", ".example.com"));
    EXPECT_TRUE(domainMatches("https://EXAMPLE.com", "example.COM"));
    EXPECT_FALSE(domainMatches("https://evilexample.com/x", "example.com"));
    EXPECT_FALSE(domainMatches("https://evilexample.com/x", "xample.com"));
    EXPECT_FALSE(domainMatches("https://example.com.evil.net/", "example.com"));
    EXPECT_FALSE(domainMatches("https://example.com/", "www.example.com"));
    EXPECT_FALSE(domainMatches("https://example.com/", ""));
    EXPECT_FALSE(domainMatches("https://example.com/", "."));
}

TEST(DomainMatches, AddressesMatchOnlyThemselves) {
    EXPECT_TRUE(domainMatches("http://10.0.0.255:80/", "10.0.0.255"));
    EXPECT_FALSE(domainMatches("http://110.0.0.1/", "10.0.0.1"));
    EXPECT_FALSE(domainMatches("http://10.0.0.1/", "0.0.1"));
}

} // namespace
