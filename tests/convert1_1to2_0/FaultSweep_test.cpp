// A whole conversion with each file-system operation failing in turn, and
// with the process stopped dead after each operation in turn, over an
// enciphered journal and over a plain one (beside which an earlier run kept
// the earlier document already). Whatever happens, the journal must
// survive, with its bytes and its permissions, and a later run must convert
// it.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <map>

#include "core/DreamBinding.h"
#include "platform/text/PathText.h"
#include "platform/xml/XmlDom.h"
#include "support/ChildRun.h"
#include "support/FaultInjectionEnv.h"
#include "support/Journals.h"
#include "support/SystemFacts.h"
#include "support/TestSupport.h"

using namespace testing_support;
using platform::FaultInjectionEnv;

namespace {

const char kPassword[] = "pw";

const char kOlderBackup[] = "the journal as an earlier run found it";
const char kOldestBackup[] = "the journal as the run before found it";

const char kOldDocument[] =
    "<?xml version=\"1.0\" encoding=\"Windows-1251\"?>\r\n<Contents><Clocks/><Types/>"
    "<Places><place>old</place></Places><Positions/><Dreams><Dream><dt>1</dt></Dream></Dreams>"
    "</Contents>";

LegacyJournal SweepJournal() {
    LegacyJournal journal;
    journal.places = {"\xe4\xee\xec", "lake"};
    journal.positions = {"back", "side"};
    journal.records = {Record(39448.5f, 1, 1, 2, false, 3, "\xcb\xe5\xf2\xe0\xeb\r\nagain"),
                       Record(39449.25f, 2, 0, 1, true, 5, "x [OC]lucid[/OC] y"),
                       Record(39450, 0, 2, 0, false, 0, "")};
    return journal;
}

struct Outcome {
    ProcessResult result;
    uint64_t operations = 0;
    uint64_t cipherCalls = 0;
};

// The journal as the user keeps it: enciphered with a password, or plain (no
// password: the run writes it back enciphered with the empty one).
struct JournalKind {
    const char* name;
    const char* password;
    bool plain;
};

const JournalKind kEnciphered{"Enciphered", kPassword, false};
const JournalKind kPlain{"Plain", "", true};

void PrintTo(const JournalKind& kind, std::ostream* out) {
    *out << kind.name;
}

class SweepTest : public ::testing::TestWithParam<JournalKind> {
  protected:
    void SetUp() override {
        if (GetParam().plain) {
            WritePlainJournal(pristine.path(), SweepJournal());
            plain_ = ReadFile(pristine.File("data"));
        } else {
            WriteEncipheredJournal(pristine.path(), SweepJournal(), kPassword);
            plain_ = Decipher(pristine.File("data"), kPassword);
        }
        SetPermissionBits(pristine.File("data"), 0644);
        found_ = ReadFile(pristine.File("data"));
        WriteFile(pristine.File("data.xml"), kOldDocument);
        // Beside the plain journal, a copy kept by an earlier run holds that
        // document already: it is not kept twice, and goes only with a
        // success. (Beside the enciphered one, it is kept as a new copy.)
        if (GetParam().plain)
            WriteFile(pristine.File("data.xml.bak"), kOldDocument);
        WriteFile(pristine.File("_data"), kOlderBackup);
        WriteFile(pristine.File("__data"), kOldestBackup);
    }

    // The run as the user starts it: a plain journal needs no password.
    Outcome RunWithFaults(const std::string& dir, const FaultPlan& plan) {
        Outcome outcome;
        outcome.result =
            RunProgramInChild(dir, Arguments(), plan, &outcome.operations, &outcome.cipherCalls);
        return outcome;
    }
    static std::vector<std::string> Arguments() {
        if (GetParam().plain)
            return {};
        return {GetParam().password};
    }

    // A fresh copy of the journal folder.
    void Prepare(const std::string& dir) {
        for (const std::string& name : ListFolder(pristine.path())) {
            WriteFile(dir + "/" + name, ReadFile(pristine.File(name)));
            SetPermissionBits(dir + "/" + name, 0644);
        }
    }

