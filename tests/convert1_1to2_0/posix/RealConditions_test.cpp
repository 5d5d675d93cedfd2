// The converter under the conditions a real folder offers: a second run, a
// signal, links and FIFOs where its files go, leftovers of a killed run, and
// another user's folder. Each is made for real here, not simulated.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#include "core/JournalFiles.h"
#include "platform/os/Env.h"
#include "support/Journals.h"
#include "support/TestSupport.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

const char kPassword[] = "pw";
const char kWrongPasswordOutput[] = "Wrong password!\nError converting file\nDone";

std::string Enciphered(const LegacyJournal& journal) {
    return testing_support::Enciphered(journal, kPassword);
}

struct Entry {
    std::string bytes;
    unsigned mode;
    bool operator==(const Entry& o) const { return bytes == o.bytes && mode == o.mode; }
};

// Every name in the folder with its bytes (or link target) and mode.
std::map<std::string, Entry> Snapshot(const std::string& dir) {
    std::map<std::string, Entry> entries;
    for (const std::string& name : ListFolder(dir)) {
        const std::string path = dir + "/" + name;
        struct stat st {};
        ::lstat(path.c_str(), &st);
        Entry entry{"", static_cast<unsigned>(st.st_mode & 07777)};
        if (S_ISLNK(st.st_mode))
            entry.bytes = "link to " + fs::read_symlink(path).string();
        else if (S_ISREG(st.st_mode))
            entry.bytes = ReadFile(path);
        entries[name] = entry;
    }
    return entries;
}

// How a converter is started: its input at its end at once, or held open
// until it ends (so that it waits for Enter); what it says kept, or written
// into a pipe whose reader is gone.
struct Console {
    bool holdInput = false;
    bool closedPipe = false;
};

// The converter started in `dir`, standard input closed; a run that hangs is
// ended by an alarm after a minute.
class Converter {
  public:
    Converter(const std::string& dir, const std::vector<std::string>& args,
              Console console = Console()) {
        int input[2] = {-1, -1}, output[2] = {-1, -1};
        if ((console.holdInput && ::pipe(input) != 0) ||
            (console.closedPipe && ::pipe(output) != 0)) {
            ADD_FAILURE() << "no pipe";
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            int in = console.holdInput ? input[0] : ::open("/dev/null", O_RDONLY);
            int out = console.closedPipe ? output[1]
                                         : ::open(capture_.File("out").c_str(),
                                                  O_WRONLY | O_CREAT | O_TRUNC, 0600);
            int err = console.closedPipe ? output[1]
                                         : ::open(capture_.File("err").c_str(),
                                                  O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (in < 0 || out < 0 || err < 0 || ::chdir(dir.c_str()) != 0)
                ::_exit(127);
            ::dup2(in, 0);
            ::dup2(out, 1);
            ::dup2(err, 2);
            // Whoever started it left no reader on the pipe.
            if (console.closedPipe)
                ::close(output[0]);
            ::alarm(60);
            std::vector<char*> argv = {const_cast<char*>(JC_CONVERTER_PATH)};
            for (const std::string& arg : args)
                argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            ::execv(JC_CONVERTER_PATH, argv.data());
            ::_exit(127);
        }
        for (int fd : {input[0], output[0], output[1]}) {
            if (fd >= 0)
                ::close(fd);
        }
        input_ = input[1];
    }
    ~Converter() {
        if (input_ >= 0)
            ::close(input_);
    }
    bool Running() {
        int status = 0;
        if (done_ || ::waitpid(pid_, &status, WNOHANG) == 0)
            return !done_;
        Finish(status);
        return false;
    }
    void Signal(int signal) { ::kill(pid_, signal); }
    // What it has said on standard output so far.
    std::string OutputSoFar() const {
        return Exists(capture_.File("out")) ? ReadFile(capture_.File("out")) : std::string();
    }
    ProcessResult Wait() {
        int status = 0;
        if (!done_ && ::waitpid(pid_, &status, 0) == pid_)
            Finish(status);
        return result_;
    }

  private:
    void Finish(int status) {
        done_ = true;
        result_.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (Exists(capture_.File("out")))
            result_.out = ReadFile(capture_.File("out"));
        if (Exists(capture_.File("err")))
            result_.err = ReadFile(capture_.File("err"));
    }

    TempDir capture_;
    int input_ = -1;  // the writing end of a held input
    pid_t pid_ = -1;
    bool done_ = false;
    ProcessResult result_;
};

bool HasName(const std::string& dir, const std::function<bool(const std::string&)>& match) {
    for (const std::string& name : ListFolder(dir)) {
        if (match(name))
            return true;
    }
    return false;
}

// Waits, while `run` lasts, until the folder holds a name `match` accepts.
bool WaitForName(Converter& run, const std::string& dir,
                 const std::function<bool(const std::string&)>& match) {
    while (run.Running()) {
        if (HasName(dir, match))
            return true;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
}

bool IsTemp(const std::string& name, const std::string& near) {
    return journal_files::kTemporaryForm.Matches(name, near);
}

// The moments of a run at which a second process has done harm.
struct Moment {
    const char* what;
    std::function<bool(const std::string& name, const std::string& dir)> reached;
};

const Moment kMoments[] = {
    {"the working copy is taken",
     [](const std::string& name, const std::string&) { return name == "dataX"; }},
    {"the journal is deciphered",
     [](const std::string& name, const std::string&) { return IsTemp(name, "data__"); }},
    {"the new document is being built",
     [](const std::string& name, const std::string&) { return name == "data.xml.old"; }},
    {"the journal is enciphered again",
     [](const std::string& name, const std::string& dir) {
         return IsTemp(name, "data__") && Exists(dir + "/data.xml.old");
     }},
};

class RealConditionsTest : public ::testing::Test {
  protected:
    // The moments a test catches in a run last some tens of milliseconds,
    // and on a busy machine a test that waits may not run again for longer.
    // Where it may (as the super-user), the test watches with a real-time
    // priority that no ordinary process delays; the converters it starts do
    // not inherit it.
    void SetUp() override {
        journal_ = LargeJournal(25000);
        enciphered_ = Enciphered(journal_);
        policy_ = ::sched_getscheduler(0);
        ::sched_getparam(0, &param_);
        sched_param watching{};
        watching.sched_priority = 1;
        ::sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &watching);
    }
    void TearDown() override { ::sched_setscheduler(0, policy_, &param_); }
    // A journal folder as a user has it: the journal readable by others,
    // backups, a document the newer release wrote in, settings.
    void Prepare(const std::string& dir) {
        WriteFile(dir + "/data", enciphered_);
        ::chmod((dir + "/data").c_str(), 0644);
        WriteFile(dir + "/_data", "older backup");
        WriteFile(dir + "/data.xml", "<Contents/>");
        WriteFile(dir + "/ini.txt", "Language R\r\n");
    }

    LegacyJournal journal_;
    std::string enciphered_;
    int policy_ = SCHED_OTHER;
    sched_param param_{};
};

}  // namespace

