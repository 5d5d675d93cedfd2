#include "platform/xml/XmlCodec.h"

#include <gtest/gtest.h>

#include "platform/text/Cp1251.h"

using namespace platform;

namespace {

std::string Escaped(const std::string& utf8, XmlOutputEncoding encoding, bool attribute = false) {
    std::string out;
    AppendEscaped(utf8, encoding, attribute, &out);
    return out;
}

}  // namespace

TEST(XmlCodecTest, UnholdableCharactersAreReplaced) {
    EXPECT_EQ(U'\u2400', XmlSafeChar(0));
    EXPECT_EQ(U'\u241B', XmlSafeChar(0x1B));
    EXPECT_EQ(U'\t', XmlSafeChar('\t'));
    EXPECT_EQ(U'\n', XmlSafeChar('\n'));
    EXPECT_EQ(U'\r', XmlSafeChar('\r'));
    EXPECT_EQ(U'\x7f', XmlSafeChar(0x7F));
    EXPECT_EQ(U'\uFFFD', XmlSafeChar(0xDC00));
    EXPECT_EQ(U'\uFFFD', XmlSafeChar(0xFFFE));
    EXPECT_EQ(U'\U0010FFFF', XmlSafeChar(0x10FFFF));
    EXPECT_EQ(
        "a\xe2\x90\x81"
        "b\xef\xbf\xbd",
        ToXmlUtf8(u"a\x01"
                  u"b\xDBFF"));
}

TEST(XmlCodecTest, EscapingForTextAndAttributes) {
    EXPECT_EQ("&amp;&lt;&gt;\"'\t\n&#13;", Escaped("&<>\"'\t\n\r", XmlOutputEncoding::kUtf8));
    EXPECT_EQ("&amp;&lt;&gt;&quot;'&#9;&#10;&#13;",
              Escaped("&<>\"'\t\n\r", XmlOutputEncoding::kUtf8, true));
    // Windows-1251: table bytes where there are some, references elsewhere.
    EXPECT_EQ("\xc0\xb8\x88&#152;&#233;&#128512;",
              Escaped("\xd0\x90\xd1\x91\xe2\x82\xac\xc2\x98\xc3\xa9\xf0\x9f\x98\x80",
                      XmlOutputEncoding::kWindows1251));
    // A malformed byte in UTF-8 output becomes U+FFFD, never copied out.
    EXPECT_EQ("a\xef\xbf\xbd", Escaped("a\xff", XmlOutputEncoding::kUtf8));
}

TEST(XmlCodecTest, ParserConverterReadsEveryByteByTheTable) {
    unsigned char in[256];
    for (int i = 0; i < 256; ++i)
        in[i] = static_cast<unsigned char>(i);
    unsigned char out[1024];
    int inlen = 256;
    int outlen = sizeof out;
    ASSERT_EQ(outlen = Windows1251ToUtf8(out, &outlen, in, &inlen), outlen);
    EXPECT_EQ(256, inlen);
    // Back through the output direction, every byte but 0x98 returns.
    unsigned char back[256];
    int backlen = sizeof back;
    int used = outlen;
    EXPECT_EQ(-2, Utf8ToWindows1251(back, &backlen, out, &used));
    EXPECT_EQ(0x98, backlen);  // stops at U+0098
    for (int i = 0; i < backlen; ++i)
        EXPECT_EQ(i, back[i]);
}

TEST(XmlCodecTest, ParserConverterStopsWhereTheOutputIsFull) {
    const unsigned char in[] = {0xC0, 0xC1, 'a'};  // two 2-byte characters and one of 1
    unsigned char out[3];
    int inlen = 3;
    int outlen = 3;
    EXPECT_EQ(2, Windows1251ToUtf8(out, &outlen, in, &inlen));
    EXPECT_EQ(1, inlen);
    EXPECT_EQ(2, outlen);
    // A character split across calls waits for its remaining bytes.
    const unsigned char split[] = {'x', 0xD0};
    unsigned char narrow[4];
    inlen = 2;
    outlen = 4;
    EXPECT_EQ(1, Utf8ToWindows1251(narrow, &outlen, split, &inlen));
    EXPECT_EQ(1, inlen);
}
