// Service text on the terminal: control and reordering characters show as
// escapes in what `cloud info` and `cloud ls` print.
#include "cloud_error_text.h"
#include "cloud_listing.h"
#include "cs_account_info.h"
#include "cs_error.h"
#include "cs_json.h"
#include "cs_metadata.h"
#include "printable_text.h"

#include <gtest/gtest.h>

#include <algorithm>

using cloud::printable;

TEST(PrintableText, EscapesControlsAndReorderingKeepsTheRest) {
    EXPECT_EQ(printable("plain \xc3\xa9t\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"),
              "plain \xc3\xa9t\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80");
    EXPECT_EQ(printable("\x1b[2J\r\n\t\x7f"), "\\x1b[2J\\x0d\\x0a\\x09\\x7f");
    EXPECT_EQ(printable(std::string_view("a\0b", 3)), "a\\x00b");
    // C1 controls (a CSI) and a right-to-left override, as UTF-8.
    EXPECT_EQ(printable("\xc2\x9b"
                        "31m"),
              "\\u009b31m");
    EXPECT_EQ(printable("evil\xe2\x80\xaegpj.zip"), "evil\\u202egpj.zip");
    // Bytes that are not UTF-8: stray continuation, overlong, truncated.
    EXPECT_EQ(printable("\x80\xc0\xaf\xe2\x82"), "\\x80\\xc0\\xaf\\xe2\\x82");
}

TEST(PrintableText, AccountInfoListingAndServiceErrorsAreEscaped) {
    auto account = CSAccountInfo::initWithDictionary(*JSONValue(
        R"({"display_name":"Eve\u001b]0;owned\u0007","email":"e@x\r\nQuota: 0","country":"US",)"
        R"("uid":1,"quota_info":{"quota":2048,"normal":1024,"shared":0}})"));
    ASSERT_TRUE(account);
    const std::string info = cloud::formatAccountInfo(*account);
    EXPECT_EQ(info.find('\x1b'), std::string::npos);
    EXPECT_NE(info.find("Display name: Eve\\x1b]0;owned\\x07\n"), std::string::npos);
    EXPECT_NE(info.find("E-mail: e@x\\x0d\\x0aQuota: 0\n"), std::string::npos);

    auto folder = CSMetadata::initWithDictionary(
        *JSONValue(R"({"path":"/Mobrix","is_dir":true,"contents":[)"
                   R"({"path":"/Mobrix/a\u001b[8mb","is_dir":false,"bytes":3},)"
                   R"({"path":"/Mobrix/sub\nname","is_dir":true}]})"));
    ASSERT_TRUE(folder);
    const std::string listing = cloud::formatListing(*folder);
    EXPECT_EQ(listing.find('\x1b'), std::string::npos);
    EXPECT_NE(listing.find("a\\x1b[8mb"), std::string::npos);
    EXPECT_NE(listing.find("sub\\x0aname/"), std::string::npos);
    EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 2);

    CSError refused;
    refused.domain = CSErrorDomain;
    refused.code = 500;
    refused.userInfo = CSJsonValue::object({{"error", "boom\x1b[1A"}});
    EXPECT_EQ(cloud::describeError(refused), "refused by the service (HTTP 500: boom\\x1b[1A)");
}