TEST_F(RealConditionsTest, ASecondRunFindsTheFolderBusyAndTouchesNothing) {
    for (const Moment& moment : kMoments) {
        SCOPED_TRACE(moment.what);
        TempDir dir;
        Prepare(dir.path());
        Converter first(dir.path(), {kPassword});
        ASSERT_TRUE(WaitForName(first, dir.path(), [&](const std::string& name) {
            return moment.reached(name, dir.path());
        })) << "the run ended first";
        // Held at that moment, however long the second run takes to start.
        first.Signal(SIGSTOP);
        EXPECT_TRUE(first.Running()) << "the first run ended too soon to tell";
        ProcessResult second = Converter(dir.path(), {kPassword}).Wait();
        first.Signal(SIGCONT);
        EXPECT_EQ(1, second.exitStatus);
        EXPECT_EQ("", second.out);
        EXPECT_EQ("Error: another conversion is running in the folder \"" + dir.path() +
                      "\"; wait until it has finished, then run again if it did not convert the "
                      "journal\nThe journal was not converted.\n",
                  second.err);
        ProcessResult run = first.Wait();
        EXPECT_EQ(0, run.exitStatus) << run.err;
        EXPECT_TRUE(enciphered_ == ReadFile(dir.File("data")));
        EXPECT_TRUE(enciphered_ == ReadFile(dir.File("_data")));
        EXPECT_EQ("<Contents/>", ReadFile(dir.File("data.xml.bak")));
        EXPECT_EQ((std::vector<std::string>{"__data", "_data", "data", "data.xml", "data.xml.bak",
                                            "ini", "ini.txt"}),
                  ListFolder(dir.path()));
    }
}

TEST_F(RealConditionsTest, ASignalPutsTheFolderBackAsItWas) {
    const int signals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};
    int n = 0;
    for (const Moment& moment : kMoments) {
        const int signal = signals[n++ % 4];
        SCOPED_TRACE(std::string(moment.what) + ", signal " + std::to_string(signal));
        TempDir dir;
        Prepare(dir.path());
        const auto before = Snapshot(dir.path());
        Converter run(dir.path(), {kPassword});
        ASSERT_TRUE(WaitForName(run, dir.path(), [&](const std::string& name) {
            return moment.reached(name, dir.path());
        })) << "the run ended first";
        run.Signal(signal);
        ProcessResult result = run.Wait();
        EXPECT_EQ(128 + signal, result.exitStatus) << result.err;
        EXPECT_EQ(0u, result.err.find("Stopped: interrupted by SIG")) << result.err;
        EXPECT_TRUE(before == Snapshot(dir.path())) << "the folder is not as it was";
    }
}

