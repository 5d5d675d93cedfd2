#include "convert1_1to2_0/CodePageCheck.h"

#include <gtest/gtest.h>

TEST(CodePageCheckTest, FindsOnlyWordsThatMixLatinAndCyrillicLetters) {
    struct Case {
        std::u16string text;
        std::u16string word;  // empty: none
    } cases[] = {
        // Western text read as Windows-1251.
        {u"Un cafй au lait", u"cafй"},
        {u"In Mьnchen, StraЯe 5", u"Mьnchen"},
        {u"йtй", u"йtй"},
        {u"Њuvre.", u"Њuvre"},
        {u"naпve2", u"naпve"},  // a digit ends the word
        // One script per word.
        {u"Летал над городом.\r\nПотом проснулся.", u""},
        {u"Видел New York и Paris в 2024 году <lucid>", u""},
        {u"Wi-Fi-роутер, IT-отдел, 5-й, 3D-очки, e-mail:почта", u""},
        {u"Ёлка, Ђорђе, café, Ærø", u""},
        // Look-alike letters slipped in from the other layout.
        {u"cон (Latin c), hоme (Cyrillic о), Xорошо", u""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.word, FindMixedScriptWord(c.text)) << testing::PrintToString(c.text);
}

TEST(CodePageCheckTest, CountsRecordsAndShowsTheFirstWordFound) {
    CodePageCheck check;
    check.CheckRecord(u"Обычный сон");
    EXPECT_EQ("", check.Warning());
    check.CheckRecord(u"Un cafй, un thй");  // two words, one record
    EXPECT_EQ(0u, check.Warning().find("1 record has words"));
    check.CheckRecord(u"Ьber");
    EXPECT_EQ(
        "2 records have words that mix Latin and Cyrillic letters, such as \"cafй\": "
        "the journal may not be in code page 1251. If it was kept on a Western European Windows, "
        "run again with --codepage=1252 (or with the code page that Windows used).",
        check.Warning());
}
