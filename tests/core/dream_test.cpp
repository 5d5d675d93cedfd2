#include "core/dream.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>

#include "platform/os/Env.h"
#include "platform/os/Fatal.h"
#include "support/FaultInjectionEnv.h"
#include "support/TestSupport.h"

using platform::Env;
using platform::FaultInjectionEnv;
using testing_support::Exists;
using testing_support::ReadFile;
using testing_support::ScopedCurrentDir;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

// What the engines of these tests say; the tests that care look at it.
testing_support::RecordingReporter said;

// A new journal, as the engine must write it: CR LF line ends, eight spaces
// before the last clock, no line break at the end.
const char kTemplate[] =
    "<?xml version=\"1.0\" encoding=\"Windows-1251\"?>\r\n"
    "<Contents>\r\n"
    "\t<Clocks>\r\n"
    "\t\t<clock>time</clock>\r\n"
    "\t\t<clock>morning</clock>\r\n"
    "\t\t<clock>day</clock>\r\n"
    "\t\t<clock>evening</clock>\r\n"
    "\t\t<clock>night</clock>\r\n"
    "        <clock>?</clock>\r\n"
    "\t</Clocks>\r\n"
    "\t<Types>\r\n"
    "\t\t<type>dream</type>\r\n"
    "\t\t<type>lucid</type>\r\n"
    "\t\t<type>OOBE</type>\r\n"
    "\t</Types>\r\n"
    "\t<Places>\r\n"
    "\t\t<place>home</place>\r\n"
    "\t</Places>\r\n"
    "\t<Positions>\r\n"
    "\t\t<position>?</position>\r\n"
    "\t\t<position>back</position>\r\n"
    "\t\t<position>venter</position>\r\n"
    "\t\t<position>left side</position>\r\n"
    "\t\t<position>right side</position>\r\n"
    "\t</Positions>\r\n"
    "\t<Dreams>\r\n"
    "\t</Dreams>\r\n"
    "</Contents>";

struct Fields {
    std::string dt = "1";
    std::string type = "0";
    std::string clarity = "0";
    std::string duration = "0";
};

// A journal with two places and the given dreams, each with its subject set
// to its index in `Dreams`, so that tests can tell equal keys apart.
std::string Journal(const std::vector<Fields>& dreams, const char* encoding = "Windows-1251") {
    std::string text = std::string("<?xml version=\"1.0\" encoding=\"") + encoding +
                       "\"?>\r\n<Contents><Clocks><clock>c</clock></Clocks>"
                       "<Types><type>t</type></Types><Places><place>p0</place>"
                       "<place>p1</place></Places><Positions><position>q</position>"
                       "</Positions><Dreams>";
    for (size_t k = 0; k < dreams.size(); ++k) {
        text += "<Dream><dt>" + dreams[k].dt + "</dt><subject>" + std::to_string(k) +
                "</subject><type>" + dreams[k].type + "</type><clarity>" + dreams[k].clarity +
                "</clarity><duration>" + dreams[k].duration + "</duration></Dream>";
    }
    return text + "</Dreams></Contents>\r\n";
}

std::vector<Fields> ByDt(const std::vector<std::string>& dts) {
    std::vector<Fields> dreams;
    for (const std::string& dt : dts) {
        Fields fields;
        fields.dt = dt;
        dreams.push_back(fields);
    }
    return dreams;
}

// The subjects (indices in `Dreams`) of the engine's dreams, in view order.
std::vector<int> ViewOrder(DreamEngine& engine) {
    std::vector<int> order;
    for (int k = 0; k < engine.DreamCount(); ++k) {
        const std::u16string subject = engine.GetDream(k)->Get_Subject();
        order.push_back(std::stoi(std::string(subject.begin(), subject.end())));
    }
    return order;
}

std::vector<int> IndicesOf(const DreamArrange& view) {
    std::vector<int> indices;
    for (int k = 0; k < view.Count(); ++k)
        indices.push_back(view.IndexAt(k));
    return indices;
}

using Order = std::vector<int>;

// A journal folder made the current folder for the test's length.
struct JournalFolder {
    TempDir dir;
    ScopedCurrentDir current{dir.path()};
    explicit JournalFolder(const std::string* document = nullptr) {
        if (document != nullptr)
            WriteFile(dir.File("data.xml"), *document);
    }
    explicit JournalFolder(const std::string& document) : JournalFolder(&document) {}
    std::string File(const std::string& name) const { return dir.File(name); }
};

}  // namespace

