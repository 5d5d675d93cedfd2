// The check through the Env: no operation that changes anything, every
// failing operation a reason to stop or a warning as in a conversion (never a
// silent success or a wrong password), and a folder another run holds left
// alone.
#include "convert1_1to2_0/CheckJournal.h"

#include <gtest/gtest.h>

#include "core/JournalFiles.h"
#include "support/FaultInjectionEnv.h"
#include "support/Journals.h"
#include "support/TestSupport.h"

using namespace testing_support;
using platform::FaultInjectionEnv;

namespace {

const char kPassword[] = "pw";

// A folder an interrupted run left: the journal deciphered beside its
// enciphered copy, the earlier document waiting, a temporary file.
void MakeInterruptedFolder(const TempDir& dir) {
    LegacyJournal journal;
    journal.places = {"home"};
    journal.records = {Record(39448.5f, 0, 1, 0, true, 2, "[OC]a dream[/OC]")};
    WriteEncipheredJournal(dir.path(), journal, kPassword);
    WriteFile(dir.File("dataX"), ReadFile(dir.File("data")));
    WriteFile(dir.File("data"), Decipher(dir.File("dataX"), kPassword));
    WriteFile(dir.File("data.xml.old"), "earlier");
    WriteFile(dir.File(".ini.cnv-ab3de5gh.tmp"), "half");
}

CheckVerdict Check(FaultInjectionEnv& env, const TempDir& dir, RecordingReporter* reporter) {
    ScopedCurrentDir cd(dir.path());
    platform::ScopedEnv scoped(env);
    ConversionOptions options;
    options.password = kPassword;
    return CheckJournal(options, *reporter);
}

std::string LastLine(const std::string& out) {
    const size_t last = out.rfind('\n', out.size() - 2);
    return out.substr(last == std::string::npos ? 0 : last + 1);
}

}  // namespace

TEST(CheckJournalTest, ChangesNothingAndStopsAtEveryFailure) {
    TempDir dir;
    MakeInterruptedFolder(dir);
    const std::vector<std::string> names = ListFolder(dir.path());

    // Where nothing may change, the check goes through all the same.
    FaultInjectionEnv readOnly(platform::Env::Real());
    readOnly.MakeReadOnly();
    RecordingReporter reporter;
    EXPECT_EQ(CheckVerdict::kWouldSucceed, Check(readOnly, dir, &reporter)) << reporter.out();
    EXPECT_NE(std::string::npos, reporter.out().find("Counts: 1 dream (1 lucid), 1 place and 0 "
                                                     "positions\n"))
        << reporter.out();
    const uint64_t operations = readOnly.OperationCount();
    ASSERT_GT(operations, 10u);

    for (uint64_t n = 1; n <= operations; ++n) {
        SCOPED_TRACE("operation " + std::to_string(n) + " fails");
        FaultInjectionEnv env(platform::Env::Real());
        env.MakeReadOnly();
        env.FailAt(n);
        RecordingReporter failing;
        const CheckVerdict verdict = Check(env, dir, &failing);
        // What a conversion only warns about (settings it cannot read) is a
        // warning in the report; anything else stops it.
        if (verdict == CheckVerdict::kWouldSucceed)
            EXPECT_NE(std::string::npos, failing.out().find("\nWarning: ")) << failing.out();
        else
            EXPECT_EQ(0u, LastLine(failing.out()).find("Verdict: a conversion would stop: "))
                << failing.out();
        EXPECT_NE(CheckVerdict::kWrongPassword, verdict) << failing.out();
    }
    EXPECT_EQ(names, ListFolder(dir.path()));
}

TEST(CheckJournalTest, LeavesAFolderAnotherRunHoldsUnread) {
    TempDir dir;
    MakeInterruptedFolder(dir);
    std::unique_ptr<platform::Folder> folder;
    ASSERT_TRUE(platform::Env::Real().OpenFolder(dir.path(), &folder).ok());
    std::unique_ptr<platform::FolderLock> held;
    platform::LockHolder holder;
    ASSERT_TRUE(folder->Lock(journal_files::kLockFile, &held, &holder).ok());
    FaultInjectionEnv env(platform::Env::Real());
    RecordingReporter reporter;
    EXPECT_EQ(CheckVerdict::kWouldStop, Check(env, dir, &reporter));
    EXPECT_EQ("Verdict: a conversion would stop: another conversion is running in the folder \"" +
                  dir.path() +
                  "\"; wait until it has finished, then run again if it did not convert the "
                  "journal.\n",
              reporter.out());
    // Nothing was read: the lock was the first look into the folder.
    EXPECT_EQ(2u, env.OperationCount()) << env.Log().back();
}
