#include "cs_cloud_path.h"

#include <gtest/gtest.h>

namespace {

// Expected forms were produced independently by a reference Unicode database.
TEST(NormalizedCloudPath, LowercasesAndComposes) {
    EXPECT_EQ(normalizedCloudPath("/"), "");
    EXPECT_EQ(normalizedCloudPath("/Backup/Mobrix"), "/backup/mobrix");
    EXPECT_EQ(normalizedCloudPath("/Photos/E\u0301te\u0301"), "/photos/\u00e9t\u00e9");
    EXPECT_EQ(normalizedCloudPath("U\u0308\u0304"), "\u01d6"); // composes twice
    EXPECT_EQ(normalizedCloudPath("\u212b"), "\u00e5");        // singleton decomposition
    EXPECT_EQ(normalizedCloudPath("\u0958"), "\u0915\u093c");  // excluded from composition
    EXPECT_EQ(normalizedCloudPath("/\u0130stanbul"), "/i\u0307stanbul");
}

TEST(NormalizedCloudPath, OrdersCombiningMarks) {
    EXPECT_EQ(normalizedCloudPath("q\u0307\u0323"), "q\u0323\u0307");
    EXPECT_EQ(normalizedCloudPath("a\u0301\u0328"), "\u0105\u0301");
    EXPECT_EQ(normalizedCloudPath("\u00e0\u0323"), "\u1ea1\u0300");
    EXPECT_EQ(normalizedCloudPath("\u1e9b\u0323"), "\u1e9b\u0323");
}

TEST(NormalizedCloudPath, HangulAndLeadingMarks) {
    EXPECT_EQ(normalizedCloudPath("\u1100\u1161\u11a8"), "\uac01");
    EXPECT_EQ(normalizedCloudPath("\uac00\u11a8"), "\uac01");
    EXPECT_EQ(normalizedCloudPath("\u0301a"), "\u0301a");
}

TEST(IsEqualToCloudPath, IgnoresCaseAndComposition) {
    EXPECT_TRUE(isEqualToCloudPath("/Library/Caf\u00e9.zip", "/library/CAFE\u0301.ZIP"));
    EXPECT_FALSE(isEqualToCloudPath("/Library/Cafe.zip", "/library/caf\u00e9.zip"));
    EXPECT_TRUE(isEqualToCloudPath("/", ""));
}

} // namespace
