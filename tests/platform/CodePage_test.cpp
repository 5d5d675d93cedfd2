#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/Cp1251.h"
#include "platform/Password.h"
#include "platform/Utf16.h"

using platform::Utf8ToCodePage;
using platform::WidenCodePage;

TEST(CodePageTest, EveryByteWidensToOneCharacterThatNarrowsBackToIt) {
    for (int page : platform::SupportedCodePages()) {
        for (int byte = 0; byte < 256; ++byte) {
            const std::string narrow(1, static_cast<char>(byte));
            const std::u16string wide = WidenCodePage(narrow, page);
            ASSERT_EQ(1u, wide.size());
            if (byte < 0x80) {
                EXPECT_EQ(byte, wide[0]) << page;
            }
            std::string back;
            EXPECT_TRUE(Utf8ToCodePage(platform::Utf16ToUtf8(wide), page, &back)) << page << byte;
            EXPECT_EQ(narrow, back) << page << " " << byte;
        }
    }
}

TEST(CodePageTest, Windows1251AgreesWithTheXmlLayersTable) {
    for (int byte = 0; byte < 256; ++byte) {
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
        {1252,
         "caf\xe9 \xdc"
         "ber \x80 \x9c",
         u"café Über € œ"},
        // The bytes 1252 leaves undefined keep their number.
        {1252, "\x81\x8d\x8f\x90\x9d", u"\u0081\u008d\u008f\u0090\u009d"},
        {1251, "\xe4\xee\xec \x98", u"дом \u0098"},
        {1250, "\x8a\xe8\xf8", u"Ščř"},
        {1253, "\xc1\xe8\xde\xed\xe1", u"Αθήνα"},
        {1254, "\xd0\xfd\xfe", u"Ğış"},
        {1255, "\xf9\xec\xe5\xed", u"שלום"},
        {1256, "\xe3\xd1\xcd\xc8\xc7", u"مرحبا"},
        {1257, "\xc0\xe8\xfe", u"Ąčž"},
        {1258, "\xd5\xf5 \xcc", u"Ơơ \u0300"},  // the accent stays apart
        {874, "\xa1\xa2 \xdb", u"กข \u00db"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.wide, WidenCodePage(c.bytes, c.page)) << c.page << " " << c.bytes;
}

TEST(CodePageTest, Utf8ConvertsOnlyWhenEveryCharacterFits) {
    struct Case {
        int page;
        const char* utf8;
        const char* narrow;  // nullptr: no conversion
    } cases[] = {
        {1251, "пароль", "\xef\xe0\xf0\xee\xeb\xfc"},
        {1252, "café €", "caf\xe9 \x80"},
        {1252, "secret", "secret"},
        {1252, "пароль", nullptr},        // not in 1252
        {1251, "café", nullptr},          // not in 1251
        {1252, "caf\xe9", nullptr},       // already 8-bit, not UTF-8
        {1252, "\xc0\xaf", nullptr},      // overlong
        {1252, "\xc3", nullptr},          // cut short
        {1252, "\xef\xbf\xbd", nullptr},  // U+FFFD itself
        {1253, "\xf0\x9f\x98\x80", nullptr},
    };
    for (const Case& c : cases) {
        std::string narrow;
        const bool converted = Utf8ToCodePage(c.utf8, c.page, &narrow);
        EXPECT_EQ(c.narrow != nullptr, converted) << c.page << " " << c.utf8;
        if (converted && c.narrow != nullptr) {
            EXPECT_EQ(c.narrow, narrow) << c.page << " " << c.utf8;
        }
    }
}

TEST(CodePageTest, AnUnsupportedCodePageIsRefused) {
    for (int page : {0, 437, 1200, 1259, 65001}) {
        EXPECT_FALSE(platform::IsSupportedCodePage(page));
        EXPECT_THROW(WidenCodePage("x", page), std::invalid_argument) << page;
        std::string narrow;
        EXPECT_THROW(Utf8ToCodePage("x", page, &narrow), std::invalid_argument) << page;
    }
}

TEST(PasswordSpellingsTest, NonAsciiUtf8IsTriedInTheCodePageFirst) {
    using Spellings = std::vector<std::string>;
    struct Case {
        const char* typed;
        int page;
        Spellings expected;
    } cases[] = {
        {"пароль", 1251, {"\xef\xe0\xf0\xee\xeb\xfc", "пароль"}},
        {"Passwört€", 1252, {"Passw\xf6rt\x80", "Passwört€"}},
        {"secret", 1252, {"secret"}},
        {"", 1251, {""}},
        // Already 8-bit (not valid UTF-8): taken as it stands.
        {"\xef\xe0\xf0", 1251, {"\xef\xe0\xf0"}},
        // UTF-8 the code page cannot hold: the raw bytes only.
        {"caf\xc3\xa9", 1251, {"caf\xc3\xa9"}},
        {"пароль", 1252, {"пароль"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, platform::PasswordSpellings(c.typed, c.page)) << c.typed << c.page;
}
