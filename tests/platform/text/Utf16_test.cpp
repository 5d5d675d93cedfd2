#include "platform/text/Utf16.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(Utf16Test, RoundTripsEveryPlane) {
    const std::u16string text = u"a\u00e9\u044f\u20ac\U0001F600\U0010FFFF";
    EXPECT_EQ("a\xc3\xa9\xd1\x8f\xe2\x82\xac\xf0\x9f\x98\x80\xf4\x8f\xbf\xbf", Utf16ToUtf8(text));
    EXPECT_EQ(text, Utf8ToUtf16(Utf16ToUtf8(text)));
}

TEST(Utf16Test, MalformedInputBecomesReplacementCharacters) {
    EXPECT_EQ(u"a\uFFFDb", Utf8ToUtf16("a\xff"
                                       "b"));
    EXPECT_EQ(u"\uFFFD\uFFFD", Utf8ToUtf16("\xc0\xaf"));            // overlong
    EXPECT_EQ(u"\uFFFD\uFFFD\uFFFD", Utf8ToUtf16("\xed\xa0\x80"));  // a surrogate
    EXPECT_EQ(u"\uFFFD\uFFFD", Utf8ToUtf16("\xe2\x82"));            // cut short: one per byte
    std::u16string lone = u"x";
    lone.push_back(0xDC00);
    EXPECT_EQ("x\xef\xbf\xbd", Utf16ToUtf8(lone));
}
