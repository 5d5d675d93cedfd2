#include "convert1_1to2_0/CodePageCheck.h"

#include <gtest/gtest.h>

#include "platform/text/CodePage.h"
#include "platform/text/Utf16.h"

namespace {

// Texts as each code page's Windows wrote them: dream journals in its
// languages, as UTF-8 here.
struct PageJournal {
    int codePage;
    std::vector<const char*> texts;
    int asCyrillic, asWestern;  // what the judgement names read in 1251 and 1252; 0: none
};

std::vector<std::string> InCodePage(const PageJournal& journal) {
    std::vector<std::string> texts;
    for (const char* text : journal.texts) {
        std::string narrow;
        EXPECT_TRUE(platform::Utf8ToCodePage(text, journal.codePage, &narrow)) << text;
        texts.push_back(narrow);
    }
    return texts;
}

}  // namespace

TEST(CodePageCheckTest, FindsOnlyWordsThatLookWrong) {
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
        // Russian read as Western, Greek read as Cyrillic, Polish and Czech
        // read as Western.
        {u"Ëåòàë íàä", u"Ëåòàë"},
        {u"îíî", u"îíî"},  // "оно": Italian letters, but nothing else
        // Russian read as Greek and as Hebrew: a word goes on after its
        // final form.
        {u"ρςξ", u"ρςξ"},
        {u"מםא", u"מםא"},
        {u"Мпс пЬнщ", u"пЬнщ"},
        {u"Œni³o mi", u"Œni³o"},
        {u"mo¿e być", u"mo¿e"},
        {u"Pøíliš", u"Pøíliš"},
        {u"a\u0301b \u0301x", u"\u0301x"},  // an accent with nothing to go on
        // One script per word, in the languages of Western Windows.
        {u"Летал над городом.\r\nПотом проснулся.", u""},
        {u"Видел New York и Paris в 2024 году <lucid>", u""},
        {u"Wi-Fi-роутер, IT-отдел, 5-й, 3D-очки, e-mail:почта, iPhone", u""},
        {u"Ёлка, Ђорђе, café, Ærø, ¿Qué?, 20°C, m², l·l, rock’n’roll", u""},
        {u"της πόλης, שלום", u""},
        // Look-alike letters slipped in from the other layout.
        {u"cон (Latin c), hоme (Cyrillic о), Xорошо", u""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.word, FindOddWord(c.text, 1252)) << testing::PrintToString(c.text);
}