// A file holding the deciphered journal is its owner's alone, even where the
// journal itself is readable by others; and a run as the super-user in
// another user's folder leaves every file that user's.
TEST_F(RealConditionsTest, OwnersAndPermissionsAreKept) {
    TempDir dir;
    Prepare(dir.path());
    Converter run(dir.path(), {kPassword});
    ASSERT_TRUE(WaitForName(run, dir.path(),
                            [&](const std::string& name) { return name == "data.xml.old"; }));
    struct stat st {};
    ASSERT_EQ(0, ::stat(dir.File("data").c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777u) << "the deciphered journal is readable by others";
    ASSERT_EQ(0, run.Wait().exitStatus);
    ASSERT_EQ(0, ::stat(dir.File("data").c_str(), &st));
    EXPECT_EQ(0644u, st.st_mode & 0777u);

    if (::geteuid() != 0)
        GTEST_SKIP() << "only the super-user can act in another user's folder";
    const uid_t user = 65534;
    const gid_t group = 65534;
    TempDir other;
    Prepare(other.path());
    for (const std::string& name : ListFolder(other.path()))
        ASSERT_EQ(0, ::chown(other.File(name).c_str(), user, group));
    ASSERT_EQ(0, ::chown(other.path().c_str(), user, group));
    ASSERT_EQ(0, Converter(other.path(), {kPassword}).Wait().exitStatus);
    for (const std::string& name : ListFolder(other.path())) {
        ASSERT_EQ(0, ::stat(other.File(name).c_str(), &st));
        EXPECT_EQ(user, st.st_uid) << name;
        EXPECT_EQ(group, st.st_gid) << name;
    }
}

namespace {

struct FolderCase {
    std::string name;
    std::function<void(const std::string& dir, const std::string& elsewhere)> setUp;
    int exitStatus;
    std::string errContains;
    // Checks what the run left, given the folder and the one beside it.
    std::function<void(const std::string& dir, const std::string& elsewhere)> check;
    // More that standard error says, each with the folder's path in place
    // of "{}".
    std::vector<std::string> errAlso = {};
};

// Every file of the folder holding `text`.
std::vector<std::string> FilesHolding(const std::string& dir, const std::string& text) {
    std::vector<std::string> holding;
    for (const std::string& name : ListFolder(dir)) {
        if (fs::is_regular_file(fs::symlink_status(dir + "/" + name)) &&
            ReadFile(dir + "/" + name).find(text) != std::string::npos)
            holding.push_back(name);
    }
    return holding;
}

void Link(const std::string& target, const std::string& link) {
    ASSERT_EQ(0, ::symlink(target.c_str(), link.c_str())) << link;
}

}  // namespace

// Links, FIFOs and leftovers under the names the program uses. Nothing waits
// forever, nothing outside the folder is written, and no journal is lost.
TEST_F(RealConditionsTest, LinksFifosAndLeftoversInTheFolder) {
    const std::string small = Enciphered(LargeJournal(3));
    LegacyJournal newer = LargeJournal(4);
    const std::string newerEnciphered = Enciphered(newer);
    auto journalIn = [&](const std::string& path, const std::string& bytes) {
        return Exists(path) && ReadFile(path) == bytes;
    };
    auto untouched = [](const std::string&, const std::string& elsewhere) {
        EXPECT_EQ("not the journal's", ReadFile(elsewhere + "/target"));
        EXPECT_FALSE(Exists(elsewhere + "/none"));
    };
    std::vector<FolderCase> cases = {
        {"data is a dangling link",
         [&](const std::string& d, const std::string& e) { Link(e + "/none", d + "/data"); }, 1,
         "/data\" is a link to \"", untouched},
        {"data is a link to a journal elsewhere",
         [&](const std::string& d, const std::string& e) {
             WriteFile(e + "/journal", small);
             Link(e + "/journal", d + "/data");
         },
         1, "; convert the journal in its own folder, or put the file itself in place of the link",
         [&](const std::string& d, const std::string& e) {
             EXPECT_EQ(small, ReadFile(e + "/journal"));
             EXPECT_TRUE(fs::is_symlink(d + "/data"));
         }},
        {"data is a FIFO",
         [](const std::string& d, const std::string&) { ::mkfifo((d + "/data").c_str(), 0600); }, 1,
         "/data\" is not a regular file", nullptr},
        {"ini and ini.txt are FIFOs",
         [&](const std::string& d, const std::string&) {
             WriteFile(d + "/data", small);
             ::mkfifo((d + "/ini").c_str(), 0600);
             ::mkfifo((d + "/ini.txt").c_str(), 0600);
         },
         0, "/ini.txt\": not a regular file", nullptr},
        {"ini is far too large",
         [&](const std::string& d, const std::string&) {
             WriteFile(d + "/data", small);
             WriteFile(d + "/ini", "");
             fs::resize_file(d + "/ini", 64 << 20);
         },
         0, "/ini\": larger than 1048576 bytes", nullptr},
        {"links and dangling links where temporary files once went",
         [&](const std::string& d, const std::string& e) {
             WriteFile(d + "/data", small);
             for (const char* name : {"data__", "data.tmp", "dataX.tmp", "data.xml.tmp"})
                 Link(e + "/target", d + "/" + name);
             for (const char* name : {"ini.txt.tmp", "ini.tmp"})
                 Link(e + "/none", d + "/" + name);
         },
         0, "", untouched},
        {"links where the backups and the documents go",
         [&](const std::string& d, const std::string& e) {
             WriteFile(d + "/data", small);
             Link(e + "/target", d + "/_data");
             Link(e + "/none", d + "/__data");
             Link(e + "/target", d + "/data.xml");
             Link(e + "/none", d + "/ini.txt");
         },
         0, "", untouched},
        {"FIFOs where the document, a backup and the working copy go",
         [&](const std::string& d, const std::string&) {
             WriteFile(d + "/data", small);
             for (const char* name : {"data.xml", "__data", "dataX"})
                 ::mkfifo((d + "/" + name).c_str(), 0600);
         },
         1, "is in the way",
         [&](const std::string& d, const std::string&) {
             EXPECT_EQ(small, ReadFile(d + "/data"));
             EXPECT_EQ((std::vector<std::string>{"__data", "data", "data.xml", "dataX"}),
                       ListFolder(d));
         }},
        {"a link where the earlier document waits during a run",
         [&](const std::string& d, const std::string& e) {
             WriteFile(d + "/data", small);
             Link(e + "/target", d + "/data.xml.old");
         },
         0, "an interrupted run had set the document aside",
         [&](const std::string& d, const std::string& e) {
             untouched(d, e);
             EXPECT_TRUE(fs::is_symlink(d + "/data.xml.bak"));
         }},
        {"settings files that are links",
         [&](const std::string& d, const std::string& e) {
             WriteFile(d + "/data", small);
             Link(e + "/target", d + "/ini.txt");
             Link(e + "/target", d + "/ini");
         },
         0,
         "/ini.txt\": it is a symbolic link, which is not followed",
         [&](const std::string& d, const std::string& e) {
             untouched(d, e);
             EXPECT_TRUE(fs::is_symlink(d + "/ini.txt"));
             EXPECT_TRUE(fs::is_symlink(d + "/ini"));
             EXPECT_EQ(std::vector<std::string>{}, FilesHolding(d, "not the journal's"));
         },
         {"Warning: cannot open \"{}/ini\": it is a symbolic link, which is not followed; the "
          "legacy settings keep their defaults\n"}},
        // A person may name a file so; only the program's own form of
        // temporary file goes, and each one that goes is named.
        {"files of the user's named like temporaries, and a leftover temporary file",
         [&](const std::string& d, const std::string&) {
             WriteFile(d + "/data", small);
             for (const char* name : {"data.Original.tmp", "data.xml.MyBackup.tmp",
                                      "ini.txt.Settings.tmp", "_data.20241231.tmp"})
                 WriteFile(d + "/" + name, std::string("mine: ") + name);
             WriteFile(d + "/.data__.cnv-3f9k2m1q.tmp", "left by a killed run");
         },
         0,
         "Note: removed \"",
         [&](const std::string& d, const std::string&) {
             for (const char* name : {"data.Original.tmp", "data.xml.MyBackup.tmp",
                                      "ini.txt.Settings.tmp", "_data.20241231.tmp"})
                 EXPECT_EQ(std::string("mine: ") + name, ReadFile(d + "/" + name));
             EXPECT_FALSE(Exists(d + "/.data__.cnv-3f9k2m1q.tmp"));
         },
         {"Note: removed \"{}/.data__.cnv-3f9k2m1q.tmp\", a temporary file an interrupted run "
          "left\n",
          "Warning: \"{}/_data.20241231.tmp\" is named as an earlier version of this program "
          "named its temporary files: it may have been left by one, and may hold the "
          "deciphered journal. It is kept; delete it if it is not yours.\n",
          "Warning: \"{}/data.Original.tmp\" is named as an earlier version",
          "Warning: \"{}/data.xml.MyBackup.tmp\" is named as an earlier version",
          "Warning: \"{}/ini.txt.Settings.tmp\" is named as an earlier version"}},
        {"the working copy's name is a link",
         [&](const std::string& d, const std::string& e) {
             WriteFile(d + "/data", small);
             Link(e + "/target", d + "/dataX");
         },
         1, "/dataX\" is in the way", untouched},
        {"no journal here, but its backups and kept copies",
         [](const std::string& d, const std::string&) {
             for (const char* name : {"__data", "_data", "data.interrupted", "data.interrupted.1"})
                 WriteFile(d + "/" + name, "a journal");
         },
         1,
         "\", but there are copies of a journal: \"_data\", \"__data\", \"data.interrupted.1\", "
         "\"data.interrupted\"; copy one of them to \"",
         [](const std::string& d, const std::string&) {
             EXPECT_EQ((std::vector<std::string>{"__data", "_data", "data.interrupted",
                                                 "data.interrupted.1"}),
                       ListFolder(d));
         }},
        {"a working copy left with the journal deciphered",
         [&](const std::string& d, const std::string&) {
             WriteFile(d + "/dataX", small);
             WriteFile(d + "/data", Decipher(d + "/dataX", kPassword));
         },
         0, "lay deciphered, left so by an interrupted run",
         [&](const std::string& d, const std::string&) {
             EXPECT_EQ(small, ReadFile(d + "/_data"));
         }},
        {"a working copy left after the journal was enciphered again",
         [&](const std::string& d, const std::string&) {
             WriteFile(d + "/dataX", small);
             WriteFile(d + "/data", small);
             ASSERT_TRUE(DecryptFile(d + "/data", kPassword));
             ASSERT_TRUE(EncryptFile(d + "/data", kPassword, CipherScheme::kBase));
         },
         0, "the data file holds the same journal, enciphered again", nullptr},
        {"a stale working copy and a newer journal",
         [&](const std::string& d, const std::string&) {
             WriteFile(d + "/dataX", small);
             WriteFile(d + "/data", newerEnciphered);
         },
         0, "is not the journal in",
         [&](const std::string& d, const std::string&) {
             EXPECT_TRUE(journalIn(d + "/data.interrupted", small));
             EXPECT_TRUE(journalIn(d + "/_data", newerEnciphered));
         }},
        {"a stale working copy and an empty data file",
         [&](const std::string& d, const std::string&) {
             WriteFile(d + "/dataX", small);
             WriteFile(d + "/data", "");
             WriteFile(d + "/data.interrupted", "kept by an earlier run");
         },
         1, "is empty",
         [&](const std::string& d, const std::string&) {
             EXPECT_EQ("kept by an earlier run", ReadFile(d + "/data.interrupted"));
             EXPECT_TRUE(journalIn(d + "/data.interrupted.1", small));
         }},
        // The password opens the copy but not the data file: the run could
        // not go on, so it changes nothing, as a wrong password says.
        {"a stale working copy and a damaged data file",
         [&](const std::string& d, const std::string&) {
             WriteFile(d + "/dataX", small);
             WriteFile(d + "/data", small.substr(0, small.size() / 2));
         },
         2, "/data\" does not open with the password given: it has another password, or is damaged",
         [&](const std::string& d, const std::string&) {
             EXPECT_TRUE(journalIn(d + "/dataX", small));
             EXPECT_TRUE(journalIn(d + "/data", small.substr(0, small.size() / 2)));
             EXPECT_EQ((std::vector<std::string>{"data", "dataX"}), ListFolder(d));
         }},
        {"a stale working copy and a newer journal of another password",
         [&](const std::string& d, const std::string&) {
             WriteFile(d + "/dataX", small);
             WriteEncipheredJournal(d, newer, "another");
         },
         2, "/data\" does not open with the password given",
         [&](const std::string& d, const std::string&) {
             EXPECT_TRUE(journalIn(d + "/dataX", small));
             EXPECT_EQ((std::vector<std::string>{"data", "dataX"}), ListFolder(d));
         }},
        {"the journal lies deciphered and no password is given",
         [&](const std::string& d, const std::string&) {
             WriteFile(d + "/dataX", small);
             WriteFile(d + "/data", Decipher(d + "/dataX", kPassword));
         },
         2, "",
         [&](const std::string& d, const std::string&) {
             EXPECT_TRUE(journalIn(d + "/dataX", small));
             EXPECT_EQ((std::vector<std::string>{"data", "dataX"}), ListFolder(d));
         }},
    };
    if (::geteuid() == 0) {
        cases.push_back(
            {"a document that cannot be moved",
             [&](const std::string& d, const std::string&) {
                 WriteFile(d + "/data", small);
                 WriteFile(d + "/data.xml", "<Contents/>");
                 ASSERT_EQ(0, std::system(("chattr +i '" + d + "/data.xml'").c_str()));
             },
             1, "cannot set the earlier document aside: cannot rename",
             [&](const std::string& d, const std::string&) {
                 std::system(("chattr -i '" + d + "/data.xml'").c_str());
                 EXPECT_EQ((std::vector<std::string>{"data", "data.xml"}), ListFolder(d));
                 EXPECT_EQ(small, ReadFile(d + "/data"));
             }});
        // The run can change nothing: no advice to put back a journal that
        // was never changed.
        cases.push_back({"a data file that cannot be changed",
                         [&](const std::string& d, const std::string&) {
                             WriteFile(d + "/data", small);
                             ASSERT_EQ(0, std::system(("chattr +i '" + d + "/data'").c_str()));
                         },
                         1, "/data\": Operation not permitted",
                         [&](const std::string& d, const std::string&) {
                             std::system(("chattr -i '" + d + "/data'").c_str());
                             EXPECT_EQ((std::vector<std::string>{"data"}), ListFolder(d));
                             EXPECT_EQ(small, ReadFile(d + "/data"));
                         }});
        // As the super-user in a user's folder: what only the super-user may
        // read is not read, and nothing of it reaches the user's folder.
        cases.push_back({"settings links to a file only the super-user may read",
                         [&](const std::string& d, const std::string& e) {
                             WriteFile(d + "/data", small);
                             WriteFile(e + "/secret", "the super-user's secret");
                             ASSERT_EQ(0, ::chmod((e + "/secret").c_str(), 0600));
                             Link(e + "/secret", d + "/ini.txt");
                             Link(e + "/secret", d + "/ini");
                             for (const std::string& name : ListFolder(d))
                                 ASSERT_EQ(0, ::lchown((d + "/" + name).c_str(), 65534, 65534));
                             ASSERT_EQ(0, ::chown(d.c_str(), 65534, 65534));
                         },
                         0, "/ini.txt\": it is a symbolic link, which is not followed",
                         [&](const std::string& d, const std::string& e) {
                             EXPECT_TRUE(fs::is_symlink(d + "/ini.txt"));
                             EXPECT_EQ(std::vector<std::string>{}, FilesHolding(d, "secret"));
                             EXPECT_EQ("the super-user's secret", ReadFile(e + "/secret"));
                         }});
    } else {
        std::printf(
            "[ SKIPPED  ] an immutable document and data file, settings links to a file "
            "only the super-user may read: only the super-user can make them\n");
    }
    for (const FolderCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir, elsewhere;
        WriteFile(elsewhere.File("target"), "not the journal's");
        c.setUp(dir.path(), elsewhere.path());
        const bool withoutPassword = c.name.find("no password") != std::string::npos;
        ProcessResult run =
            Converter(dir.path(), withoutPassword ? std::vector<std::string>{}
                                                  : std::vector<std::string>{kPassword})
                .Wait();
        EXPECT_EQ(c.exitStatus, run.exitStatus) << run.err;
        if (c.exitStatus == 2) {
            EXPECT_EQ(kWrongPasswordOutput, run.out);
        }
        EXPECT_NE(std::string::npos, run.err.find(c.errContains)) << run.err;
        for (std::string also : c.errAlso) {
            also.replace(also.find("{}"), 2, dir.path());
            EXPECT_NE(std::string::npos, run.err.find(also)) << also << "\n" << run.err;
        }
        EXPECT_EQ(std::string::npos, run.err.find("rename it to")) << "advice: " << run.err;
        if (c.check)
            c.check(dir.path(), elsewhere.path());
    }
}

// "Done" that never reaches the user is no success.
TEST_F(RealConditionsTest, StandardOutputThatCannotBeWrittenIsAFailure) {
    TempDir dir;
    WriteFile(dir.File("data"), Enciphered(LargeJournal(3)));
    const std::string command = "cd '" + dir.path() + "' && '" + JC_CONVERTER_PATH + "' " +
                                kPassword + " </dev/null >/dev/full 2>'" + dir.File("err") + "'";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(1, WEXITSTATUS(status));
    EXPECT_NE(std::string::npos,
              ReadFile(dir.File("err"))
                  .find("Error: cannot write to standard output or standard error\n"));
}

// The folder moved by another process at the moments that once broke a run,
// with and without a new folder made at its old path: the run finishes in
// the folder it locked, or, stopped, restores it there; the new folder gets
// nothing, and the messages name the folder where it went.
TEST_F(RealConditionsTest, AFolderMovedDuringTheRunIsConvertedWhereItWent) {
    struct Case {
        const Moment& moment;
        bool newFolder;
        int signal;  // sent once the folder is moved; 0: none
    };
    const Case cases[] = {
        {kMoments[1], false, 0}, {kMoments[1], true, 0},       {kMoments[2], false, 0},
        {kMoments[2], true, 0},  {kMoments[2], true, SIGTERM},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.moment.what) + (c.newFolder ? ", a new folder made" : "") +
                     (c.signal != 0 ? ", then a signal" : ""));
        TempDir root;
        const std::string dir = root.File("journal");
        const std::string moved = root.File("moved");
        MakeFolder(dir);
        Prepare(dir);
        const auto before = Snapshot(dir);
        Converter run(dir, {kPassword});
        ASSERT_TRUE(WaitForName(run, dir, [&](const std::string& name) {
            return c.moment.reached(name, dir);
        })) << "the run ended first";
        ASSERT_EQ(0, ::rename(dir.c_str(), moved.c_str()));
        if (c.newFolder)
            MakeFolder(dir);
        if (c.signal != 0)
            run.Signal(c.signal);
        ProcessResult result = run.Wait();
        if (c.newFolder) {
            EXPECT_EQ(std::vector<std::string>{}, ListFolder(dir));
        } else {
            EXPECT_FALSE(Exists(dir));
        }
        if (c.signal != 0) {
            EXPECT_EQ(128 + c.signal, result.exitStatus) << result.err;
            EXPECT_TRUE(before == Snapshot(moved)) << "not put back as it was";
            continue;
        }
        EXPECT_EQ(0, result.exitStatus) << result.err;
        EXPECT_EQ("Done", result.out);
        EXPECT_NE(std::string::npos,
                  result.err.find("Note: the folder \"" + dir + "\" was moved to \"" + moved +
                                  "\" during the run; the run followed it\n"))
            << result.err;
        EXPECT_NE(std::string::npos, result.err.find("into \"" + moved + "/data.xml\""));
        EXPECT_TRUE(enciphered_ == ReadFile(moved + "/data"));
        EXPECT_TRUE(enciphered_ == ReadFile(moved + "/_data"));
        EXPECT_EQ("<Contents/>", ReadFile(moved + "/data.xml.bak"));
        EXPECT_NE(std::string::npos,
                  ReadFile(moved + "/data.xml").find("A dream, number 24999, with "));
        EXPECT_EQ((std::vector<std::string>{"__data", "_data", "data", "data.xml", "data.xml.bak",
                                            "ini", "ini.txt"}),
                  ListFolder(moved));
    }
}

