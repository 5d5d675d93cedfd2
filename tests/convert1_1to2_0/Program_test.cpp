// The converter run as a user runs it: in a journal folder, with the password
// as its argument and standard input closed.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "core/DreamBinding.h"
#include "core/JournalFiles.h"
#include "platform/text/PathText.h"
#include "platform/xml/XmlDom.h"
#include "support/Journals.h"
#include "support/SystemFacts.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

const char kWrongPasswordOutput[] = "Wrong password!\nError converting file\nDone";

struct DreamFields {
    double dt;
    int clock;
    std::u16string subject;
    int type, place, position, duration, clarity;
    std::u16string text;
    bool operator==(const DreamFields& o) const {
        return dt == o.dt && clock == o.clock && subject == o.subject && type == o.type &&
               place == o.place && position == o.position && duration == o.duration &&
               clarity == o.clarity && text == o.text;
    }
};

std::ostream& operator<<(std::ostream& os, const DreamFields& d) {
    return os << "{dt " << d.dt << ", clock " << d.clock << ", type " << d.type << ", place "
              << d.place << ", position " << d.position << ", clarity " << d.clarity
              << ", text length " << d.text.size() << "}";
}

// What a reader of the new journal finds in "data.xml".
struct Document {
    std::vector<std::u16string> clocks, types, places, positions;
    std::vector<DreamFields> dreams;
};

Document ReadDocument(const std::string& dir) {
    auto xml = TXMLDocument::Create(platform::PathToWide(platform::JoinPath(dir, "data.xml")));
    IXMLContentsTypePtr contents = BindContents(*xml);
    Document doc;
    auto clocks = contents->Get_Clocks();
    for (int i = 0; i < clocks->Get_Count(); ++i)
        doc.clocks.push_back(clocks->Get_Clock(i));
    auto types = contents->Get_Types();
    for (int i = 0; i < types->Get_Count(); ++i)
        doc.types.push_back(types->Get_Type(i));
    auto places = contents->Get_Places();
    for (int i = 0; i < places->Get_Count(); ++i)
        doc.places.push_back(places->Get_Place(i));
    auto positions = contents->Get_Positions();
    for (int i = 0; i < positions->Get_Count(); ++i)
        doc.positions.push_back(positions->Get_Position(i));
    auto dreams = contents->Get_Dreams();
    for (int i = 0; i < dreams->Get_Count(); ++i) {
        IXMLDreamTypePtr d = dreams->Get_Dream(i);
        doc.dreams.push_back({d->Get_Dt(), d->Get_Clock(), d->Get_Subject(), d->Get_Type(),
                              d->Get_Place(), d->Get_Position(), d->Get_Duration(),
                              d->Get_Clarity(), d->Get_Text()});
    }
    return doc;
}

const std::vector<std::u16string> kTemplateClocks = {u"time",    u"morning", u"day",
                                                     u"evening", u"night",   u"?"};
const std::vector<std::u16string> kTemplateTypes = {u"dream", u"lucid", u"OOBE"};

std::string SampleFixture(const std::string& scheme) {
    return ReadFile(DataFile("cipher/journals/sample/" + scheme + "/data"));
}

// Every file a run leaves behind, by name, with its bytes.
std::map<std::string, std::string> Snapshot(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const std::string& name : ListFolder(dir))
        files[name] = ReadFile(dir + "/" + name);
    return files;
}

// The warnings of a successful run: what stands before its summary line.
std::string WithoutSummary(const std::string& err) {
    const size_t summary = err.rfind("Converted ");
    EXPECT_NE(std::string::npos, summary) << err;
    return err.substr(0, summary);
}

}  // namespace