    // A backup goes only by the rotation that makes room for a newer one,
    // and the rotation begins only once the journal is safely written again.
    void ExpectBackupsKept(const std::string& dir, const std::string& context) {
        auto holds = [&](const char* name, const char* bytes) {
            return Exists(dir + "/" + name) && ReadFile(dir + "/" + name) == bytes;
        };
        EXPECT_TRUE(holds("_data", kOlderBackup) || holds("__data", kOlderBackup)) << context;
        EXPECT_TRUE(holds("__data", kOldestBackup) || holds("__data", kOlderBackup)) << context;
        if (holds("__data", kOlderBackup)) {
            // Rotated: so the conversion was complete and the journal written.
            EXPECT_TRUE(IsJournal(dir + "/data")) << context;
            EXPECT_GE(DreamsIn(dir + "/data.xml"), 3) << context << ": rotated too early";
        }
    }

    static int DreamsIn(const std::string& path) {
        try {
            auto document = TXMLDocument::Create(platform::PathToWide(path));
            return BindContents(*document)->Get_Dreams()->Get_Count();
        } catch (const XmlError&) {
            return -1;
        }
    }

    // The journal as found, or written back (enciphered with its password,
    // the empty one for a plain journal).
    bool IsJournal(const std::string& path) {
        return Exists(path) &&
               (ReadFile(path) == found_ || Decipher(path, GetParam().password) == plain_);
    }
    // The data file keeps the permissions it was found with, whatever the
    // run did to it meanwhile. Windows has no permission bits to check.
    void ExpectModeAsFound(const std::string& path, const std::string& context) {
        const std::optional<unsigned> bits = PermissionBits(path);
        if (bits) {
            EXPECT_EQ(0644u, *bits & 0777u) << path << ": " << context;
        }
    }
    static bool IsJournalFileName(const std::string& name) {
        for (const char* known :
             {"data", "_data", "__data", "data.xml", "data.xml.bak", "ini", "ini.txt"}) {
            if (name == known)
                return true;
        }
        return false;
    }
    bool LooksPlain(const std::string& path) {
        if (!Exists(path))
            return false;
        const std::string head = ReadFile(path).substr(0, 15);
        return !head.empty() && isdigit(static_cast<unsigned char>(head[0])) &&
               head.find("PLACE") != std::string::npos;
    }

    // Files the user may open after any run: each absent or whole.
    void ExpectNoTruncatedFiles(const std::string& dir, const std::string& context) {
        if (Exists(dir + "/data.xml")) {
            EXPECT_NO_THROW(TXMLDocument::Create(platform::PathToWide(dir + "/data.xml")))
                << context;
        }
        if (Exists(dir + "/ini.txt")) {
            const std::string ini = ReadFile(dir + "/ini.txt");
            EXPECT_NE(std::string::npos, ini.find("LucidFontUnderl 0\r\n")) << context;
            EXPECT_NE(std::string::npos, ini.find("DreamFontBold 0\r\n")) << context;
        }
    }

    // Wherever the deciphered journal lies, only its owner may read it (the
    // journal itself is readable by others here). Windows has no permission
    // bits to check. A plain journal is as readable as its owner made it.
    void ExpectDecipheredTextPrivate(const std::string& dir, const std::string& context) {
        if (GetParam().plain)
            return;
        for (const std::string& name : ListFolder(dir)) {
            const std::string path = dir + "/" + name;
            const std::optional<unsigned> bits = PermissionBits(path);
            if (!bits || !std::filesystem::is_regular_file(
                             std::filesystem::symlink_status(std::filesystem::u8path(path))))
                continue;
            const std::string bytes = ReadFile(path);
            if (bytes.size() >= 15 && plain_.compare(0, 15, bytes, 0, 15) == 0) {
                EXPECT_EQ(0u, *bits & 077u) << name << ": " << context;
            }
        }
    }

    // After whatever happened, a plain run converts the whole journal and
    // leaves it with the permissions it was first found with.
    void ExpectLaterRunConverts(const std::string& dir, const std::string& context) {
        ProcessResult run = RunConverter(dir, Arguments());
        ASSERT_EQ("Done", run.out) << context << "\n" << run.err;
        auto document = TXMLDocument::Create(platform::PathToWide(dir + "/data.xml"));
        IXMLContentsTypePtr contents = BindContents(*document);
        // The lists in their legacy order, ahead of the template's blanks.
        EXPECT_EQ(u"дом", contents->Get_Places()->Get_Place(0)) << context;
        EXPECT_EQ(u"lake", contents->Get_Places()->Get_Place(1)) << context;
        EXPECT_EQ(u"back", contents->Get_Positions()->Get_Position(0)) << context;
        EXPECT_EQ(u"side", contents->Get_Positions()->Get_Position(1)) << context;
        IXMLDreamsTypePtr dreams = contents->Get_Dreams();
        ASSERT_EQ(3, dreams->Get_Count()) << context;
        EXPECT_EQ(u"x <lucid>lucid</lucid> y", dreams->Get_Dream(1)->Get_Text()) << context;
        EXPECT_EQ(plain_, Decipher(dir + "/data", GetParam().password)) << context;
        ExpectModeAsFound(dir + "/data", "after a later run, " + context);
    }

