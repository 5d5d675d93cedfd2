// A journal carries the conventions of the Windows that wrote it: its code
// page and its decimal separator. The conversion keeps both, whatever the
// converting machine's locale says.
#include <gtest/gtest.h>

#include <stdexcept>

#include "convert1_1to2_0/ConvertJournal.h"
#include "convert1_1to2_0/FileUtils.h"
#include "core/DreamBinding.h"
#include "platform/text/Numbers.h"
#include "platform/text/PathText.h"
#include "support/Journals.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

// Stands in for the converting machine's locale.
struct LocaleSeparator {
    explicit LocaleSeparator(char c) { platform::SetDecimalSeparatorForTesting(c); }
    ~LocaleSeparator() { platform::SetDecimalSeparatorForTesting(0); }
};

// A plain data file as the legacy program writes it; each record is its date
// as the file shows it and its text, with every other number 0.
std::string PlainJournal(const std::vector<std::string>& places,
                         const std::vector<std::pair<std::string, std::string>>& records) {
    std::string text = std::to_string(records.size()) + "\x02PLACE\x03";
    for (const std::string& place : places)
        text += place + "\x02";
    text += "POSITION\x03RECORD\x03";
    for (const auto& [date, body] : records)
        text += date + "\x01" + "0\x01" + "0\x01" + "0\x01" + "0\x01" + "0\x01" + body + "\x02";
    return text;
}

// Kept on a Western European Windows (code page 1252), with commas in its
// dates: accented letters, the euro sign, and the whole upper half, the bytes
// 1252 leaves undefined among them.
std::string WesternJournal() {
    std::string upperHalf;
    for (int byte = 0x80; byte < 0x100; ++byte)
        upperHalf.push_back(static_cast<char>(byte));
    return PlainJournal({"Caf\xe9 de la Gare"},
                        {{"39448,5", "Un caf\xe9 \xe0 Z\xfcrich co\xfbte 3 \x80."},
                         {"39449,25",
                          "\xdc"
                          "ber alles"},
                         {"39450", upperHalf}});
}

// Converts the journal in `dir` in this process; returns what the run wrote
// on standard error.
std::string Convert(const std::string& dir, int codePage, bool chosen,
                    const std::string& password = "") {
    ConversionOptions options;
    options.password = password;
    options.codePage = codePage;
    options.codePageChosen = chosen;
    ScopedCurrentDir cd(dir);
    RecordingReporter said;
    EXPECT_TRUE(ConvertJournal(options, said).opened);
    return said.err();
}

struct Document {
    std::u16string firstPlace;
    std::vector<std::u16string> texts;
    std::vector<std::string> dts;  // as the file shows them
};

Document ReadDocument(const std::string& dir) {
    IXMLContentsTypePtr contents =
        BindContents(*TXMLDocument::Create(platform::PathToWide(dir + "/data.xml")));
    Document doc{contents->Get_Places()->Get_Place(0), {}, {}};
    for (int i = 0; i < contents->Get_Dreams()->Get_Count(); ++i)
        doc.texts.push_back(contents->Get_Dreams()->Get_Dream(i)->Get_Text());
    const std::string bytes = ReadFile(dir + "/data.xml");
    for (size_t at = bytes.find("<dt>"); at != std::string::npos; at = bytes.find("<dt>", at)) {
        at += 4;
        doc.dts.push_back(bytes.substr(at, bytes.find("</dt>", at) - at));
    }
    return doc;
}

}  // namespace

TEST(JournalConventionsTest, AWesternJournalArrivesIntactWithItsCodePage) {
    LocaleSeparator cLocale('.');
    TempDir dir;
    WriteFile(dir.File("data"), WesternJournal());
    ASSERT_TRUE(EncryptFile(dir.File("data"), "Passw\xf6rt\x80"));
    const std::string enciphered = ReadFile(dir.File("data"));

    // Typed on a UTF-8 terminal, the password opens only in code page 1252.
    EXPECT_EQ("", Convert(dir.path(), 1252, true, "Passwört€"));
    Document doc = ReadDocument(dir.path());
    std::u16string upperHalf = u"€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008dŽ\u008f\u0090‘’“”•–—˜™š›œ\u009džŸ";
    for (char16_t c = 0xA0; c <= 0xFF; ++c)
        upperHalf.push_back(c);
    EXPECT_EQ(u"Café de la Gare", doc.firstPlace);
    EXPECT_EQ(
        (std::vector<std::u16string>{u"Un café à Zürich coûte 3 €.", u"Über alles", upperHalf}),
        doc.texts);
    // What Windows-1251 cannot hold is written as a character reference.
    EXPECT_NE(std::string::npos, ReadFile(dir.File("data.xml")).find("Caf&#233; de la Gare"));
    // The journal's commas, though this machine writes points.
    EXPECT_EQ((std::vector<std::string>{"39448,5", "39449,25", "39450"}), doc.dts);
    // Nothing changed: the very same bytes, enciphered with the same spelling.
    EXPECT_EQ(enciphered, ReadFile(dir.File("data")));
}