// ---- The engine ------------------------------------------------------------

TEST(DreamEngineTest, AFolderWithoutDocumentGetsTheTemplate) {
    JournalFolder folder;
    {
        DreamEngine engine(true, said);
        EXPECT_EQ(folder.dir.path(), engine.GetFolder());
        EXPECT_EQ(folder.File("Pics"), engine.GetPicsFolder());
        EXPECT_EQ(0, engine.DreamCount());
        EXPECT_EQ(1, engine.PlacesCount());
        EXPECT_EQ(5, engine.PositionsCount());
        IXMLContentsTypePtr contents = engine.GetContents();
        EXPECT_EQ(6, contents->Get_Clocks()->Get_Count());
        EXPECT_EQ(u"?", contents->Get_Clocks()->Get_Clock(5));
        EXPECT_EQ(u"OOBE", contents->Get_Types()->Get_Type(2));
        EXPECT_EQ(u"home", contents->Get_Places()->Get_Place(0));
        EXPECT_EQ(u"right side", contents->Get_Positions()->Get_Position(4));
        EXPECT_EQ(std::string(kTemplate, sizeof kTemplate - 1), ReadFile(folder.File("data.xml")));
        EXPECT_FALSE(Exists(folder.File("ini.txt")));  // written whole when the engine goes
    }
    // Not saved: the template stays as written; the settings are written.
    EXPECT_EQ(579u, ReadFile(folder.File("data.xml")).size());
    EXPECT_EQ(std::string(kTemplate, sizeof kTemplate - 1), ReadFile(folder.File("data.xml")));
    EXPECT_EQ(0u, ReadFile(folder.File("ini.txt")).find("DreamFontBold 0\r\n"));
    EXPECT_FALSE(Exists(folder.File("Pics")));
    EXPECT_FALSE(Exists(folder.File("Tracing.txt")));
    EXPECT_FALSE(Exists(folder.File("DB")));
}

TEST(DreamEngineTest, AnExistingDocumentIsOpenedUnchanged) {
    const std::string document = Journal(ByDt({"5", "3.5", "4"}), "UTF-8");
    JournalFolder folder(document);
    {
        DreamEngine engine(true, said);
        EXPECT_EQ(2, engine.PlacesCount());
        EXPECT_EQ(1, engine.PositionsCount());
        EXPECT_EQ(3, engine.DreamCount());
        EXPECT_EQ((Order{1, 2, 0}), ViewOrder(engine));
        // Edits that are never saved.
        engine.GetContents()->Get_Dreams()->Add()->Set_Dt(1);
        engine.ClearPlace(0);
    }
    EXPECT_EQ(document, ReadFile(folder.File("data.xml")));
    EXPECT_TRUE(Exists(folder.File("ini.txt")));
}

TEST(DreamEngineTest, TheDBSubfolderIsUsedAndCreatedWhenAsked) {
    JournalFolder folder;
    {
        DreamEngine engine(false, said);
        EXPECT_EQ(folder.File("DB"), engine.GetFolder());
        EXPECT_EQ(folder.File("Pics"), engine.GetPicsFolder());
    }
    EXPECT_EQ(std::string(kTemplate, sizeof kTemplate - 1), ReadFile(folder.File("DB/data.xml")));
    EXPECT_TRUE(Exists(folder.File("DB/ini.txt")));
    EXPECT_FALSE(Exists(folder.File("data.xml")));
    EXPECT_FALSE(Exists(folder.File("ini.txt")));

    // A second engine opens what the first left there.
    WriteFile(folder.File("DB/data.xml"), Journal(ByDt({"2", "1"})));
    DreamEngine engine(false, said);
    EXPECT_EQ((Order{1, 0}), ViewOrder(engine));
}

TEST(DreamEngineTest, ClearingKeepsEveryEntryInPlace) {
    JournalFolder folder;
    DreamEngine engine(true, said);
    engine.ClearPlace(0);
    EXPECT_EQ(1, engine.PlacesCount());
    EXPECT_EQ(u"", engine.GetContents()->Get_Places()->Get_Place(0));
    for (int i = 0; i < engine.PositionsCount(); ++i)
        engine.ClearPosition(i);
    EXPECT_EQ(5, engine.PositionsCount());
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(u"", engine.GetContents()->Get_Positions()->Get_Position(i)) << i;

    // One in the middle: its neighbours keep their positions.
    JournalFolder other;
    DreamEngine second(true, said);
    second.ClearPosition(2);
    IXMLPositionsTypePtr positions = second.GetContents()->Get_Positions();
    EXPECT_EQ(u"back", positions->Get_Position(1));
    EXPECT_EQ(u"", positions->Get_Position(2));
    EXPECT_EQ(u"left side", positions->Get_Position(3));
}