TEST(ConversionTest, SampleJournalConvertsEveryListAndField) {
    TempDir dir;
    WriteFile(dir.File("data"), SampleFixture("current"));
    ProcessResult run = RunConverter(dir.path(), {"dream"});
    EXPECT_EQ(0, run.exitStatus);
    EXPECT_EQ("Done", run.out);
    EXPECT_EQ("Converted 4 dreams (2 lucid), 3 places and 2 positions into \"" +
                  dir.File("data.xml") + "\", read back and verified.\n",
              run.err);

    Document doc = ReadDocument(dir.path());
    EXPECT_EQ(kTemplateClocks, doc.clocks);
    EXPECT_EQ(kTemplateTypes, doc.types);
    EXPECT_EQ((std::vector<std::u16string>{u"дом", u"дача", u"поезд", u""}), doc.places);
    EXPECT_EQ((std::vector<std::u16string>{u"на спине", u"на левом боку", u"", u"", u"", u"", u""}),
              doc.positions);
    const std::vector<DreamFields> expected = {
        {39448.5, 1, u"", 0, 0, 1, 0, 3, u"Летал над городом.\r\nПотом проснулся."},
        {39449.25, 4, u"", 1, -1, -1, 0, 5,
         u"Обычный сон, затем <lucid>я понял, что сплю</lucid> и полетел."},
        {39450.30078125, 0, u"", 1, 2, 0, 0, 1,
         u"A dream in English. <lucid>Lucid!</lucid> Then <lucid>again</lucid>."},
        {39451, 2, u"", 0, 1, -1, 0, 0, u""},
    };
    EXPECT_EQ(expected, doc.dreams);

    // No older backup yet: "__data" comes with the second run.
    EXPECT_EQ((std::vector<std::string>{"_data", "data", "data.xml", "ini", "ini.txt"}),
              ListFolder(dir.path()));
    EXPECT_EQ(SampleFixture("current"), ReadFile(dir.File("_data")));
    EXPECT_EQ(SampleFixture("plain"), Decipher(dir.File("data"), "dream"));
    EXPECT_EQ("", ReadFile(dir.File("ini")));
}

TEST(ConversionTest, DreamFieldsStandInTheOrderTheyAreSet) {
    TempDir dir;
    WriteFile(dir.File("data"), SampleFixture("current"));
    ASSERT_EQ(0, RunConverter(dir.path(), {"dream"}).exitStatus);
    const std::string xml = ReadFile(dir.File("data.xml"));
    const size_t dream = xml.find("<Dream>");
    ASSERT_NE(std::string::npos, dream);
    size_t last = dream;
    for (const char* field : {"<dt>", "<clock>", "<subject", "<type>", "<place>", "<position>",
                              "<duration>", "<clarity>", "<text>"}) {
        const size_t at = xml.find(field, dream);
        EXPECT_GT(at, last) << field;
        last = at;
    }
    EXPECT_EQ(0u, xml.find("<?xml version=\"1.0\" encoding=\"Windows-1251\"?>\r\n"));
}

TEST(ConversionTest, LucidMarkersConvertByTheirExactRule) {
    TempDir dir;
    LegacyJournal journal;
    journal.records = {
        Record(1, 0, 0, 0, true, 0, "a[/OC]b[OC]c"),
        Record(2, 0, 0, 0, false, 0, "[OC][OC]x[/OC][/OC]"),
        Record(3, 0, 0, 0, false, 0, "[oc]lower[/oc] [OC"),
    };
    WriteEncipheredJournal(dir.path(), journal, "pw");
    ASSERT_EQ(0, RunConverter(dir.path(), {"pw"}).exitStatus);
    Document doc = ReadDocument(dir.path());
    ASSERT_EQ(3u, doc.dreams.size());
    EXPECT_EQ(u"a</lucid>b<lucid>c", doc.dreams[0].text);
    EXPECT_EQ(u"<lucid><lucid>x</lucid></lucid>", doc.dreams[1].text);
    EXPECT_EQ(u"[oc]lower[/oc] [OC", doc.dreams[2].text);
    EXPECT_EQ(1, doc.dreams[0].type);
    EXPECT_EQ(0, doc.dreams[1].type);
}