// Without a person to ask, texts that look written in another code page bring
// a warning that names it, whoever chose the page: a named one may be a
// wrong guess.
TEST(JournalConventionsTest, ACodePageThatLooksWrongIsWarnedAbout) {
    const std::string russian = ReadFile(DataFile("cipher/journals/sample/plain/data"));
    struct Case {
        std::string journal;
        int codePage;
        bool chosen;
        std::string warning;  // how it begins; empty: none
        int better;
    } cases[] = {
        {WesternJournal(), 1251, false,
         "Warning: 4 texts of the journal look wrong in code page 1251 (Cyrillic), such as "
         "\"Cafй\"; code page 1252 (Western European) reads them cleanly. If the journal was "
         "kept on a Western European Windows, run again with --codepage=1252.",
         1252},
        {WesternJournal(), 1251, true, "Warning: 4 texts of the journal look wrong", 1252},
        {WesternJournal(), 1252, true, "", 0},
        {russian, 1251, false, "", 0},
        {russian, 1252, true,
         "Warning: 7 texts of the journal look wrong in code page 1252 (Western European), such "
         "as \"äîì\"; code page 1251 (Cyrillic) reads them cleanly.",
         1251},
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteFile(dir.File("data"), c.journal);
        const std::string err = Convert(dir.path(), c.codePage, c.chosen);
        EXPECT_EQ(0u, c.warning.empty() ? err.size() : err.find(c.warning))
            << c.codePage << c.chosen << err;
        EXPECT_EQ(c.better != 0,
                  err.find("--codepage=" + std::to_string(c.better) + ".") != std::string::npos);
        EXPECT_EQ(c.journal, Decipher(dir.File("data"), ""));  // the warning changes nothing
    }
}

TEST(JournalConventionsTest, DatesKeepTheSeparatorTheJournalWasWrittenWith) {
    struct Case {
        char locale;
        std::vector<std::string> dates, written;  // in the document and the data file
    } cases[] = {
        {'.', {"39448,5", "39449,30078125"}, {"39448,5", "39449,30078125"}},
        {',', {"39448", "-1.5"}, {"39448", "-1.5"}},
        {',', {"39448", "39449"}, {"39448", "39449"}},            // none shown: the locale's
        {'.', {"39448,5", "39449.25"}, {"39448,5", "39449,25"}},  // mixed: the first shown
    };
    for (const Case& c : cases) {
        LocaleSeparator locale(c.locale);
        std::vector<std::pair<std::string, std::string>> records, written;
        for (size_t i = 0; i < c.dates.size(); ++i) {
            records.push_back({c.dates[i], "text"});
            written.push_back({c.written[i], "text"});
        }
        TempDir dir;
        WriteFile(dir.File("data"), PlainJournal({"home"}, records));
        Convert(dir.path(), 1251, false);
        EXPECT_EQ(c.written, ReadDocument(dir.path()).dts) << c.dates[1];
        EXPECT_EQ(PlainJournal({"home"}, written), Decipher(dir.File("data"), "")) << c.dates[1];
        EXPECT_EQ(c.locale, platform::DecimalSeparator());  // the run's choice ends with it
    }
}

TEST(JournalConventionsTest, AnUnknownCodePageTouchesNothing) {
    TempDir dir;
    WriteFile(dir.File("data"), WesternJournal());
    EXPECT_EQ(
        "code page 437 is not supported; use one of 874, 1250, 1251, 1252, 1253, 1254, 1255, "
        "1256, 1257, 1258",
        ErrorOf<platform::Error>([&] { Convert(dir.path(), 437, true); }));
    EXPECT_EQ(std::vector<std::string>{"data"}, ListFolder(dir.path()));
    EXPECT_EQ(WesternJournal(), ReadFile(dir.File("data")));
}

