#include "calendar/ExpiryTypeTable.h"

#include <cstring>

#include <gtest/gtest.h>

namespace {

ExpiryTypeEntry Entry(const char* root, char expiry, char am, char european, const char* closing) {
    ExpiryTypeEntry e{};
    std::memcpy(e.root, root, std::min(std::strlen(root), sizeof e.root));
    e.expiry = expiry;
    e.amSettled = am;
    e.european = european;
    std::memcpy(e.closingTime, closing, std::min(std::strlen(closing), sizeof e.closingTime));
    return e;
}

TEST(ExpiryTypes, ClosingTimeIsMinutesAfterMidnight) {
    EXPECT_EQ(ParseClosingMinutes("16:15:00"), 975);
    EXPECT_EQ(ParseClosingMinutes("09:30"), 570);
    EXPECT_EQ(ParseClosingMinutes(""), 0);
}

TEST(ExpiryTypes, AddFindAndReplaceByRootAndExpiry) {
    CExpiryTypeTable table;
    ASSERT_TRUE(table.AddExpiryType("SPX", "16:00", 'S', '1', '1'));
    ASSERT_TRUE(table.AddExpiryType("SPX", "16:15", 'W', '0', '1'));
    ASSERT_TRUE(table.AddExpiryType("ABCDEFGHIJKLMNO", "15:00", 'Q', '1', '0'));  // 15 characters

    bool european = false;
    bool am = false;
    EXPECT_TRUE(table.FindExpiryType("SPX", european, 0, am));
    EXPECT_TRUE(am && european);
    EXPECT_TRUE(table.FindExpiryType("SPX", european, 1, am));
    EXPECT_TRUE(!am && european);
    EXPECT_TRUE(table.FindExpiryType("ABCDEFGHIJKLMNO", european, 2, am));
    EXPECT_TRUE(am && !european);
    EXPECT_EQ(table.Lookup("SPX", 'W')->m_closingMinutes, 975);

    european = am = true;
    EXPECT_FALSE(table.FindExpiryType("SPX", european, 2, am));  // no quarterly type for SPX
    EXPECT_FALSE(table.FindExpiryType("SPX", european, 3, am));  // "none" has no type
    EXPECT_TRUE(am && european) << "flags are written only when found";

    ASSERT_TRUE(table.AddExpiryType("SPX", "17:00", 'S', '0', '0'));
    EXPECT_FALSE(table.Lookup("SPX", 'S')->m_bAmSettled);
    EXPECT_EQ(table.Lookup("SPX", 'S')->m_closingMinutes, 1020);
    table.ClearExpiryTypes();
    EXPECT_FALSE(table.Lookup("SPX", 'S'));
}

TEST(ExpiryTypes, InvalidTypesAreRefusedWithALineOnStandardOutput) {
    CExpiryTypeTable table;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(table.AddExpiryType("ABCDEFGHIJKLMNOP", "16:00", 'S', '1', '0'));  // 16 characters
    EXPECT_FALSE(table.AddExpiryType("SPX", "16:00", 'M', '1', '0'));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Cannot add invalid expiry type for root:ABCDEFGHIJKLMNOP expiry:S am_settled:1 is_european:0 "
              "closing_time:16:00\n"
              "Cannot add invalid expiry type for root:SPX expiry:M am_settled:1 is_european:0 closing_time:16:00\n");
    EXPECT_FALSE(table.Lookup("SPX", 'M'));
}

TEST(ExpiryTypes, DefaultsAreAmSettledEuropeanIndexTypes) {
    CExpiryTypeTable table;
    table.AddDefaultExpiryTypes();
    for (const char* root : {"DJX", "VIX", "RUT"})
        for (char expiry : {'S', 'W', 'Q'}) {
            const auto type = table.Lookup(root, expiry);
            ASSERT_TRUE(type) << root << expiry;
            EXPECT_TRUE(type->m_bAmSettled && type->m_bEuropean);
            EXPECT_EQ(type->m_closingMinutes, 975);
        }
}

TEST(ExpiryTypes, HostTableReplacesEverythingAndTheDefaultsWin) {
    CExpiryTypeTable table;
    table.AddExpiryType("OLD", "16:00", 'S', '1', '1');
    // Full-width fields without a terminating NUL are read up to their size.
    const ExpiryTypeEntry entries[] = {Entry("ABCDEF", 'W', '1', '0', "16:15:00X"), Entry("VIX", 'S', '0', '0', "15:00"),
                                       Entry("BAD", 'Z', '0', '0', "15:00")};
    testing::internal::CaptureStdout();
    table.ReplaceExpiryTypes(entries, 3);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("root:BAD expiry:Z"), std::string::npos);

    EXPECT_FALSE(table.Lookup("OLD", 'S'));
    ASSERT_TRUE(table.Lookup("ABCDEF", 'W'));
    EXPECT_EQ(table.Lookup("ABCDEF", 'W')->m_closingMinutes, 975);
    EXPECT_TRUE(table.Lookup("VIX", 'S')->m_bAmSettled);

    table.ReplaceExpiryTypes(nullptr, 5);
    EXPECT_FALSE(table.Lookup("ABCDEF", 'W'));
    EXPECT_TRUE(table.Lookup("RUT", 'Q'));
    table.ReplaceExpiryTypes(entries, -1);
    EXPECT_FALSE(table.Lookup("ABCDEF", 'W'));
}

}  // namespace