// A signal once the journal is converted, here while the run waits for
// Enter: the conversion stands, the run says so, and exits 0.
TEST_F(RealConditionsTest, ASignalAfterTheConversionIsHeldAndTold) {
    TempDir dir;
    Prepare(dir.path());
    Console console;
    console.holdInput = true;
    Converter run(dir.path(), {kPassword}, console);
    while (run.Running() && run.OutputSoFar() != "Done")
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // into the wait
    ASSERT_TRUE(run.Running()) << "it did not wait for Enter";
    run.Signal(SIGINT);
    ProcessResult result = run.Wait();
    EXPECT_EQ(0, result.exitStatus) << result.err;
    EXPECT_NE(std::string::npos,
              result.err.find("Note: the run was interrupted by SIGINT (Ctrl-C) after the "
                              "conversion was complete; the journal is converted\n"))
        << result.err;
    EXPECT_TRUE(enciphered_ == ReadFile(dir.File("data")));
    EXPECT_EQ("<Contents/>", ReadFile(dir.File("data.xml.bak")));
}

// Standard output and error go into a pipe whose reader is gone (a
// "| head -1" that has had its line): nothing reaches the user, yet the run
// finishes, or puts the folder back, as it would, and its exit status says
// that it was not heard.
TEST_F(RealConditionsTest, AClosedPipeNeitherStopsNorUndoesTheRun) {
    Console console;
    console.closedPipe = true;
    {
        TempDir dir;
        Prepare(dir.path());
        ::mkfifo(dir.File("ini").c_str(), 0600);  // a warning comes first
        ProcessResult result = Converter(dir.path(), {kPassword}, console).Wait();
        EXPECT_EQ(1, result.exitStatus);
        EXPECT_TRUE(enciphered_ == ReadFile(dir.File("data")));
        EXPECT_TRUE(enciphered_ == ReadFile(dir.File("_data")));
        EXPECT_EQ("<Contents/>", ReadFile(dir.File("data.xml.bak")));
    }
    {
        TempDir dir;
        Prepare(dir.path());
        // An error once the journal lies deciphered: the document is a folder.
        fs::remove(dir.File("data.xml"));
        MakeFolder(dir.File("data.xml"));
        const auto before = Snapshot(dir.path());
        ProcessResult result = Converter(dir.path(), {kPassword}, console).Wait();
        EXPECT_EQ(1, result.exitStatus);
        EXPECT_TRUE(before == Snapshot(dir.path()));
    }
}