TEST(JournalConventionsTest, TheProgramPointsToTheCodePageOption) {
    TempDir dir;
    WriteFile(dir.File("data"), WesternJournal());
    ProcessResult run = RunConverter(dir.path());
    EXPECT_EQ("Done", run.out);
    EXPECT_NE(std::string::npos, run.err.find("\"Cafй\""));
    EXPECT_NE(std::string::npos, run.err.find("--codepage=1252"));
}

// A password beyond ASCII that the default code page does not open is tried
// as every other page spells it; the one that opens the journal is its code
// page. No other password opens it.
TEST(JournalConventionsTest, APasswordSpelledInAnotherCodePageTellsIt) {
    struct Case {
        std::string enciphered;  // the password's bytes on the journal's Windows
        std::string given;
        bool chosen;  // --codepage=1251 given
        bool opened;
        std::string note;
        std::u16string text;  // the first dream's, as converted
    } cases[] = {
        {"r\xeave", "rêve", false, true,
         "Note: the password opens the journal only as code page 1252 (Western European) spells "
         "it, so its texts are read in 1252 rather than 1251. Code pages 1254, 1256 and 1258 "
         "spell the password alike and read the texts as well; if the journal was kept on such a "
         "Windows, run again with --codepage=N.\n",
         u"Un café à Zürich coûte 3 €."},
        // Only Turkish spells "ğ".
        {"da\xf0", "dağ", false, true,
         "Note: the password opens the journal only as code page 1254 (Turkish) spells it, so its "
         "texts are read in 1254 rather than 1251.\n",
         u"Un café à Zürich coûte 3 €."},
        {"r\xeave", "rève", false, false,
         "Note: the password has letters beyond ASCII; it was tried as typed and as each code page "
         "that can spell it spells it (874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258), "
         "so --codepage=N will not open the journal either: check the password's letters and the "
         "keyboard layout it was typed in\n",
         u""},
        {"r\xeave", "rêve", true, false,
         "Note: the password has letters beyond ASCII, and was tried as code page 1251 (Cyrillic) "
         "spells it; a journal kept on another Windows may need --codepage=N with that Windows' "
         "code page, or no --codepage at all, to try each\n",
         u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.given);
        TempDir dir;
        WriteFile(dir.File("data"), WesternJournal());
        ASSERT_TRUE(EncryptFile(dir.File("data"), c.enciphered));
        const std::string enciphered = ReadFile(dir.File("data"));
        ConversionOptions options;
        options.password = c.given;
        options.codePageChosen = c.chosen;
        RecordingReporter said;
        {
            ScopedCurrentDir cd(dir.path());
            EXPECT_EQ(c.opened, ConvertJournal(options, said).opened);
        }
        EXPECT_EQ(c.note, said.err().substr(0, said.err().find("Warning")));
        EXPECT_EQ(c.opened ? "" : "Wrong password!\n", said.out());
        if (c.opened) {
            EXPECT_EQ(c.text, ReadDocument(dir.path()).texts[0]);
            // Enciphered again with the bytes that opened it.
            EXPECT_EQ(WesternJournal(), Decipher(dir.File("data"), c.enciphered));
        } else {
            EXPECT_EQ(std::vector<std::string>{"data"}, ListFolder(dir.path()));
            EXPECT_EQ(enciphered, ReadFile(dir.File("data")));
        }
    }
}

TEST(JournalConventionsTest, TheCodePageOptionConvertsAWesternJournal) {
    TempDir dir;
    WriteFile(dir.File("data"), WesternJournal());
    ProcessResult run = RunConverter(dir.path(), {"--codepage=1252"});
    EXPECT_EQ("Done", run.out);
    EXPECT_EQ(0u, run.err.find("Converted ")) << run.err;  // the summary, and no warning
    EXPECT_EQ(u"Un café à Zürich coûte 3 €.", ReadDocument(dir.path()).texts[0]);
    EXPECT_EQ(WesternJournal(), Decipher(dir.File("data"), ""));
}
