#include "platform/text/PathText.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(PathTextTest, Utf8PathsBecomeUtf16) {
    EXPECT_EQ(u"/home/\u0441\u043d\u044b/data.xml",
              PathToWide("/home/\xd1\x81\xd0\xbd\xd1\x8b/data.xml"));
    EXPECT_EQ("/home/\xd1\x81\xd0\xbd\xd1\x8b/data.xml",
              WideToPath(u"/home/\u0441\u043d\u044b/data.xml"));
    EXPECT_EQ("\xf0\x9f\x98\x80", WideToPath(PathToWide("\xf0\x9f\x98\x80")));
}

TEST(PathTextTest, AnyByteStringSurvivesTheRoundTrip) {
    std::string every;
    for (int byte = 1; byte < 256; ++byte)
        every.push_back(static_cast<char>(byte));
    EXPECT_EQ(every, WideToPath(PathToWide(every)));
    const std::string odd = "a\xff\xc3\xd1\x8f\xed\xa0\x80\xe2\x82";
    const std::u16string wide = PathToWide(odd);
    EXPECT_EQ(u'\xDCFF', wide[1]);
    EXPECT_EQ(u'\xDCC3', wide[2]);
    EXPECT_EQ(u'\x044F', wide[3]);
    EXPECT_EQ(odd, WideToPath(wide));
    EXPECT_EQ("\xef\xbf\xbd", WideToPath(PathToWide("\xef\xbf\xbd")));  // a real U+FFFD stays
}
