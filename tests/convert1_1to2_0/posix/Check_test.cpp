// --check as a user relies on it: it changes nothing in the folder, not a
// byte, a mode, an owner or a time stamp, not even for a moment; it works
// where nothing can be written; and what it says a conversion would do is
// what the conversion then does.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <map>

#include "support/Journals.h"
#include "support/TestSupport.h"
#include "support/posix/Pty.h"

using namespace testing_support;

namespace {

const char kPassword[] = "pw";

LegacyJournal Journal(const std::string& text) {
    LegacyJournal journal;
    journal.places = {"home"};
    journal.positions = {"back"};
    journal.records = {Record(39448.5f, 0, 1, 1, false, 0, text),
                       Record(39449.5f, 0, 0, 0, true, 1, "[OC]lucid[/OC]")};
    return journal;
}

std::string Enciphered(const std::string& text) {
    TempDir scratch;
    WriteEncipheredJournal(scratch.path(), Journal(text), kPassword);
    return ReadFile(scratch.File("data"));
}

std::string Plain(const std::string& text) {
    TempDir scratch;
    WritePlainJournal(scratch.path(), Journal(text));
    return ReadFile(scratch.File("data"));
}

std::string Stamp(const struct stat& st) {
    return std::to_string(st.st_mode) + " " + std::to_string(st.st_uid) + ":" +
           std::to_string(st.st_gid) + " m" + std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec) + " c" + std::to_string(st.st_ctim.tv_sec) + "." +
           std::to_string(st.st_ctim.tv_nsec);
}

// Everything a change would show, the folder's own times included (a file
// made and removed again changes them); access times aside.
std::map<std::string, std::string> Strictly(const std::string& dir) {
    std::map<std::string, std::string> entries;
    struct stat st {};
    EXPECT_EQ(0, ::lstat(dir.c_str(), &st));
    entries["."] = Stamp(st);
    for (const std::string& name : ListFolder(dir)) {
        const std::string path = dir + "/" + name;
        EXPECT_EQ(0, ::lstat(path.c_str(), &st));
        entries[name] = Stamp(st) + (S_ISREG(st.st_mode) ? " " + ReadFile(path) : "");
    }
    return entries;
}

struct Situation {
    const char* name;
    std::function<void(const TempDir&)> make;
    std::vector<std::string> args;
    int exitStatus;
    std::vector<std::string> says;  // lines of the report
    // What the conversion run afterwards leaves under each name; "-": the
    // name is gone. Empty: no conversion is run.
    std::map<std::string, std::string> thenHolds;
};

}  // namespace