TEST(DreamEngineTest, ClearingOutsideTheListIsTheListsError) {
    JournalFolder folder;
    DreamEngine engine(true, said);
    try {
        engine.ClearPlace(1);
        FAIL() << "no error";
    } catch (const XmlError& e) {
        EXPECT_STREQ("List index out of bounds (1)", e.what());
    }
    EXPECT_EQ(1, engine.PlacesCount());
    EXPECT_THROW(engine.ClearPosition(-1), XmlError);
    EXPECT_EQ(5, engine.PositionsCount());
}

TEST(DreamEngineTest, SaveWritesTheDocumentDeclaringWindows1251) {
    JournalFolder folder(Journal(ByDt({"2", "1"}), "UTF-8"));
    {
        DreamEngine engine(true, said);
        IXMLDreamTypePtr dream = engine.GetContents()->Get_Dreams()->Add();
        dream->Set_Dt(0.5);
        dream->Set_Subject(u"2");
        engine.Save();
    }
    const std::string saved = ReadFile(folder.File("data.xml"));
    EXPECT_EQ(0u, saved.find("<?xml version=\"1.0\" encoding=\"Windows-1251\"?>")) << saved;
    // The view is computed once, at construction; a new engine sees all.
    DreamEngine engine(true, said);
    EXPECT_EQ((Order{2, 1, 0}), ViewOrder(engine));
}

TEST(DreamEngineTest, SaveKeepsToTheFolderChosenAtConstruction) {
    JournalFolder folder;
    DreamEngine engine(true, said);
    engine.GetContents()->Get_Dreams()->Add()->Set_Dt(7);
    TempDir elsewhere;
    ScopedCurrentDir moved(elsewhere.path());
    engine.Save();
    EXPECT_FALSE(Exists(elsewhere.File("data.xml")));
    EXPECT_NE(std::string::npos, ReadFile(folder.File("data.xml")).find("<dt>7</dt>"));
}

TEST(DreamEngineTest, EditsAfterConstructionDoNotChangeTheView) {
    JournalFolder folder(Journal(ByDt({"2", "1"})));
    DreamEngine engine(true, said);
    engine.GetContents()->Get_Dreams()->Add()->Set_Dt(0);
    EXPECT_EQ(2, engine.DreamCount());
    EXPECT_EQ((Order{1, 0}), ViewOrder(engine));
}

TEST(DreamEngineTest, BadDocumentsEndConstructionWithTheirError) {
    {
        JournalFolder folder(Journal(ByDt({"1", "soon"})));
        try {
            DreamEngine engine(true, said);
            FAIL() << "no error";
        } catch (const XmlError& e) {
            EXPECT_EQ(0u, std::string(e.what()).find("\"soon\" is not a valid ")) << e.what();
        }
        // No engine: the settings file was never made.
        EXPECT_FALSE(Exists(folder.File("ini.txt")));
    }
    {
        JournalFolder folder(std::string("<Contents><Dreams>"));
        EXPECT_THROW(DreamEngine engine(true, said), XmlError);
        EXPECT_EQ("<Contents><Dreams>", ReadFile(folder.File("data.xml")));
    }
    {
        JournalFolder folder(std::string("<Journal/>"));
        try {
            DreamEngine engine(true, said);
            FAIL() << "no error";
        } catch (const XmlError& e) {
            EXPECT_EQ(folder.File("data.xml") + ": the root element is not \"Contents\"",
                      std::string(e.what()));
        }
    }
    {
        // A missing dt reads as an error, not as 0.
        JournalFolder folder(Journal(ByDt({"1", ""})));
        EXPECT_THROW(DreamEngine engine(true, said), XmlError);
    }
}