TEST(ConversionTest, WrongPasswordChangesNothing) {
    // "wrong184" deciphers the sample to garbage whose padding looks valid,
    // and so does "rêve74" as Western Windows spells it (one of the code
    // pages it is tried in): only the journal test refuses them.
    const std::pair<const char*, std::string> cases[] = {
        {"not the password", ""},
        {"wrong184", ""},
        {"r\xc3\xaave74",
         "Note: the password has letters beyond ASCII; it was tried as typed and "
         "as each code page that can spell it spells it"},
    };
    for (const auto& [wrong, note] : cases) {
        TempDir dir;
        WriteFile(dir.File("data"), SampleFixture("current"));
        WriteFile(dir.File("_data"), "older backup");
        WriteFile(dir.File("data.xml"), "<Contents/>");
        const auto before = Snapshot(dir.path());
        ProcessResult run = RunConverter(dir.path(), {wrong});
        EXPECT_EQ(2, run.exitStatus) << run.err;
        EXPECT_EQ(kWrongPasswordOutput, run.out);
        EXPECT_EQ(note, run.err.substr(0, note.size()));
        EXPECT_EQ(note.empty(), run.err.empty()) << run.err;
        EXPECT_EQ(before, Snapshot(dir.path())) << wrong;
    }
}

TEST(ConversionTest, NoDataFileGivesAnEmptyDocumentAndANewEncipheredJournal) {
    TempDir dir;
    ProcessResult run = RunConverter(dir.path(), {"secret"});
    EXPECT_EQ(0, run.exitStatus);
    EXPECT_EQ("Done", run.out);
    // Run in the wrong folder, the user learns it.
    EXPECT_EQ(0u, run.err.find("Note: no journal (no data file \"data\") was found in \"" +
                               dir.path() + "\"; an empty one was created\n"))
        << run.err;
    Document doc = ReadDocument(dir.path());
    EXPECT_EQ(kTemplateClocks, doc.clocks);
    EXPECT_EQ(std::vector<std::u16string>{u""}, doc.places);
    EXPECT_EQ(std::vector<std::u16string>(5, u""), doc.positions);
    EXPECT_TRUE(doc.dreams.empty());
    // The empty journal enciphered with "secret", as Windows itself gives it.
    EXPECT_EQ(std::string("\x49\x3e\xd3\xcc\x21\x5d\x0d\xfe\x54\x7a\x3a\x4a\x1d\xc8\x59\x8c"
                          "\xb5\x7c\x04\x6e\xe5\x77\xbb\xad\xc6\x3c\xe4\x0a\xe4\x8c\x0f\x18",
                          32),
              ReadFile(dir.File("data")));
    EXPECT_EQ((std::vector<std::string>{"data", "data.xml", "ini", "ini.txt"}),
              ListFolder(dir.path()));
}

TEST(ConversionTest, PlainJournalOpensOnlyWithTheEmptyPassword) {
    TempDir dir;
    WriteFile(dir.File("data"), SampleFixture("plain"));
    ProcessResult wrong = RunConverter(dir.path(), {"dream"});
    EXPECT_EQ(kWrongPasswordOutput, wrong.out);
    EXPECT_EQ(std::vector<std::string>{"data"}, ListFolder(dir.path()));

    ProcessResult run = RunConverter(dir.path());
    EXPECT_EQ("Done", run.out);
    EXPECT_EQ(SampleFixture("plain"), ReadFile(dir.File("_data")));
    EXPECT_EQ(SampleFixture("plain"), Decipher(dir.File("data"), ""));
    EXPECT_EQ(4u, ReadDocument(dir.path()).dreams.size());
}

TEST(ConversionTest, SuccessiveRunsRotateTheBackups) {
    TempDir dir;
    WriteFile(dir.File("data"), SampleFixture("current"));
    ASSERT_EQ("Done", RunConverter(dir.path(), {"dream"}).out);
    const std::string afterFirst = ReadFile(dir.File("data"));
    ASSERT_EQ("Done", RunConverter(dir.path(), {"dream"}).out);
    EXPECT_EQ(SampleFixture("current"), ReadFile(dir.File("__data")));
    EXPECT_EQ(afterFirst, ReadFile(dir.File("_data")));
    EXPECT_EQ(SampleFixture("plain"), Decipher(dir.File("data"), "dream"));
}