TEST(CheckTest, ChangesNothingAndForetellsTheConversion) {
    const std::string journal = Enciphered("a dream");
    const std::string temporary = ".data.xml.cnv-ab3de5gh.tmp";
    const std::vector<Situation> situations = {
        {"a journal and an earlier document",
         [&](const TempDir& dir) {
             WriteFile(dir.File("data"), journal);
             WriteFile(dir.File("data.xml"), "earlier");
             WriteFile(dir.File("notes.txt"), "mine");
         },
         {kPassword},
         0,
         {"data.xml: the earlier document is kept as \"data.xml.bak\", and the converted journal "
          "is written here",
          "notes.txt: left as it is", "Counts: 2 dreams (1 lucid), 1 place and 1 position",
          "Verdict: a conversion would succeed."},
         {{"data.xml.bak", "earlier"}, {"_data", journal}, {"notes.txt", "mine"}}},
        {"killed with the journal deciphered, and a temporary left",
         [&](const TempDir& dir) {
             WriteFile(dir.File("data"), Plain("a dream"));
             WriteFile(dir.File("dataX"), journal);
             WriteFile(dir.File(temporary), "half");
         },
         {kPassword},
         0,
         {"dataX: put back as \"data\": left by an interrupted run, and the data file lies "
          "deciphered, and this is its enciphered form",
          temporary + ": removed: a temporary file of an interrupted run",
          "Counts: 2 dreams (1 lucid), 1 place and 1 position"},
         {{"dataX", "-"}, {temporary, "-"}, {"_data", journal}}},
        {"killed beside another journal",
         [&](const TempDir& dir) {
             WriteFile(dir.File("data"), Enciphered("a newer dream"));
             WriteFile(dir.File("dataX"), journal);
         },
         {kPassword},
         0,
         {"dataX: kept as \"data.interrupted\": the journal as an interrupted run found it, but "
          "it is not the journal in the data file"},
         {{"data.interrupted", journal}, {"dataX", "-"}}},
        {"an earlier document waiting beside a newer one",
         [&](const TempDir& dir) {
             WriteFile(dir.File("data"), journal);
             WriteFile(dir.File("data.xml.old"), "A");
             WriteFile(dir.File("data.xml"), "B");
         },
         {kPassword},
         0,
         {"data.xml.old: put back as \"data.xml\", where an interrupted run had set it aside",
          "data.xml: kept as \"data.xml.bak\" first; the earlier document is kept as "
          "\"data.xml.1.bak\", and the converted journal is written here"},
         {{"data.xml.bak", "B"}, {"data.xml.1.bak", "A"}, {"data.xml.old", "-"}}},
        {"a wrong password",
         [&](const TempDir& dir) { WriteFile(dir.File("data"), journal); },
         {"nope"},
         2,
         {"Verdict: wrong password; a conversion would change nothing."},
         {}},
        {"no journal, but a backup of one",
         [&](const TempDir& dir) { WriteFile(dir.File("_data"), journal); },
         {kPassword},
         1,
         {"Verdict: a conversion would stop: there is no data file"},
         {}},
    };
    for (const Situation& s : situations) {
        SCOPED_TRACE(s.name);
        TempDir dir;
        s.make(dir);
        // The times of the last change are in the past, so that a change
        // now would show in them.
        ::usleep(20000);
        const auto before = Strictly(dir.path());
        std::vector<std::string> args = {"--check"};
        args.insert(args.end(), s.args.begin(), s.args.end());
        const ProcessResult check = RunConverter(dir.path(), args);
        EXPECT_EQ(s.exitStatus, check.exitStatus) << check.out << check.err;
        EXPECT_EQ(before, Strictly(dir.path()));
        for (const std::string& line : s.says)
            EXPECT_NE(std::string::npos, check.out.find(line)) << line << "\n" << check.out;
        // The verdict is the last line.
        const size_t last = check.out.rfind('\n', check.out.size() - 2);
        EXPECT_EQ(0, check.out.compare(last == std::string::npos ? 0 : last + 1, 9, "Verdict: "))
            << check.out;
        if (s.thenHolds.empty())
            continue;
        const ProcessResult run = RunConverter(dir.path(), s.args);
        EXPECT_EQ(0, run.exitStatus) << run.err;
        for (const auto& [name, bytes] : s.thenHolds) {
            if (bytes == "-")
                EXPECT_FALSE(Exists(dir.File(name))) << name;
            else
                EXPECT_EQ(bytes, Exists(dir.File(name)) ? ReadFile(dir.File(name)) : "(none)")
                    << name;
        }
    }
}