TEST(DreamEngineTest, FileSystemFailuresAreErrorsAndNeverTouchTheJournal) {
    JournalFolder folder;
    FaultInjectionEnv counter(Env::Real());
    {
        platform::ScopedEnv scoped(counter);
        DreamEngine engine(true, said);
    }
    const uint64_t total = counter.OperationCount();
    ASSERT_GT(total, 3u);
    for (uint64_t failing = 1; failing <= total; ++failing) {
        TempDir dir;
        ScopedCurrentDir current(dir.path());
        FaultInjectionEnv env(Env::Real());
        env.FailAt(failing);
        platform::ScopedEnv scoped(env);
        testing_support::RecordingReporter reporter;
        bool built = false;
        try {
            DreamEngine engine(true, reporter);
            built = true;
        } catch (const platform::Error& e) {
            EXPECT_NE(std::string::npos, std::string(e.what()).find("injected fault")) << e.what();
        }
        const std::string warnings = reporter.err();
        // Only the settings file may fail quietly, and then with a warning.
        if (built) {
            EXPECT_NE(std::string::npos, warnings.find("Warning: settings file")) << failing;
        } else {
            EXPECT_EQ("", warnings);
        }
        // The journal is either whole or absent.
        if (Exists(dir.File("data.xml"))) {
            EXPECT_EQ(std::string(kTemplate, sizeof kTemplate - 1), ReadFile(dir.File("data.xml")));
        }
    }
}

TEST(DreamEngineTest, AnUnknownCurrentFolderIsAnError) {
    JournalFolder folder;
    FaultInjectionEnv env(Env::Real());
    env.FailAt(1);
    platform::ScopedEnv scoped(env);
    try {
        DreamEngine engine(true, said);
        FAIL() << "no error";
    } catch (const platform::Error& e) {
        EXPECT_STREQ("injected fault: cannot find \"current folder\"", e.what());
    }
    EXPECT_FALSE(Exists(folder.File("data.xml")));
}

// ---- The arranged view -----------------------------------------------------

TEST(DreamArrangeTest, TheEngineListsEveryDreamByDateAscending) {
    JournalFolder folder(Journal(ByDt({"3", "1", "2"})));
    DreamEngine engine(true, said);
    EXPECT_EQ((Order{1, 2, 0}), ViewOrder(engine));
}

TEST(DreamArrangeTest, TiesFollowTheExchangeSort) {
    {
        JournalFolder folder(Journal(ByDt({"2", "2", "1"})));
        DreamEngine engine(true, said);
        EXPECT_EQ((Order{2, 1, 0}), ViewOrder(engine));  // the 2s swapped
    }
    {
        JournalFolder folder(Journal(ByDt({"4", "4", "4"})));
        DreamEngine engine(true, said);
        EXPECT_EQ((Order{0, 1, 2}), ViewOrder(engine));
    }
    {
        JournalFolder folder(Journal(ByDt({"1,5", "0.25", "1.5", "-3"})));
        DreamEngine engine(true, said);
        EXPECT_EQ((Order{3, 1, 2, 0}), ViewOrder(engine));
    }
}

TEST(DreamArrangeTest, DescendingAndByClarityOrDurationAsNumbers) {
    std::vector<Fields> dreams(4);
    const char* clarity[] = {"10", "9", "100", "-1"};
    const char* duration[] = {"3", "1", "2", "3"};
    for (int k = 0; k < 4; ++k) {
        dreams[k].clarity = clarity[k];
        dreams[k].duration = duration[k];
    }
    JournalFolder folder(Journal(dreams));
    DreamEngine engine(true, said);
    DreamArrange view(engine);
    view.SetTypeFilter(-1);
    view.SetSortKey(1);
    view.SetAscending(true);
    view.Refresh();
    EXPECT_EQ((Order{3, 1, 0, 2}), IndicesOf(view));  // never "10" < "100" < "9"
    view.SetAscending(false);
    view.Refresh();
    EXPECT_EQ((Order{2, 0, 1, 3}), IndicesOf(view));
    view.SetSortKey(2);
    view.Refresh();
    EXPECT_EQ((Order{0, 3, 2, 1}), IndicesOf(view));
    view.SetAscending(true);
    view.Refresh();
    // (3, 1, 2, 3): equal keys are never exchanged with each other.
    EXPECT_EQ((Order{1, 2, 0, 3}), IndicesOf(view));
}

TEST(DreamArrangeTest, TheTypeFilterKeepsIndicesIntoDreams) {
    std::vector<Fields> dreams = ByDt({"5", "4", "3", "2", "1"});
    dreams[1].type = "1";
    dreams[2].type = "2";
    dreams[4].type = "1";
    JournalFolder folder(Journal(dreams));
    DreamEngine engine(true, said);
    DreamArrange view(engine);
    view.SetTypeFilter(1);
    view.SetSortKey(0);
    view.SetAscending(false);
    view.Filter();
    EXPECT_EQ((Order{1, 4}), IndicesOf(view));
    view.SetAscending(true);
    view.Refresh();
    EXPECT_EQ((Order{4, 1}), IndicesOf(view));
    view.SetTypeFilter(7);
    view.Refresh();
    EXPECT_EQ(0, view.Count());
    view.SetTypeFilter(0);
    view.Refresh();
    EXPECT_EQ((Order{3, 0}), IndicesOf(view));
}

