// The converter under the conditions a real folder offers: a second run, a
// signal, links and FIFOs where its files go, leftovers of a killed run, and
// another user's folder. Each is made for real here, not simulated.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#include "platform/os/Env.h"
#include "support/Journals.h"
#include "support/TestSupport.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

const char kPassword[] = "pw";
const char kWrongPasswordOutput[] = "Wrong password!\nError converting file\nDone";

// A journal large enough that a run takes a good part of a second.
LegacyJournal LargeJournal(int records) {
    LegacyJournal journal;
    journal.places = {"home", "\xe4\xee\xec"};
    journal.positions = {"back"};
    for (int i = 0; i < records; ++i)
        journal.records.push_back(Record(39000.0f + static_cast<float>(i % 3000), i % 5, i % 3, 1,
                                         i % 7 == 0, i % 4,
                                         "A dream, number " + std::to_string(i) +
                                             ", with [OC]a lucid part[/OC] and more text."));
    return journal;
}

std::string Enciphered(const LegacyJournal& journal) {
    TempDir scratch;
    WriteEncipheredJournal(scratch.path(), journal, kPassword);
    return ReadFile(scratch.File("data"));
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

// The converter started in `dir`, standard input closed; a run that hangs is
// ended by an alarm after a minute.
class Converter {
  public:
    Converter(const std::string& dir, const std::vector<std::string>& args) {
        pid_ = ::fork();
        if (pid_ == 0) {
            int in = ::open("/dev/null", O_RDONLY);
            int out = ::open(capture_.File("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            int err = ::open(capture_.File("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (in < 0 || out < 0 || err < 0 || ::chdir(dir.c_str()) != 0)
                ::_exit(127);
            ::dup2(in, 0);
            ::dup2(out, 1);
            ::dup2(err, 2);
            ::alarm(60);
            std::vector<char*> argv = {const_cast<char*>(JC_CONVERTER_PATH)};
            for (const std::string& arg : args)
                argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            ::execv(JC_CONVERTER_PATH, argv.data());
            ::_exit(127);
        }
    }
    bool Running() {
        int status = 0;
        if (done_ || ::waitpid(pid_, &status, WNOHANG) == 0)
            return !done_;
        Finish(status);
        return false;
    }
    void Signal(int signal) { ::kill(pid_, signal); }
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
        result_.out = ReadFile(capture_.File("out"));
        result_.err = ReadFile(capture_.File("err"));
    }

    TempDir capture_;
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
    return platform::IsTempNameFor(name, near);
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
    void SetUp() override {
        journal_ = LargeJournal(25000);
        enciphered_ = Enciphered(journal_);
    }
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
        ProcessResult second = Converter(dir.path(), {kPassword}).Wait();
        EXPECT_TRUE(first.Running()) << "the first run ended too soon to tell";
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
    const int signals[] = {SIGINT, SIGTERM, SIGHUP};
    int n = 0;
    for (const Moment& moment : kMoments) {
        const int signal = signals[n++ % 3];
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
};

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
        {"a stale working copy and a damaged data file",
         [&](const std::string& d, const std::string&) {
             WriteFile(d + "/dataX", small);
             WriteFile(d + "/data", small.substr(0, small.size() / 2));
         },
         2, "is not the journal in",
         [&](const std::string& d, const std::string&) {
             EXPECT_TRUE(journalIn(d + "/data.interrupted", small));
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
              ReadFile(dir.File("err")).find("Error: cannot write to standard output\n"));
}