TEST(ConversionTest, EachWindowsSchemeIsReadAndKept) {
    for (const char* scheme : {"current", "base", "early"}) {
        TempDir dir;
        WriteFile(dir.File("data"), SampleFixture(scheme));
        ProcessResult run = RunConverter(dir.path(), {"dream"});
        EXPECT_EQ("Done", run.out) << scheme;
        EXPECT_EQ(4u, ReadDocument(dir.path()).dreams.size()) << scheme;
        // The same plain text under the same scheme: the very bytes Windows wrote.
        EXPECT_EQ(SampleFixture(scheme), ReadFile(dir.File("data"))) << scheme;
    }
}

// Each run sets the document it finds aside under a name of its own: what the
// newer release wrote in between is never overwritten, however many runs.
TEST(ConversionTest, EveryEarlierDocumentIsKeptAcrossRuns) {
    TempDir dir;
    WriteFile(dir.File("data"), SampleFixture("current"));
    WriteFile(dir.File("data.xml.1.bak"), "kept by hand");
    std::vector<std::string> written;  // what the user wrote before each run
    const char* const expectedNames[] = {"", "data.xml.bak", "data.xml.2.bak", "data.xml.3.bak"};
    for (int run = 0; run < 4; ++run) {
        if (run > 0) {
            // The newer release has been writing in the document.
            written.push_back(ReadFile(dir.File("data.xml")) + "<!-- edit " + std::to_string(run) +
                              " -->");
            WriteFile(dir.File("data.xml"), written.back());
        }
        ProcessResult result = RunConverter(dir.path(), {"dream"});
        ASSERT_EQ("Done", result.out) << result.err;
        if (run > 0) {
            EXPECT_NE(std::string::npos, result.err.find(" The earlier document is kept as \"" +
                                                         dir.File(expectedNames[run]) + "\".\n"))
                << result.err;
        }
    }
    EXPECT_EQ("kept by hand", ReadFile(dir.File("data.xml.1.bak")));
    for (int run = 1; run < 4; ++run)
        EXPECT_EQ(written[run - 1], ReadFile(dir.File(expectedNames[run]))) << run;
    EXPECT_EQ(4u, ReadDocument(dir.path()).dreams.size());
}

// Runs over an unchanged journal make the same document: it is kept once.
TEST(ConversionTest, AnUnchangedDocumentIsKeptOnce) {
    TempDir dir;
    WriteFile(dir.File("data"), SampleFixture("current"));
    for (int run = 0; run < 4; ++run) {
        ProcessResult result = RunConverter(dir.path(), {"dream"});
        ASSERT_EQ("Done", result.out) << result.err;
        const std::string kept = " The earlier document is " +
                                 std::string(run < 2 ? "kept as" : "already kept as") + " \"" +
                                 dir.File("data.xml.bak") + "\".\n";
        EXPECT_EQ(run > 0, result.err.find(kept) != std::string::npos) << run << result.err;
    }
    EXPECT_EQ((std::vector<std::string>{"__data", "_data", "data", "data.xml", "data.xml.bak",
                                        "ini", "ini.txt"}),
              ListFolder(dir.path()));
}

