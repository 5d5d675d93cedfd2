#pragma once

#include <string>
#include <vector>

#include "platform/Reporter.h"
#include "platform/os/Env.h"

namespace testing_support {

// What a user would see, kept: standard output as it is, and the lines of
// standard error, each ended with a line break.
class RecordingReporter : public platform::Reporter {
  public:
    void Output(std::string_view text) override { out_ += text; }
    void Line(std::string_view text) override {
        err_ += text;
        err_ += '\n';
    }
    bool ok() const override { return true; }

    const std::string& out() const { return out_; }
    const std::string& err() const { return err_; }

  private:
    std::string out_;
    std::string err_;
};

// A fresh empty folder under the system's temporary folder, removed with
// everything in it when the object goes.
//
// Where a death test runs in a new process that runs the test again from its
// start (always on Windows), that process finds the folders the test had made
// by then under the same names, so what it does is seen by the test's checks
// afterwards. The names come from the test's name, the order of the folders
// in the test and a mark of the whole run (see MarkTestRun).
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // A file in the folder, named as the program names it.
    std::string File(const std::string& name) const { return platform::JoinPath(path_, name); }

  private:
    std::string path_;
};

// Makes `dir` the current folder while alive.
class ScopedCurrentDir {
  public:
    explicit ScopedCurrentDir(const std::string& dir);
    ~ScopedCurrentDir();

  private:
    std::string previous_;
};

// Called once by the test program's entry: gives the run the mark that the
// processes it starts inherit.
void MarkTestRun();

struct ProcessResult {
    int exitStatus = -1;  // the exit code, or 128 + signal
    std::string out;
    std::string err;
};

// Runs `program` with `args` in folder `dir`, standard input closed (reading
// it gives end of input at once), and collects what it prints.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& dir);
// The converter built with these tests.
ProcessResult RunConverter(const std::string& dir, const std::vector<std::string>& args = {});

// Paths are UTF-8. Reading and making folders go through the real Env, so
// they work at any length; writing makes a file as any program would.
std::string ReadFile(const std::string& path);  // fails the test when unreadable
void WriteFile(const std::string& path, const std::string& bytes);
void MakeFolder(const std::string& path);
bool Exists(const std::string& path);
std::string DataFile(const std::string& relative);  // a file under tests/data
std::string FromHex(const std::string& hex);
std::string ToHex(const std::string& bytes);  // lower-case digits

// The text of the `Error` that `f` throws, or "(no error)".
template <class Error, class F>
std::string ErrorOf(F&& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "(no error)";
}

}  // namespace testing_support
