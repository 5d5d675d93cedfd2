#include "platform/text/TextMode.h"

#include <gtest/gtest.h>

TEST(TextModeTest, LineFeedsBecomeCrLfAndBack) {
    EXPECT_EQ("a\r\nb\r\n", platform::ToTextMode("a\nb\n"));
    EXPECT_EQ("a\r\r\n", platform::ToTextMode("a\r\n"));
    EXPECT_EQ("a\nb\n", platform::FromTextMode("a\r\nb\r\n"));
    EXPECT_EQ("a\rb\r", platform::FromTextMode("a\rb\r"));  // a lone CR stays
}