    std::string Describe(uint64_t n, const Outcome& outcome) {
        return "operation " + std::to_string(n) + ": exit " +
               std::to_string(outcome.result.exitStatus) + ", out \"" + outcome.result.out +
               "\", err \"" + outcome.result.err + "\"";
    }

    // The file-system operations of a clean run (and, in *cipherCalls, its
    // calls to the cryptographic service).
    uint64_t CountOperations(uint64_t* cipherCalls = nullptr) {
        TempDir dir;
        Prepare(dir.path());
        Outcome clean = RunWithFaults(dir.path(), FaultPlan());
        EXPECT_EQ("Done", clean.result.out) << clean.result.err;
        EXPECT_EQ(0, clean.result.exitStatus);
        EXPECT_GT(clean.operations, 20u);
        RecordProperty("operations", static_cast<int>(clean.operations));
        if (cipherCalls != nullptr)
            *cipherCalls = clean.cipherCalls;
        return clean.operations;
    }

    TempDir pristine;
    std::string plain_;  // the journal's plain text
    std::string found_;  // the data file's bytes as the run finds them
};

INSTANTIATE_TEST_SUITE_P(Journals, SweepTest, ::testing::Values(kEnciphered, kPlain),
                         [](const ::testing::TestParamInfo<JournalKind>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace

TEST_P(SweepTest, EveryFailingOperationLeavesTheJournalSafe) {
    const uint64_t total = CountOperations();
    for (uint64_t n = 1; n <= total; ++n) {
        TempDir dir;
        Prepare(dir.path());
        FaultPlan plan;
        plan.failAt = n;
        Outcome outcome = RunWithFaults(dir.path(), plan);
        const std::string context = Describe(n, outcome);
        const ProcessResult& run = outcome.result;
        const bool succeeded = run.exitStatus == 0 && run.out == "Done";
        const bool reported =
            run.exitStatus == 1 && !run.err.empty() && run.out.find("Done") == std::string::npos;
        const bool unfinished =
            reported &&
            run.err.find("The journal was converted all the same.") != std::string::npos;
        EXPECT_TRUE(succeeded || reported) << context;
        EXPECT_TRUE(IsJournal(dir.File("data")) || IsJournal(dir.File("_data"))) << context;
        // A failed run leaves the very bytes it found; one that succeeded
        // wrote the journal back enciphered, with the empty password when it
        // had none.
        if (reported && !unfinished) {
            EXPECT_EQ(found_, ReadFile(dir.File("data"))) << context;
        }
        if (succeeded) {
            EXPECT_EQ(plain_, Decipher(dir.File("data"), GetParam().password)) << context;
        }
        EXPECT_TRUE(GetParam().plain || !LooksPlain(dir.File("data"))) << context;
        ExpectModeAsFound(dir.File("data"), context);
        ExpectBackupsKept(dir.path(), context);
        ExpectNoTruncatedFiles(dir.path(), context);
        if (GetParam().plain) {
            EXPECT_EQ(kOldDocument, ReadFile(dir.File("data.xml.bak"))) << context;
        }
        // A failed run leaves the document as it was, in its place, and
        // writes no settings. (The backups rotate after the conversion is
        // complete; a failure there is reported but undoes nothing.)
        if (reported && !unfinished) {
            EXPECT_EQ(kOldDocument, ReadFile(dir.File("data.xml"))) << context;
            EXPECT_EQ(GetParam().plain, Exists(dir.File("data.xml.bak"))) << context;
            EXPECT_FALSE(Exists(dir.File("ini"))) << context;
            EXPECT_FALSE(Exists(dir.File("ini.txt"))) << context;
        }
        // One that converted the journal keeps the earlier document once.
        if (succeeded || unfinished) {
            EXPECT_EQ(kOldDocument, ReadFile(dir.File("data.xml.bak"))) << context;
            EXPECT_FALSE(Exists(dir.File("data.xml.1.bak"))) << context;
            EXPECT_EQ(3, DreamsIn(dir.File("data.xml"))) << context;
        }
        if (succeeded) {
            EXPECT_NE(std::string::npos,
                      run.err.find(std::string(" The earlier document is ") +
                                   (GetParam().plain ? "already kept as" : "kept as") + " \"" +
                                   dir.File("data.xml.bak") + "\".\n"))
                << context;
        }
        // Nothing else is left behind, unless the message names it.
        for (const std::string& name : ListFolder(dir.path())) {
            if (!IsJournalFileName(name)) {
                EXPECT_NE(std::string::npos, run.err.find(dir.File(name)))
                    << name << ": " << context;
            }
        }
        ExpectLaterRunConverts(dir.path(), context);
        if (HasFailure())
            break;  // one case at a time is enough to read
    }
}

// The cryptographic service failing at any of its calls (hashing the
// password, setting up a cipher, any step of deciphering or enciphering) is
// an error with the service's reason, never "Wrong password!", which would
// tell the user to retype a password that was right.
TEST_P(SweepTest, EveryFailingCallOfTheCryptographicServiceIsAnErrorNeverAWrongPassword) {
    uint64_t calls = 0;
    CountOperations(&calls);
    // An encipher (and, for an enciphered journal, a decipher before it):
    // each a hash, a set-up, steps and an end.
    EXPECT_GE(calls, GetParam().plain ? 4u : 8u);
    for (uint64_t n = 1; n <= calls; ++n) {
        TempDir dir;
        Prepare(dir.path());
        const std::string journal = ReadFile(dir.File("data"));
        FaultPlan plan;
        plan.cipherFailAt = n;
        Outcome outcome = RunWithFaults(dir.path(), plan);
        const std::string context = "service call " + Describe(n, outcome);
        EXPECT_EQ(1, outcome.result.exitStatus) << context;
        EXPECT_EQ("", outcome.result.out) << context;
        EXPECT_EQ(0u, outcome.result.err.find("Error: the cryptographic service failed in "))
            << context;
        EXPECT_NE(std::string::npos, outcome.result.err.find("\nThe journal was not converted.\n"))
            << context;
        EXPECT_EQ(journal, ReadFile(dir.File("data"))) << context;
        EXPECT_EQ(kOldDocument, ReadFile(dir.File("data.xml"))) << context;
        ExpectLaterRunConverts(dir.path(), context);
        if (HasFailure())
            break;
    }
}

TEST_P(SweepTest, StoppingAfterEveryOperationLeavesTheJournalRecoverable) {
    const uint64_t total = CountOperations();
    for (uint64_t n = 1; n <= total; ++n) {
        TempDir dir;
        Prepare(dir.path());
        FaultPlan plan;
        plan.crashAfter = n;
        Outcome outcome = RunWithFaults(dir.path(), plan);
        const std::string context = Describe(n, outcome);
        EXPECT_EQ(FaultInjectionEnv::kCrashExitStatus, outcome.result.exitStatus) << context;
        const bool plainData = Exists(dir.File("data")) && ReadFile(dir.File("data")) == plain_;
        EXPECT_TRUE(IsJournal(dir.File("data")) || IsJournal(dir.File("_data")) || plainData)
            << context;
        ExpectBackupsKept(dir.path(), context);
        ExpectNoTruncatedFiles(dir.path(), context);
        ExpectDecipheredTextPrivate(dir.path(), context);
        ExpectLaterRunConverts(dir.path(), context);
        if (HasFailure())
            break;
    }
}

namespace {

// Every name of the folder with its bytes.
std::map<std::string, std::string> Contents(const std::string& dir) {
    std::map<std::string, std::string> contents;
    for (const std::string& name : ListFolder(dir))
        contents[name] = ReadFile(dir + "/" + name);
    return contents;
}

}  // namespace

// A signal after each operation in turn: before the point of no return it
// stops the run with the folder exactly as found (128 + n); after it, the
// run finishes and says that the signal came when the journal was already
// converted (0). Never anything between.
TEST_P(SweepTest, ASignalAtAnyMomentTellsTheTruthAboutTheJournal) {
    if (!RaisedSignalsReachTheRun())
        GTEST_SKIP() << "a signal raised by the process is no interrupt here";
    const uint64_t total = CountOperations();
    int stopped = 0, late = 0;
    for (uint64_t n = 1; n <= total; ++n) {
        TempDir dir;
        Prepare(dir.path());
        const auto before = Contents(dir.path());
        FaultPlan plan;
        plan.signalAfter = n;
        plan.signal = n % 2 == 0 ? SIGINT : SIGTERM;
        Outcome outcome = RunWithFaults(dir.path(), plan);
        const std::string context = Describe(n, outcome);
        const ProcessResult& run = outcome.result;
        if (run.exitStatus == 128 + plan.signal) {
            ++stopped;
            EXPECT_EQ(0u, run.err.find("Stopped: interrupted by SIG")) << context;
            EXPECT_TRUE(before == Contents(dir.path())) << "not as found: " << context;
        } else {
            ++late;
            EXPECT_EQ(0, run.exitStatus) << context;
            EXPECT_EQ("Done", run.out) << context;
            EXPECT_NE(std::string::npos, run.err.find("Note: the run was interrupted by SIG"))
                << context;
            EXPECT_NE(std::string::npos, run.err.find(" after the conversion was complete; the "
                                                      "journal is converted\n"))
                << context;
            EXPECT_EQ(3, DreamsIn(dir.File("data.xml"))) << context;
            EXPECT_TRUE(IsJournal(dir.File("data"))) << context;
            EXPECT_TRUE(IsJournal(dir.File("_data"))) << context;
        }
        if (HasFailure())
            break;
    }
    EXPECT_GT(stopped, 0);
    EXPECT_GT(late, 0);
    RecordProperty("stopped", stopped);
    RecordProperty("late", late);
}

// File systems that keep no permission bits, as the kernel mounts FAT and
// exFAT: one refuses every change of mode and owner, one takes it and keeps
// nothing (every file reads back as the mount's mask gives it), one both.
// The conversion works on each, and says when the deciphered journal lies
// readable by others.
TEST_P(SweepTest, AFileSystemWithoutPermissionsConvertsAndSaysWhatItCannotHide) {
    struct Case {
        const char* what;
        FaultPlan plan;
        bool readableByOthers;
    };
    std::vector<Case> cases(3);
    cases[0] = {"changes refused", FaultPlan(), false};
    cases[0].plan.failEvery = "chown";
    cases[0].plan.failEveryCode = platform::StatusCode::kPermission;
    cases[1] = {"changes kept nowhere", FaultPlan(), true};
    cases[1].plan.fixedMode = 0755;
    cases[2] = {"changes refused and a fixed mask", FaultPlan(), true};
    cases[2].plan.failEvery = "chown";
    cases[2].plan.failEveryCode = platform::StatusCode::kNotSupported;
    cases[2].plan.fixedMode = 0777;
    for (const Case& c : cases) {
        for (int run = 1; run <= 2; ++run) {  // a first and a second conversion
            SCOPED_TRACE(std::string(c.what) + ", run " + std::to_string(run));
            TempDir dir;
            Prepare(dir.path());
            if (run == 2) {
                ASSERT_EQ("Done", RunWithFaults(dir.path(), c.plan).result.out);
            }
            const ProcessResult result = RunWithFaults(dir.path(), c.plan).result;
            EXPECT_EQ(0, result.exitStatus) << result.err;
            EXPECT_EQ("Done", result.out);
            const size_t note = result.err.find(
                "cannot make a file private: while the run "
                "lasts, the deciphered journal in \"" +
                dir.File("data") + "\" is readable");
            // A plain journal is no more readable than it was; the first run
            // writes it back enciphered with the empty password.
            const bool deciphered = !GetParam().plain || run == 2;
            EXPECT_EQ(c.readableByOthers && deciphered, note != std::string::npos) << result.err;
            EXPECT_EQ(3, DreamsIn(dir.File("data.xml")));
            EXPECT_TRUE(IsJournal(dir.File("data")));
            EXPECT_EQ(kOldDocument, ReadFile(dir.File("data.xml.bak")));
            if (run == 2) {
                EXPECT_EQ(3, DreamsIn(dir.File("data.xml.1.bak")));
            }
        }
    }
}
