#include "platform/text/Numbers.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {
struct SeparatorGuard {
    explicit SeparatorGuard(char c) { SetDecimalSeparatorForTesting(c); }
    ~SeparatorGuard() { SetDecimalSeparatorForTesting(0); }
};
}  // namespace

TEST(NumbersTest, DoublesUseFifteenSignificantDigitsAndTheLocaleSeparator) {
    SeparatorGuard dot('.');
    EXPECT_EQ("39450.30078125", FormatDouble(static_cast<double>(39450.30078125f)));
    EXPECT_EQ("0.1", FormatDouble(0.1));
    EXPECT_EQ("39448", FormatDouble(39448.0));
    EXPECT_EQ("1e+20", FormatDouble(1e20));
    SeparatorGuard comma(',');
    EXPECT_EQ("39448,5", FormatDouble(39448.5));
}

TEST(NumbersTest, ReadingAcceptsEitherSeparator) {
    double value = 0;
    ASSERT_TRUE(ParseDouble("39448.5", &value));
    EXPECT_EQ(39448.5, value);
    ASSERT_TRUE(ParseDouble("39448,25", &value));
    EXPECT_EQ(39448.25, value);
    ASSERT_TRUE(ParseDouble("-3", &value));
    EXPECT_EQ(-3.0, value);
    for (const char* bad :
         {"", " 1", "1 ", "1.2.3", "1,2.3", "abc", "0x10", "inf", "nan", "1e999"}) {
        EXPECT_FALSE(ParseDouble(bad, &value)) << bad;
    }
}

TEST(NumbersTest, Int32RejectsAnythingButADecimalInRange) {
    int32_t value = 0;
    ASSERT_TRUE(ParseInt32("-2147483648", &value));
    EXPECT_EQ(INT32_MIN, value);
    ASSERT_TRUE(ParseInt32("+7", &value));
    EXPECT_EQ(7, value);
    for (const char* bad : {"", "-", "2147483648", "99999999999999999999", "1.5", " 1", "1a"}) {
        EXPECT_FALSE(ParseInt32(bad, &value)) << bad;
    }
}

TEST(NumbersTest, FloatsRoundOnceAndAcceptEitherSeparator) {
    float value = 0;
    ASSERT_TRUE(ParseFloat("39450,30078125", &value));
    EXPECT_EQ(39450.30078125f, value);
    ASSERT_TRUE(ParseFloat("39449.3", &value));
    EXPECT_EQ(39449.3f, value);
    EXPECT_FALSE(ParseFloat("1e40", &value));  // beyond float
    EXPECT_FALSE(ParseFloat("x", &value));
}