// A run killed while it built the new document left the earlier one (A)
// waiting; the newer release has written a document of its own (B) since.
// Neither is lost: B is kept under the first free backup name, A goes back
// in place and is then set aside as any earlier document, and the messages
// name both.
TEST(ConversionTest, ADocumentLeftWaitingAndOneWrittenSinceAreBothKept) {
    TempDir dir;
    WriteFile(dir.File("data"), SampleFixture("current"));
    WriteFile(dir.File("data.xml.old"), "A: the document a killed run set aside");
    WriteFile(dir.File("data.xml"), "B: what the newer release wrote since");
    ProcessResult run = RunConverter(dir.path(), {"dream"});
    EXPECT_EQ("Done", run.out);
    EXPECT_EQ("Warning: an interrupted run had set the document aside as \"" +
                  dir.File("data.xml.old") + "\"; it is back in place as \"" +
                  dir.File("data.xml") + "\", and what stood there is kept as \"" +
                  dir.File("data.xml.bak") +
                  "\"\nConverted 4 dreams (2 lucid), 3 places and 2 positions into \"" +
                  dir.File("data.xml") +
                  "\", read back and verified. The earlier document is kept as \"" +
                  dir.File("data.xml.1.bak") + "\".\n",
              run.err);
    EXPECT_EQ("B: what the newer release wrote since", ReadFile(dir.File("data.xml.bak")));
    EXPECT_EQ("A: the document a killed run set aside", ReadFile(dir.File("data.xml.1.bak")));
    EXPECT_EQ(4u, ReadDocument(dir.path()).dreams.size());
    EXPECT_FALSE(Exists(dir.File("data.xml.old")));
}

// Faults of the program this one replaces, each mended.
TEST(MendedFaultTest, JournalWhoseCipherTextFillsWholeChunksOpens) {
    TempDir dir;
    WriteFile(dir.File("data"), ReadFile(DataFile("cipher/journals/edge160/current/data")));
    ProcessResult run = RunConverter(dir.path(), {"edge"});
    EXPECT_EQ("Done", run.out);
    ASSERT_EQ(1u, ReadDocument(dir.path()).dreams.size());
    EXPECT_EQ(ReadFile(DataFile("cipher/journals/edge160/plain/data")),
              Decipher(dir.File("data"), "edge"));
}

// The message names the backups that are there, the newest first.
TEST(MendedFaultTest, EmptyDataFileIsReportedAndNothingIsTouched) {
    const std::vector<std::pair<std::vector<const char*>, std::string>> cases = {
        {{"_data", "__data"}, "; the backups \"_data\" and \"__data\" may hold the journal"},
        {{"__data"}, "; the backup \"__data\" may hold the journal"},
        {{}, ", and there is no backup of it"},
    };
    for (const auto& [backups, said] : cases) {
        TempDir dir;
        WriteFile(dir.File("data"), "");
        for (const char* backup : backups)
            WriteFile(dir.File(backup), "good backup");
        const auto before = Snapshot(dir.path());
        ProcessResult run = RunConverter(dir.path(), {"pw"});
        EXPECT_NE(0, run.exitStatus);
        EXPECT_EQ("", run.out);
        EXPECT_EQ("Error: data file \"" + dir.File("data") + "\" is empty" + said +
                      "\nThe journal was not converted.\n",
                  run.err);
        EXPECT_EQ(before, Snapshot(dir.path()));
    }
}

TEST(MendedFaultTest, StatedCountMayDifferFromTheRecordsRead) {
    TempDir dir;
    LegacyJournal journal;
    journal.places = {"p"};
    journal.records = {Record(1, 0, 1, 0, false, 0, "one"), Record(2, 0, 0, 0, false, 0, "two")};
    WritePlainJournal(dir.path(), journal);
    std::string plain = ReadFile(dir.File("data"));
    WriteFile(dir.File("data"), "5" + plain.substr(1));
    ASSERT_TRUE(EncryptFile(dir.File("data"), "pw"));
    ProcessResult run = RunConverter(dir.path(), {"pw"});
    EXPECT_EQ("Done", run.out);
    EXPECT_EQ("Warning: data file \"" + dir.File("data") +
                  "\" states 5 records but holds 2; all 2 are converted\n",
              WithoutSummary(run.err));
    EXPECT_EQ(2u, ReadDocument(dir.path()).dreams.size());
    EXPECT_EQ(plain, Decipher(dir.File("data"), "pw"));  // written back with the true count
}

