// Splitting and quoting of connection string items, including values that hold ";" and quotes.
#include "ConnectionStringItems.h"

#include <gtest/gtest.h>

TEST(SplitConnectionStringTest, PlainItemsKeepTheirText)
{
    const auto items = SplitConnectionString("Data Source=srv;Password=a=b;;Key Only;x=\"\"");
    ASSERT_EQ(items.size(), 5);
    EXPECT_EQ(items[0].key, "Data Source");
    EXPECT_EQ(items[0].value, "srv");
    EXPECT_EQ(items[1].value, "a=b");
    EXPECT_EQ(items[2].key, "");
    EXPECT_FALSE(items[2].hasEquals);
    EXPECT_EQ(items[3].key, "Key Only");
    EXPECT_FALSE(items[3].hasEquals);
    EXPECT_EQ(items[4].value, "");
}

class QuoteRoundTrip : public ::testing::TestWithParam<const char*>
{
};

TEST_P(QuoteRoundTrip, BuildThenSplitGivesValueBack)
{
    const QString value = QString::fromUtf8(GetParam());
    const QString s = "Password=" + QuoteConnectionValue(value) + ";Data Source=real";
    const auto items = SplitConnectionString(s);
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].value, value);
    EXPECT_EQ(items[1].key, "Data Source");
    EXPECT_EQ(items[1].value, "real");
}

INSTANTIATE_TEST_SUITE_P(Values, QuoteRoundTrip,
                         ::testing::Values("x;Data Source=otherhost", "a=b", " lead", "trail ", "\"q", "'a",
                                           "in\"side", "it's", "\"\"\"", "a;\"b\";c", "plain", "", ";", "'"));

TEST(QuoteConnectionValueTest, LeavesOrdinaryValuesAndTheMarkerAlone)
{
    EXPECT_EQ(QuoteConnectionValue("abc"), "abc");
    EXPECT_EQ(QuoteConnectionValue("a=b"), "a=b");
    EXPECT_EQ(QuoteConnectionValue("\"\""), "\"\"");
    EXPECT_EQ(QuoteConnectionValue("x;y"), "\"x;y\"");
    EXPECT_EQ(QuoteConnectionValue("\"x"), "\"\"\"x\"");
}

TEST(SplitConnectionStringTest, UnclosedQuoteReadsAsPlainValue)
{
    const auto items = SplitConnectionString("Password='abc;User ID=x");
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].value, "'abc");
    EXPECT_EQ(items[1].value, "x");
}