namespace {

// True when the user `uid` can open `path` for reading.
bool ReadableBy(uid_t uid, const std::string& path) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(uid) != 0 || ::setuid(uid) != 0)
            ::_exit(2);
        ::_exit(::open(path.c_str(), O_RDONLY) >= 0 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string AccessControlList(const std::string& path) {
    char value[1024];
    const ssize_t n = ::getxattr(path.c_str(), "system.posix_acl_access", value, sizeof value);
    return n < 0 ? std::string() : std::string(value, static_cast<size_t>(n));
}

}  // namespace

// An access control list on the journal stays on it, and on its backup, run
// after run; while the journal lies deciphered, no entry lets anyone else
// read it, not even one the folder hands down to every new file.
TEST_F(RealConditionsTest, AnAccessControlListIsKeptAndNeverOpensTheDecipheredJournal) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only the super-user can try a file as another user";
    TempDir dir;
    Prepare(dir.path());
    const std::string setfacl = "setfacl -m u:65534:r '" + dir.File("data") + "' 2>/dev/null";
    if (std::system(setfacl.c_str()) != 0)
        GTEST_SKIP() << "no access control lists here (setfacl is in Debian's package acl)";
    const std::string acl = AccessControlList(dir.File("data"));
    ASSERT_NE("", acl);
    ASSERT_TRUE(ReadableBy(65534, dir.File("data")));
    ProcessResult first = Converter(dir.path(), {kPassword}).Wait();
    ASSERT_EQ(0, first.exitStatus) << first.err;
    EXPECT_EQ(acl, AccessControlList(dir.File("data")));
    EXPECT_EQ(acl, AccessControlList(dir.File("_data")));

    ASSERT_EQ(0, std::system(("setfacl -d -m u:65534:r '" + dir.path() + "'").c_str()));
    Converter second(dir.path(), {kPassword});
    ASSERT_TRUE(WaitForName(second, dir.path(),
                            [&](const std::string& name) { return name == "data.xml.old"; }));
    EXPECT_FALSE(ReadableBy(65534, dir.File("data"))) << "the deciphered journal is readable";
    ASSERT_EQ(0, second.Wait().exitStatus);
    EXPECT_EQ(acl, AccessControlList(dir.File("data")));
    EXPECT_TRUE(ReadableBy(65534, dir.File("data")));
}