TEST(MendedFaultTest, CountThatIsNotANumberRestoresTheDataFile) {
    TempDir dir;
    WriteFile(dir.File("data"), "4x\x02PLACE\x03POSITION\x03RECORD\x03");
    ASSERT_TRUE(EncryptFile(dir.File("data"), "pw"));
    const std::string enciphered = ReadFile(dir.File("data"));
    ProcessResult run = RunConverter(dir.path(), {"pw"});
    EXPECT_EQ(1, run.exitStatus);
    EXPECT_EQ("", run.out);
    EXPECT_EQ("Error: data file \"" + dir.File("data") +
                  "\": the record count \"4x\" is not a number\nThe journal was not converted.\n",
              run.err);
    EXPECT_EQ(enciphered, ReadFile(dir.File("data")));
    EXPECT_FALSE(Exists(dir.File("dataX")));
    EXPECT_FALSE(Exists(dir.File("data.xml")));
}

TEST(MendedFaultTest, CountOfZeroKeepsThePlacesAndPositions) {
    TempDir dir;
    WriteFile(dir.File("data"),
              "0\x02PLACE\x03home\x02POSITION\x03"
              "back\x02RECORD\x03");
    ASSERT_TRUE(EncryptFile(dir.File("data"), "pw"));
    ProcessResult run = RunConverter(dir.path(), {"pw"});
    EXPECT_EQ("Done", run.out);
    Document doc = ReadDocument(dir.path());
    EXPECT_EQ((std::vector<std::u16string>{u"home", u""}), doc.places);
    EXPECT_EQ(u"back", doc.positions[0]);
    EXPECT_EQ(
        "0\x02PLACE\x03home\x02POSITION\x03"
        "back\x02RECORD\x03",
        Decipher(dir.File("data"), "pw"));
}

TEST(MendedFaultTest, AnUnreadableNumberSpoilsOnlyItself) {
    TempDir dir;
    WriteFile(dir.File("data"),
              "2\x02PLACE\x03POSITION\x03RECORD\x03"
              "10.5\x01"
              "1\x01"
              "2\x01"
              "3\x01"
              "1\x01"
              "4\x01"
              "first\x02"
              "11.5\x01"
              "1\x01"
              "?\x01"
              "3\x01"
              "0\x01"
              "4\x01"
              "second\x02");
    ASSERT_TRUE(EncryptFile(dir.File("data"), "pw"));
    ProcessResult run = RunConverter(dir.path(), {"pw"});
    EXPECT_EQ("Done", run.out);
    EXPECT_EQ("Warning: data file \"" + dir.File("data") +
                  "\", record 2: place \"?\" is not a number; read as 0\n",
              WithoutSummary(run.err));
    Document doc = ReadDocument(dir.path());
    ASSERT_EQ(2u, doc.dreams.size());
    EXPECT_EQ((DreamFields{11.5, 1, u"", 0, -1, 2, 0, 4, u"second"}), doc.dreams[1]);
}

// A journal that shows both separators was written with the first one it
// shows: the document and the data file written back use that one.
TEST(MendedFaultTest, DatesReadUnderEitherDecimalSeparator) {
    const auto journal = [](const char* second) {
        return std::string(
                   "2\x02PLACE\x03POSITION\x03RECORD\x03"
                   "39448,5\x01"
                   "0\x01"
                   "0\x01"
                   "0\x01"
                   "0\x01"
                   "0\x01"
                   "comma\x02") +
               second +
               "\x01"
               "0\x01"
               "0\x01"
               "0\x01"
               "0\x01"
               "0\x01"
               "dot\x02";
    };
    TempDir dir;
    WriteFile(dir.File("data"), journal("39449.25"));
    ASSERT_TRUE(EncryptFile(dir.File("data"), "pw"));
    ASSERT_EQ("Done", RunConverter(dir.path(), {"pw"}).out);
    Document doc = ReadDocument(dir.path());
    EXPECT_EQ(39448.5, doc.dreams[0].dt);
    EXPECT_EQ(39449.25, doc.dreams[1].dt);
    EXPECT_NE(std::string::npos, ReadFile(dir.File("data.xml")).find("<dt>39449,25</dt>"));
    EXPECT_EQ(journal("39449,25"), Decipher(dir.File("data"), "pw"));
}