// A folder nothing can be written in, and one another run is converting in.
TEST(CheckTest, ReadsAReadOnlyFolderAndWaitsForNoRunningConversion) {
    TempDir dir, mount;
    WriteFile(dir.File("data"), Enciphered("a dream"));
    const auto before = Strictly(dir.path());

    const int folder = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_LE(0, folder);
    ASSERT_EQ(0, ::flock(folder, LOCK_EX | LOCK_NB));  // as a conversion holds it
    const ProcessResult busy = RunConverter(dir.path(), {"--check", kPassword});
    // As another check holds it: checks go together, a conversion waits.
    ASSERT_EQ(0, ::flock(folder, LOCK_SH | LOCK_NB));
    const ProcessResult together = RunConverter(dir.path(), {"--check", kPassword});
    const ProcessResult excluded = RunConverter(dir.path(), {kPassword});
    ::close(folder);
    EXPECT_EQ(1, busy.exitStatus);
    EXPECT_NE(std::string::npos,
              busy.out.find("Verdict: a conversion would stop: another conversion is running"))
        << busy.out;
    EXPECT_EQ(0, together.exitStatus) << together.out << together.err;
    EXPECT_EQ(1, excluded.exitStatus) << excluded.out << excluded.err;
    EXPECT_NE(std::string::npos, excluded.err.find("Error: another conversion is running in the"))
        << excluded.err;
    EXPECT_EQ(before, Strictly(dir.path()));

    if (::mount(dir.path().c_str(), mount.path().c_str(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "cannot bind-mount a folder here: " << ::strerror(errno);
    const bool readOnly = ::mount(nullptr, mount.path().c_str(), nullptr,
                                  MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    const ProcessResult check = RunConverter(mount.path(), {"--check", kPassword});
    const ProcessResult run = RunConverter(mount.path(), {kPassword});
    ::umount2(mount.path().c_str(), MNT_DETACH);
    ASSERT_TRUE(readOnly);
    EXPECT_EQ(0, check.exitStatus) << check.out << check.err;
    EXPECT_NE(std::string::npos, check.out.find("Verdict: a conversion would succeed.\n"));
    EXPECT_EQ(1, run.exitStatus) << "a conversion cannot write there";
    EXPECT_EQ(before, Strictly(dir.path()));
}

// At a terminal the check asks for the password, again after a wrong one,
// and nothing else; it never waits. Where a conversion would ask the person
// something, the check says so and ends as a failure.
TEST(CheckTest, AtATerminalAsksOnlyThePasswordAndNeverWaits) {
    struct Case {
        const char* name;
        std::string data;                                         // "": no journal
        std::vector<std::pair<std::string, std::string>> dialog;  // what shows, what is typed
        std::string verdict;
        int exitStatus;
    };
    LegacyJournal western;
    western.records = {Record(39448.5f, 0, 0, 0, false, 0, "Un caf\xe9 au lait")};
    TempDir scratch;
    WritePlainJournal(scratch.path(), western);
    const std::vector<Case> cases = {
        {"a wrong password, then the right one",
         Enciphered("a dream"),
         {{"Password: ", "nope\n"}, {"try again.\nPassword: ", "pw\n"}},
         "Verdict: a conversion would succeed.\n",
         0},
        {"Ctrl-C at the prompt", Enciphered("a dream"), {{"Password: ", "\x03"}}, "", 130},
        {"no journal",
         "",
         {},
         "Verdict: a conversion would first ask whether to make a new, empty journal here.\n",
         1},
        {"texts in another code page",
         ReadFile(scratch.File("data")),
         {},
         "Verdict: a conversion would first ask which code page the texts are read in; give it "
         "with --codepage=N.\n",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        if (!c.data.empty())
            WriteFile(dir.File("data"), c.data);
        const auto before = Strictly(dir.path());
        PtyProcess program(JC_CONVERTER_PATH, {"--check"}, dir.path());
        for (const auto& [shown, keys] : c.dialog) {
            ASSERT_TRUE(program.WaitFor(shown)) << program.Screen();
            program.Type(keys);
        }
        EXPECT_EQ(c.exitStatus, program.Wait(20000)) << program.Screen() << program.Err();
        const std::string screen = program.Screen();
        EXPECT_EQ(c.verdict,
                  screen.substr(screen.size() - std::min(screen.size(), c.verdict.size())))
            << screen;
        EXPECT_EQ(std::string::npos, screen.find("Press Enter")) << screen;
        EXPECT_EQ(std::string::npos, screen.find("?")) << "a question: " << screen;
        EXPECT_EQ(before, Strictly(dir.path()));
    }
}