// Each journal read in its own code page reads cleanly; read as Cyrillic or
// Western, it is recognised where its letters tell.
TEST(CodePageCheckTest, JudgesJournalsOfEachCodePage) {
    const std::vector<PageJournal> journals = {
        {874, {"ฉันฝันว่าฉันบินได้เหนือเมือง", "แล้วฉันก็ตื่นขึ้น", "บ้าน", "นอนหงาย"}, 874, 874},
        {1250,
         {"Śniło mi się, że latałem nad miastem.", "Potem obudziłem się w łóżku.",
          "Zdálo se mi, že jsem létal nad městem.", "Příliš žluťoučký kůň úpěl ďábelské ódy.",
          "Azt álmodtam, hogy repülök a város fölött.", "dům", "na zádech"},
         1250,
         1250},
        {1251,
         {"Летал над городом.", "Потом проснулся.", "Видел New York и Paris в 2024 году",
          "cон с латинской «c», Wi-Fi-роутер", "Ёлка, ёжик и Ђорђе", "дом", "на спине"},
         0,
         1251},
        {1252,
         {"Un café à Zürich coûte 3 €.", "Über alles, sagte der Fußgänger.",
          "Señor, ¿dónde está el baño?", "Ærø og Øresund i sommer", "Björk sang naïve songs",
          "maison", "sur le dos"},
         1252,
         0},
        {1253,
         {"Ονειρεύτηκα ότι πετούσα πάνω από την πόλη.", "Μετά ξύπνησα.", "σπίτι", "στην πλάτη"},
         1253,
         1253},
        {1254,
         {"Rüyamda şehrin üzerinde uçtuğumu gördüm.", "Sonra uyandım.", "İstanbul'da bir ev",
          "sırt üstü"},
         1254,
         1254},
        // Hebrew letters are Cyrillic ones in 1251, and read as words: which
        // of the two it is stays open.
        {1255, {"חלמתי שאני עף מעל העיר.", "אחר כך התעוררתי.", "בית", "על הגב"}, 0, 0},
        {1256, {"حلمت أنني أطير فوق المدينة.", "ثم استيقظت.", "بيت", "على الظهر"}, 1256, 1256},
        {1257,
         {"Sapnavau, kad skrendu virš miesto ir žiūriu į gražų ąžuolą.", "Paskui pabudau.",
          "Es sapņoju, ka lidoju pāri pilsētai.", "namas", "ant nugaros"},
         1257,
         1257},
        // Tones are marks after the letter.
        {1258,
         {"Tôi mơ thâ\u0301y mi\u0300nh bay trên tha\u0300nh phô\u0301.",
          "Sau đo\u0301 tôi ti\u0309nh dâ\u0323y.", "nha\u0300", "nă\u0300m ngư\u0309a"},
         1258,
         1258},
    };
    for (const PageJournal& journal : journals) {
        SCOPED_TRACE(journal.codePage);
        const std::vector<std::string> texts = InCodePage(journal);
        CodePageJudgement judgement(std::vector<std::string_view>(texts.begin(), texts.end()));
        EXPECT_EQ(0, judgement.Read(journal.codePage).oddTexts)
            << platform::Utf16ToUtf8(judgement.Read(journal.codePage).example);
        EXPECT_EQ(0, judgement.BetterPage(journal.codePage));
        if (journal.codePage != 1251) {
            EXPECT_EQ(journal.asCyrillic, judgement.BetterPage(1251));
        }
        if (journal.codePage != 1252) {
            EXPECT_EQ(journal.asWestern, judgement.BetterPage(1252));
        }

        // Every Latin letter the page holds belongs to one of its languages:
        // a word of it alone reads cleanly. A byte the page leaves undefined
        // (read as a control or a private-use character) makes any text odd.
        for (int byte = 0x80; byte < 0x100; ++byte) {
            const std::string word(1, static_cast<char>(byte));
            const char16_t c = platform::WidenCodePage(word, journal.codePage)[0];
            if (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7) {
                EXPECT_EQ(u"", FindOddWord(word, journal.codePage)) << byte;
            }
            if (c < 0xA0 || (c >= 0xE000 && c <= 0xF8FF)) {
                EXPECT_EQ(std::u16string(1, c), FindOddWord(word, journal.codePage)) << byte;
            }
        }
    }
}

TEST(CodePageCheckTest, OneOddTextAmongManyCleanOnesDoesNotTurnTheJudgement) {
    // A Russian journal with one Western word, which 1252 reads cleanly,
    // and a record odd in every page: 1251 stays.
    std::vector<std::string> texts(50, "\xcb\xe5\xf2\xe0\xeb \xed\xe0\xe4");
    texts.push_back("caf\xe9");
    texts.push_back("\x81 \xe9\xc1");
    for (int page : platform::SupportedCodePages())
        ASSERT_NE(u"", FindOddWord(texts.back(), page)) << page;
    CodePageJudgement russian(std::vector<std::string_view>(texts.begin(), texts.end()));
    EXPECT_EQ(2, russian.Read(1251).oddTexts);
    EXPECT_EQ(0, russian.BetterPage(1251));

    // Without the Russian texts, the Western word turns it.
    CodePageJudgement western(std::vector<std::string_view>(texts.end() - 2, texts.end()));
    EXPECT_EQ(1252, western.BetterPage(1251));
    const CodePageReading reading = western.Read(1251);
    EXPECT_EQ(u"cafй", reading.example);

    // Pages that read the texts alike are told apart by their languages,
    // then by preference.
    std::vector<int> equal;
    EXPECT_EQ(1252, western.BestOf({1256, 1254, 1252, 1258}, &equal));
    EXPECT_EQ((std::vector<int>{1254, 1258, 1256}), equal);
}
