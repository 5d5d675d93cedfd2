#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>

#include "support/ChildProcess.h"

namespace fs = std::filesystem;

namespace testing_support {

namespace {

const char kRunMark[] = "JC_TEST_RUN";

// The folder names one test has taken so far, by test.
std::map<std::string, int>& FoldersMade() {
    static std::map<std::string, int> made;
    return made;
}

}  // namespace

void MarkTestRun() {
    if (std::getenv(kRunMark) != nullptr)
        return;  // a process a test started: the mark is its parent's
    static std::string setting = std::string(kRunMark) + "=" +
                                 std::to_string(std::random_device{}()) +
                                 std::to_string(std::random_device{}());
    ::putenv(&setting[0]);
}

TempDir::TempDir() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string testName =
        test != nullptr ? std::string(test->test_suite_name()) + "." + test->name() : "";
    const char* mark = std::getenv(kRunMark);
    const std::string prefix = "jc-test-" + std::string(mark != nullptr ? mark : "0") + "-" +
                               std::to_string(std::hash<std::string>()(testName) % 1000000) + "-";
    // A death test's process finds the folders the test had made; elsewhere
    // a folder must be new (one left by an earlier death test is skipped).
    const bool deathTestProcess = !GTEST_FLAG_GET(internal_run_death_test).empty();
    const fs::path parent = fs::temp_directory_path();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const fs::path candidate = parent / (prefix + std::to_string(FoldersMade()[testName]++));
        std::error_code error;
        if (fs::create_directory(candidate, error) ||
            (deathTestProcess && fs::is_directory(candidate, error))) {
            path_ = candidate.string();
            return;
        }
    }
    std::abort();
}

TempDir::~TempDir() {
    std::error_code ignored;
    // A test may have taken write permission away; give it back first.
    for (auto it = fs::recursive_directory_iterator(path_, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

ScopedCurrentDir::ScopedCurrentDir(const std::string& dir)
    : previous_(fs::current_path().string()) {
    fs::current_path(dir);
}

ScopedCurrentDir::~ScopedCurrentDir() {
    fs::current_path(previous_);
}

namespace {

// Standard output and error are in text mode where the platform has one:
// each line ends in CR LF there, as the journal's home platform writes it.
// The tests read "\n" either way, and a bare LF there is a fault.
std::string FromConsoleText(const std::string& text, const std::string& stream) {
    if (!JC_CONSOLE_TEXT_MODE)
        return text;
    std::string lines;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            ADD_FAILURE() << "a line of standard " << stream << " ends without CR: " << text;
        lines.push_back(text[i]);
    }
    return lines;
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& dir) {
    TempDir capture;
    ProcessResult result;
    const platform::Status status = platform::RunChildProcess(
        program, args, dir, capture.File("out"), capture.File("err"), &result.exitStatus);
    if (!status.ok()) {
        ADD_FAILURE() << status.message();
        return result;
    }
    result.out = FromConsoleText(ReadFile(capture.File("out")), "output");
    result.err = FromConsoleText(ReadFile(capture.File("err")), "error");
    return result;
}

ProcessResult RunConverter(const std::string& dir, const std::vector<std::string>& args) {
    return RunProcess(JC_CONVERTER_PATH, args, dir);
}

std::string ReadFile(const std::string& path) {
    std::string contents;
    const platform::Status status = platform::ReadWholeFile(platform::Env::Real(), path, &contents);
    EXPECT_TRUE(status.ok()) << status.message();
    return contents;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(fs::u8path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::unique_ptr<platform::Folder> OpenFolder(const std::string& path) {
    std::unique_ptr<platform::Folder> folder;
    const platform::Status status = platform::Env::Current().OpenFolder(path, &folder);
    EXPECT_TRUE(status.ok()) << status.message();
    return folder;
}

void MakeFolder(const std::string& path) {
    std::unique_ptr<platform::Folder> parent;
    platform::Status status = platform::Env::Real().OpenFolder(platform::FolderOf(path), &parent);
    if (status.ok())
        status = parent->CreateDir(platform::NameOf(path));
    ASSERT_TRUE(status.ok()) << status.message();
}

bool Exists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(fs::u8path(path), ignored));
}

std::string DataFile(const std::string& relative) {
    return std::string(JC_TEST_DATA_DIR) + "/" + relative;
}

std::string ToHex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex.push_back(digits[c >> 4]);
        hex.push_back(digits[c & 15]);
    }
    return hex;
}

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

}  // namespace testing_support
