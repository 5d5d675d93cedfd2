// The saved document proves itself before the run lets the legacy side go:
// a document that differs from the journal on disk, in any field, is caught,
// named, kept aside, and the folder put back as it was found.
#include "convert1_1to2_0/DocumentProof.h"

#include <gtest/gtest.h>

#include <functional>

#include "convert1_1to2_0/ConvertJournal.h"
#include "support/FaultInjectionEnv.h"
#include "support/Journals.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

const char kOldDocument[] =
    "<?xml version=\"1.0\" encoding=\"Windows-1251\"?>\r\n<Contents><Clocks/><Types/>"
    "<Places/><Positions/><Dreams/></Contents>";

// A place and a text hold every byte a field may (1 to 3 separate the
// fields): the control characters, which the document shows by their
// pictures, and the code page's upper half are proved as the writer stored
// them, in every row before the row's own change is reached.
LegacyJournal ProofJournal() {
    std::string everyByte;
    for (int byte = 0x04; byte < 0x100; ++byte)
        everyByte.push_back(static_cast<char>(byte));
    LegacyJournal journal;
    journal.places = {"\xe4\xee\xec", "lake", everyByte};  // "дом" in Windows-1251
    journal.positions = {"back"};
    journal.records = {Record(39448.5f, 1, 1, 1, false, 3, "first"),
                       Record(39449.25f, 2, 2, 0, true, 5, everyByte + "x [OC]lucid[/OC] y"),
                       Record(39450, 0, 0, 0, false, 0, "last")};
    return journal;
}

// Replaces the first `from` in the file at `path` with `to`.
void Edit(const std::string& path, const std::string& from, const std::string& to) {
    std::string bytes = ReadFile(path);
    const size_t at = bytes.find(from);
    ASSERT_NE(std::string::npos, at) << from;
    bytes.replace(at, from.size(), to);
    WriteFile(path, bytes);
}

}  // namespace

// Each row changes the saved document on disk the moment it is in place, as
// a fault of the disk, the XML layer or another program could; the objects
// that wrote it still hold the right journal, so only a proof that reads the
// file back catches it.
TEST(DocumentProofTest, ADocumentThatDiffersFromTheJournalIsCaughtNamedAndKeptAside) {
    struct Case {
        const char* what;
        std::function<void(const std::string& document)> change;
        std::string named;  // the difference as the message names it
    };
    const std::vector<Case> cases = {
        {"a flipped byte in a text",
         [](const std::string& doc) { Edit(doc, "<text>first", "<text>firsT"); },
         "dream 1, its text: \"firsT\" in the document, \"first\" from the journal"},
        {"a dream dropped",
         [](const std::string& doc) {
             std::string bytes = ReadFile(doc);
             const size_t from = bytes.rfind("<Dream>"), to = bytes.rfind("</Dream>") + 8;
             WriteFile(doc, bytes.erase(from, to - from));
         },
         "it has 2 dreams, the journal 3"},
        {"a date changed", [](const std::string& doc) { Edit(doc, "<dt>39450<", "<dt>39451<"); },
         "dream 3, its dt: \"39451\" in the document, \"39450\" from the journal"},
        {"places swapped",
         [](const std::string& doc) {
             Edit(doc, "<place>lake</place>", "<place>PLACE2</place>");
             Edit(doc, "<place>\xe4\xee\xec</place>", "<place>lake</place>");
             Edit(doc, "<place>PLACE2</place>", "<place>\xe4\xee\xec</place>");
         },
         "place 1 is \"lake\" in the document, \"дом\" in the journal"},
        {"a lucid flag lost",
         [](const std::string& doc) { Edit(doc, "<type>1</type>", "<type>0</type>"); },
         "dream 2, its type: \"0\" in the document, \"1\" from the journal"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteEncipheredJournal(dir.path(), ProofJournal(), "pw");
        WriteFile(dir.File("data.xml"), kOldDocument);
        const std::string journal = ReadFile(dir.File("data"));
        const std::string document = dir.File("data.xml");
        platform::FaultInjectionEnv env(platform::Env::Real());
        bool changed = false;
        // The document is saved where the template stood; the change comes
        // once it holds the dreams, and once only (putting the old document
        // back renames onto the name again).
        env.AfterRename([&](const std::string& to) {
            if (to == document && !changed && ReadFile(to).find("<Dream>") != std::string::npos) {
                changed = true;
                c.change(to);
            }
        });
        RecordingReporter said;
        std::string error;
        {
            ScopedCurrentDir cd(dir.path());
            platform::ScopedEnv scoped(env);
            ConversionOptions options;
            options.password = "pw";
            error = ErrorOf<platform::Error>([&] { ConvertJournal(options, said); });
        }
        EXPECT_TRUE(changed) << c.what;
        EXPECT_EQ("the saved document \"" + document +
                      "\" does not hold the journal as it was read: " + c.named +
                      "; that document is kept as \"" + document +
                      ".rejected\" for a report of the fault",
                  error)
            << c.what;
        // As found, but for the rejected document, kept whole for the report.
        EXPECT_EQ(journal, ReadFile(dir.File("data"))) << c.what;
        EXPECT_EQ(kOldDocument, ReadFile(document)) << c.what;
        EXPECT_EQ((std::vector<std::string>{"data", "data.xml", "data.xml.rejected"}),
                  ListFolder(dir.path()))
            << c.what;
        EXPECT_EQ("", said.out()) << c.what;
    }
}