// A lock that another program holds on the folder (flock(1) here) is told as
// such, and nothing is touched.
TEST_F(RealConditionsTest, ALockAnotherProgramHoldsIsToldAsSuch) {
    if (std::system("command -v flock >/dev/null") != 0)
        GTEST_SKIP() << "no flock(1) (Debian's package util-linux)";
    TempDir dir;
    Prepare(dir.path());
    const auto before = Snapshot(dir.path());
    const pid_t holder = ::fork();
    if (holder == 0) {
        // A group of its own, so that its "sleep" goes with it.
        ::setpgid(0, 0);
        ::execlp("flock", "flock", dir.path().c_str(), "sleep", "30", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Locked once this process cannot lock it.
    for (int tries = 0; tries < 5000; ++tries) {
        const int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
        const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        ::close(fd);
        if (locked)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ProcessResult result = Converter(dir.path(), {kPassword}).Wait();
    ::kill(-holder, SIGTERM);
    ::waitpid(holder, nullptr, 0);
    EXPECT_EQ(1, result.exitStatus);
    EXPECT_NE(
        std::string::npos,
        result.err.find("Error: another program, \"flock\" (process " + std::to_string(holder) +
                        "), holds a lock on the folder \"" + dir.path() + "\""))
        << result.err;
    EXPECT_TRUE(before == Snapshot(dir.path()));
}

namespace {

// What a command prints on its standard output, and whether it succeeded.
bool Command(const std::string& command, std::string* output = nullptr) {
    FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr)
        return false;
    char buffer[256];
    std::string text;
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        text += buffer;
    if (output != nullptr)
        *output = text.substr(0, text.find('\n'));
    return ::pclose(pipe) == 0;
}

// A file system of another system, in an image mounted through its FUSE
// driver, as a USB stick carried from Windows is: FAT (fusefat), exFAT
// (exfat-fuse, which wants a block device: the image goes through a loop
// device) or NTFS (ntfs-3g). Unmounted, and the loop device let go, when the
// object goes. `skipped` says why it could not be mounted.
class MountedImage {
  public:
    explicit MountedImage(const std::string& kind) : mount_(scratch_.File("mount")) {
        struct Tools {
            const char* kind;
            const char* make;
            const char* mount;
            const char* packages;
        };
        const Tools kTools[] = {
            {"FAT", "mkfs.vfat", "fusefat -o rw+", "dosfstools fusefat"},
            {"exFAT", "mkfs.exfat", "mount.exfat-fuse", "exfatprogs exfat-fuse"},
            {"NTFS", "mkntfs -Q -F -q", "ntfs-3g", "ntfs-3g"},
        };
        const Tools* tools = nullptr;
        for (const Tools& t : kTools)
            tools = kind == t.kind ? &t : tools;
        const std::string make = tools->make, driver = tools->mount;
        if (::geteuid() != 0) {
            skipped = "mounting an image takes the super-user";
            return;
        }
        if (::access("/dev/fuse", R_OK | W_OK) != 0) {
            skipped = "no /dev/fuse on this machine";
            return;
        }
        if (!Command("command -v " + make.substr(0, make.find(' '))) ||
            !Command("command -v " + driver.substr(0, driver.find(' ')))) {
            skipped = std::string("no ") + make.substr(0, make.find(' ')) + " or " +
                      driver.substr(0, driver.find(' ')) + " (Debian's packages " +
                      tools->packages + ")";
            return;
        }
        const std::string image = scratch_.File("image");
        MakeFolder(mount_);
        std::string device = image;
        if (!Command("truncate -s 64M '" + image + "' && " + make + " '" + image + "'")) {
            skipped = "cannot make the file system with " + make;
            return;
        }
        if (kind == "exFAT" && !Command("losetup -f --show '" + image + "'", &loop_)) {
            skipped = "no loop device for the image";
            return;
        }
        if (!loop_.empty())
            device = loop_;
        if (!Command(driver + " '" + device + "' '" + mount_ + "'")) {
            skipped = "cannot mount the file system with " + driver;
            return;
        }
        mounted_ = true;
    }
    ~MountedImage() {
        if (mounted_)
            Command("umount '" + mount_ + "'");
        if (!loop_.empty())
            Command("losetup -d '" + loop_ + "'");
    }
    const std::string& path() const { return mount_; }

    std::string skipped;

  private:
    TempDir scratch_;
    std::string mount_;
    std::string loop_;
    bool mounted_ = false;
};

}  // namespace

// A journal on a USB stick from Windows: FAT, exFAT and NTFS, through their
// FUSE drivers. Neither keeps owners or permission bits the way the program
// asks, nor renames without replacing in one step. A first and a second
// conversion work, as does a run after one killed with the journal
// deciphered; and the run says when the deciphered journal lies readable by
// others.
TEST_F(RealConditionsTest, JournalsOnTheFileSystemsOfOtherSystemsConvert) {
    const std::string journal = Enciphered(LargeJournal(10000));
    int tried = 0;
    for (const char* kind : {"FAT", "exFAT", "NTFS"}) {
        SCOPED_TRACE(kind);
        MountedImage image(kind);
        if (!image.skipped.empty()) {
            std::printf("[ SKIPPED  ] %s: %s\n", kind, image.skipped.c_str());
            continue;
        }
        ++tried;
        const std::string dir = image.path() + "/journal";
        MakeFolder(dir);
        WriteFile(dir + "/data", journal);
        WriteFile(dir + "/data.xml", "<Contents/>");
        for (int run = 1; run <= 2; ++run) {
            ProcessResult result = Converter(dir, {kPassword}).Wait();
            EXPECT_EQ(0, result.exitStatus) << run << ": " << result.err;
            EXPECT_TRUE(journal == ReadFile(dir + "/data")) << run;
            // Said exactly where it is true.
            struct stat st {};
            ASSERT_EQ(0, ::stat((dir + "/data.xml").c_str(), &st));
            EXPECT_EQ((st.st_mode & 077) != 0,
                      result.err.find("cannot make a file private") != std::string::npos)
                << run << ": mode " << std::oct << st.st_mode << ": " << result.err;
        }
        EXPECT_EQ("<Contents/>", ReadFile(dir + "/data.xml.bak"));
        EXPECT_TRUE(Exists(dir + "/data.xml.1.bak"));

        Converter killed(dir, {kPassword});
        ASSERT_TRUE(WaitForName(killed, dir, [&](const std::string& name) {
            return name == "data.xml.old";
        })) << "the run ended first";
        killed.Signal(SIGKILL);
        killed.Wait();
        ProcessResult after = Converter(dir, {kPassword}).Wait();
        EXPECT_EQ(0, after.exitStatus) << after.err;
        EXPECT_NE(std::string::npos, after.err.find("lay deciphered")) << after.err;
        EXPECT_TRUE(journal == ReadFile(dir + "/data"));
        EXPECT_TRUE(journal == ReadFile(dir + "/_data"));
        // The document the killed run had set aside is the second run's,
        // which "data.xml.1.bak" holds already: it goes, and no third copy
        // is made.
        EXPECT_EQ((std::vector<std::string>{"__data", "_data", "data", "data.xml", "data.xml.1.bak",
                                            "data.xml.bak", "ini", "ini.txt"}),
                  ListFolder(dir));
    }
    if (tried == 0)
        GTEST_SKIP() << "no file system of another system could be mounted here";
}

// Where the system keeps no record of where a folder is (no /proc, as in a
// chroot or a container without it), the folder that stayed where it was is
// named there, never said to have moved.
TEST_F(RealConditionsTest, WithoutProcTheFolderIsNamedWhereItWasOpened) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers cannot run without /proc";
#endif
    const std::string hide = "unshare -m sh -c 'mount -t tmpfs none /proc && exec \"$@\"' -- ";
    if (!Command(hide + "true"))
        GTEST_SKIP() << "/proc cannot be hidden here: that takes the super-user, a mount "
                        "namespace and unshare(1) (Debian's package util-linux)";
    TempDir dir, capture;
    Prepare(dir.path());
    const int status =
        std::system(("cd '" + dir.path() + "' && " + hide + "'" + JC_CONVERTER_PATH + "' " +
                     kPassword + " </dev/null >/dev/null 2>'" + capture.File("err") + "'")
                        .c_str());
    const std::string err = ReadFile(capture.File("err"));
    EXPECT_EQ(0, status) << err;
    EXPECT_EQ("Converted 25000 dreams (3572 lucid), 2 places and 1 position into \"" +
                  dir.File("data.xml") +
                  "\", read back and verified. The earlier document is kept as \"" +
                  dir.File("data.xml.bak") + "\".\n",
              err);
}