TEST(MendedFaultTest, PasswordTypedAsUtf8OpensAJournalEncipheredInTheCodePage) {
    TempDir dir;
    const std::string cp1251 = "\xef\xe0\xf0\xee\xeb\xfc";  // "пароль"
    WriteFile(dir.File("data"), SampleFixture("plain"));
    ASSERT_TRUE(EncryptFile(dir.File("data"), cp1251, CipherScheme::kBase));
    ProcessResult run = RunConverter(dir.path(), {"пароль"});
    EXPECT_EQ("Done", run.out);
    EXPECT_EQ(SampleFixture("plain"), Decipher(dir.File("data"), cp1251, CipherScheme::kBase));
}

// The lock of a run in progress, taken here as that run would take it: the
// converter leaves the folder alone, and once the lock goes nothing of it
// is left in the folder.
TEST(ConversionTest, AFolderInUseByAnotherRunIsLeftAlone) {
    TempDir dir;
    WriteFile(dir.File("data"), SampleFixture("current"));
    const auto before = Snapshot(dir.path());
    {
        std::unique_ptr<platform::Folder> folder = OpenFolder(dir.path());
        std::unique_ptr<platform::FolderLock> lock;
        platform::LockHolder holder;
        ASSERT_TRUE(folder->Lock(journal_files::kLockFile, &lock, &holder).ok());
        ProcessResult run = RunConverter(dir.path(), {"dream"});
        EXPECT_EQ(1, run.exitStatus);
        EXPECT_NE(std::string::npos, run.err.find("another conversion is running in the folder"))
            << run.err;
    }
    EXPECT_EQ(before, Snapshot(dir.path()));
    EXPECT_EQ("Done", RunConverter(dir.path(), {"dream"}).out);
}

// As long a folder as the system lets a program start in: past 260
// characters on POSIX, just short of it on Windows, where the names of the
// files in it then pass the plain API's limit.
TEST(MendedFaultTest, LongAndNonAsciiFolderNamesWork) {
    TempDir root;
    const size_t longest = std::min<size_t>(LongestCurrentFolder(), 320);
    std::string dir = root.File("\xd0\xb6\xd1\x83\xd1\x80\xd0\xbd\xd0\xb0\xd0\xbb");  // "журнал"
    MakeFolder(dir);
    for (char letter = 'a'; dir.size() + 2 < longest; ++letter) {
        dir = platform::JoinPath(
            dir, std::string(std::min<size_t>(40, longest - dir.size() - 2), letter));
        MakeFolder(dir);
    }
    ASSERT_GT(dir.size() + std::string("\\data.xml.tmp").size(), 260u);
    ASSERT_TRUE(platform::WriteFileAtomically(platform::Env::Real(),
                                              platform::JoinPath(dir, "data"),
                                              SampleFixture("current"))
                    .ok());
    ProcessResult run = RunConverter(dir, {"dream"});
    EXPECT_EQ("Done", run.out) << run.err;
    EXPECT_EQ(4u, ReadDocument(dir).dreams.size());
}

// The how-to that comes with the Windows program: CR LF line ends, so that
// every Notepad shows its lines, and what the program itself refers to.
TEST(HowToUseTest, ReadsAsLinesInNotepadAndSaysWhatTheProgramSays) {
    const std::string text = ReadFile(DataFile("../../scripts/windows/HOW-TO-USE.txt"));
    ASSERT_FALSE(text.empty());
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
        ASSERT_TRUE(at > 0 && text[at - 1] == '\r') << "a bare line feed at " << at;
    for (const char* said : {"Press Enter to close.", "press Enter", "--codepage=1252", "cmd",
                             "empty journal", "[Y/n]"})
        EXPECT_NE(std::string::npos, text.find(said)) << said;
}
