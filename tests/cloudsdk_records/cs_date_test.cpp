#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <thread>
#include <vector>

#include "cs_date.h"

TEST(MetadataDate, ReadsTheFixedEnglishFormInAnyLocale) {
    // 2010-08-21 22:31:20 UTC.
    const CSDate expected{1282429880};
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(CSParseMetadataDate("Sat, 21 Aug 2010 22:31:20 +0000"), expected);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(CSParseMetadataDate("Sat, 21 Aug 2010 22:31:20 +0000"), expected);
    EXPECT_EQ(CSParseMetadataDate("Sun, 22 Aug 2010 00:31:20 +0200"), expected);
    EXPECT_EQ(CSParseMetadataDate("Sat, 21 Aug 2010 14:01:20 -0830"), expected);
    EXPECT_EQ(CSParseMetadataDate("SAT, 21 aug 2010 22:31:20 +0000"), expected);
    EXPECT_EQ(CSParseMetadataDate("Tue, 29 Feb 2000 12:00:00 +0000"), CSDate{951825600});
    EXPECT_EQ(CSParseMetadataDate("Wed, 31 Dec 1969 23:59:59 +0000"), CSDate{-1});
}

TEST(MetadataDate, RefusesOtherFormsAndImpossibleDates) {
    for (const char* text :
         {"2010-08-21T22:31:20Z", "Sat, 21 Aug 2010 22:31:20", "Sat, 21 Aug 2010 22:31:20 +0000 ",
          "Sat 21 Aug 2010 22:31:20 +0000", "Sat, 1 Aug 2010 22:31:20 +0000",
          "Sam, 21 Aug 2010 22:31:20 +0000", "Sat, 21 Aoû 2010 22:31:20 +0000",
          "Fri, 21 Aug 2010 22:31:20 +0000", "Mon, 29 Feb 2010 22:31:20 +0000",
          "Sat, 21 Aug 2010 24:00:00 +0000", "Sat, 21 Aug 2010 22:60:20 +0000",
          "Sat, 21 Aug 2010 22:31:20 GMT", "Sat, 21 Aug 2010 22:31:20 +00", "", "Sa"}) {
        EXPECT_FALSE(CSParseMetadataDate(text)) << text;
    }
}

TEST(MetadataDate, FormatsWhatItReads) {
    for (int64_t seconds : {int64_t{-86401}, int64_t{4102444799}, int64_t{951825600}}) {
        const std::string text = CSFormatMetadataDate(CSDate{seconds});
        EXPECT_EQ(CSParseMetadataDate(text), CSDate{seconds}) << text;
    }
    EXPECT_EQ(CSFormatMetadataDate(CSDate{1282429880}), "Sat, 21 Aug 2010 22:31:20 +0000");
}

TEST(MetadataDate, ThreadsReadDatesSideBySide) {
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&wrong] {
            for (int i = 0; i < 2000; ++i)
                if (CSParseMetadataDate("Sat, 21 Aug 2010 22:31:20 +0000") != CSDate{1282429880})
                    ++wrong;
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(wrong, 0);
}