TEST(DreamArrangeTest, SettingsWithoutRefreshChangeNothing) {
    JournalFolder folder(Journal(ByDt({"3", "1", "2"})));
    DreamEngine engine(true, said);
    DreamArrange view(engine);
    view.SetTypeFilter(-1);
    view.SetSortKey(0);
    view.SetAscending(true);
    EXPECT_EQ(0, view.Count());
    view.Refresh();
    view.SetAscending(false);
    view.SetSortKey(2);
    view.SetTypeFilter(1);
    EXPECT_EQ((Order{1, 2, 0}), IndicesOf(view));
}

TEST(DreamArrangeTest, PositionsOutsideTheViewAreTheListError) {
    JournalFolder folder(Journal(ByDt({"3", "1"})));
    DreamEngine engine(true, said);
    for (int position : {-1, 2}) {
        try {
            engine.GetDream(position);
            FAIL() << position;
        } catch (const XmlError& e) {
            EXPECT_EQ("List index out of bounds (" + std::to_string(position) + ")",
                      std::string(e.what()));
        }
    }
}

TEST(DreamArrangeTest, AnUnreadableKeyLeavesTheViewAsFiltered) {
    std::vector<Fields> dreams = ByDt({"3", "2", "1"});
    dreams[2].clarity = "clear";
    JournalFolder folder(Journal(dreams));
    DreamEngine engine(true, said);
    DreamArrange view(engine);
    view.SetTypeFilter(-1);
    view.SetSortKey(1);
    view.SetAscending(true);
    EXPECT_THROW(view.Refresh(), XmlError);
    EXPECT_EQ((Order{0, 1, 2}), IndicesOf(view));
}

TEST(DreamArrangeDeathTest, AnUnknownSortKeyStopsTheProgramAtTheFirstComparison) {
    JournalFolder folder(Journal(ByDt({"3", "1"})));
    DreamEngine engine(true, said);
    DreamArrange view(engine);
    view.SetTypeFilter(-1);
    view.SetAscending(true);
    view.SetSortKey(3);
    EXPECT_EXIT(view.Refresh(), testing::ExitedWithCode(platform::kFatalExitStatus),
                "^Assertion failed: 0, file core/dream, line 62\n$");
    // With fewer than two dreams nothing is compared.
    view.SetTypeFilter(5);
    view.Refresh();
    EXPECT_EQ(0, view.Count());
}

TEST(DreamArrangeTest, FilterAndSortMatchThePlainMethodOnRandomJournals) {
    std::mt19937 random(99);
    for (int round = 0; round < 40; ++round) {
        const int n = static_cast<int>(random() % 40);
        std::vector<Fields> dreams(n);
        for (Fields& fields : dreams) {
            fields.dt = std::to_string(random() % 5);
            fields.type = std::to_string(random() % 3);
            fields.clarity = std::to_string(static_cast<int>(random() % 4) - 2);
            fields.duration = std::to_string(random() % 3);
        }
        JournalFolder folder(Journal(dreams));
        DreamEngine engine(true, said);
        DreamArrange view(engine);
        const int8_t type = static_cast<int8_t>(static_cast<int>(random() % 4) - 1);
        const uint8_t key = static_cast<uint8_t>(random() % 3);
        const bool ascending = random() % 2 == 0;
        view.SetTypeFilter(type);
        view.SetSortKey(key);
        view.SetAscending(ascending);
        view.Refresh();

        // The method step by step: filter, then compare and exchange.
        std::vector<int> expected;
        for (int k = 0; k < n; ++k)
            if (type == -1 || std::stoi(dreams[k].type) == type)
                expected.push_back(k);
        auto keyOf = [&](int index) {
            const Fields& f = dreams[index];
            return std::stod(key == 0 ? f.dt : key == 1 ? f.clarity : f.duration);
        };
        for (size_t i = 0; i + 1 < expected.size(); ++i)
            for (size_t j = i + 1; j < expected.size(); ++j) {
                const double a = keyOf(expected[i]), b = keyOf(expected[j]);
                if (ascending ? a > b : a < b)
                    std::swap(expected[i], expected[j]);
            }
        ASSERT_EQ(expected, IndicesOf(view)) << "round " << round;
    }
}
