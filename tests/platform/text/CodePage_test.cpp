#include "platform/text/CodePage.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/text/Cp1251.h"
#include "platform/text/Password.h"
#include "platform/text/Utf16.h"

using platform::Utf8ToCodePage;
using platform::WidenCodePage;

TEST(CodePageTest, EveryByteWidensToOneCharacterThatNarrowsBackToIt) {
    for (int page : platform::SupportedCodePages()) {
        for (int byte = 0; byte < 256; ++byte) {
            const std::string narrow(1, static_cast<char>(byte));
            const std::u16string wide = WidenCodePage(narrow, page);
            ASSERT_EQ(1u, wide.size());
            EXPECT_TRUE(byte >= 0x80 || wide[0] == byte) << page << " " << byte;
            std::string back;
            EXPECT_TRUE(Utf8ToCodePage(platform::Utf16ToUtf8(wide), page, &back));
            EXPECT_EQ(narrow, back) << page << " " << byte;
        }
    }
    for (int byte = 0; byte < 256; ++byte) {  // two sources, one Windows-1251
        const unsigned char b = static_cast<unsigned char>(byte);
        EXPECT_EQ(platform::WidenCp1251(b), WidenCodePage(std::string(1, b), 1251)[0]) << byte;
    }
}

TEST(CodePageTest, BytesWidenAsTheirCodePageSays) {
    struct Case {
        int page;
        const char* bytes;
        std::u16string wide;
    } cases[] = {
        {1252, "caf\xe9 \x80 \x81\x8d\x8f\x90\x9d", u"café € \u0081\u008d\u008f\u0090\u009d"},
        {1250, "\x8a\xe8\xf8", u"Ščř"},
        {1253, "\xc1\xe8\xde\xed\xe1", u"Αθήνα"},
        {1255, "\xf9\xec\xe5\xed \xca", u"שלום \u05ba"},
        {1258, "\xd5\xf5 \xcc", u"Ơơ \u0300"},  // the accent stays apart
        // Bytes a page leaves undefined widen as Windows widens them: to
        // private-use characters here.
        {874, "\xa1\xa2 \xdb\xff", u"กข \uf8c1\uf8c8"},
        {1253, "\xaa\xd2\xff", u"\uf8f9\uf8fa\uf8fb"},
        {1257, "\xa1\xa5", u"\uf8fc\uf8fd"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.wide, WidenCodePage(c.bytes, c.page)) << c.page;
}

TEST(CodePageTest, PasswordsAreTriedInTheCodePageFirstWhenEveryCharacterFits) {
    using Spellings = std::vector<std::string>;
    struct Case {
        const char* typed;
        int page;
        Spellings expected;
    } cases[] = {
        {"пароль", 1251, {"\xef\xe0\xf0\xee\xeb\xfc", "пароль"}},
        {"Passwört€", 1252, {"Passw\xf6rt\x80", "Passwört€"}},
        {"secret", 1252, {"secret"}},
        {"пароль", 1252, {"пароль"}},              // not in 1252: as typed only
        {"\xef\xe0\xf0", 1251, {"\xef\xe0\xf0"}},  // not UTF-8: as it stands
        {"\xc0\xaf", 1252, {"\xc0\xaf"}},          // overlong
        {"\xef\xbf\xbd", 1252, {"\xef\xbf\xbd"}},  // U+FFFD itself
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, platform::PasswordSpellings(c.typed, c.page)) << c.typed << c.page;
    std::string narrow;
    EXPECT_FALSE(platform::IsSupportedCodePage(437));
    EXPECT_THROW(WidenCodePage("x", 437), std::invalid_argument);
    EXPECT_THROW(Utf8ToCodePage("x", 65001, &narrow), std::invalid_argument);
}
