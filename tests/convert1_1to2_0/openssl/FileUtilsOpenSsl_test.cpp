// OpenSSL keeps RC2 in a provider that may be missing; that must never read
// as a wrong password.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>

#include "convert1_1to2_0/FileUtils.h"
#include "support/Journals.h"
#include "support/TestSupport.h"

using testing_support::Exists;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

const char kEmptyJournal[] = "0\x02PLACE\x03POSITION\x03RECORD\x03";

// Runs in a fresh process whose crypto library looks for its providers in an
// empty folder. Exits 0 when both calls threw an error of the kind "not
// supported" with the expected message and touched nothing.
[[noreturn]] void RunWithoutTheLegacyProvider() {
    int code = 0;
    {
        TempDir modules;
        TempDir dir;
        const std::string file = dir.File("data");
        WriteFile(file, kEmptyJournal);
        ::setenv("OPENSSL_MODULES", modules.path().c_str(), 1);
        const std::string expected =
            "the RC2 cipher is not available: cannot load OpenSSL's \"legacy\" provider from \"" +
            modules.path() + "\"";
        for (int call = 0; call < 2; ++call) {
            try {
                if (call == 0)
                    EncryptFile(file, "pw");
                else
                    DecryptFile(file, "pw");
                code = 10 + call;
            } catch (const platform::Error& e) {
                std::cerr << e.what() << "\n";
                if (e.what() != expected || !e.status().Is(platform::StatusCode::kNotSupported))
                    code = 20 + call;
            }
        }
        if (ReadFile(file) != kEmptyJournal || Exists(file + "__"))
            code = 30;
    }
    std::exit(code);
}

}  // namespace

TEST(FileUtilsTest, AMissingLegacyProviderIsReportedAsSuchNotAsAWrongPassword) {
    // A fresh process, so that the library is loaded anew.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RunWithoutTheLegacyProvider(), testing::ExitedWithCode(0),
                "the RC2 cipher is not available: cannot load OpenSSL's \"legacy\" provider "
                "from \"");
}

// The whole program, as a user meets it: the journal's password is right, but
// the cipher cannot be had. That is an error like any other, never a wrong
// password: nothing on standard output, exit status 1, the journal as found.
TEST(FileUtilsTest, WithoutTheLegacyProviderTheRunIsAnErrorNotAWrongPassword) {
    TempDir modules;
    TempDir dir;
    WriteFile(dir.File("data"),
              ReadFile(testing_support::DataFile("cipher/journals/sample/current/data")));
    ::setenv("OPENSSL_MODULES", modules.path().c_str(), 1);
    const testing_support::ProcessResult run = testing_support::RunConverter(dir.path(), {"dream"});
    ::unsetenv("OPENSSL_MODULES");
    EXPECT_EQ(1, run.exitStatus);
    EXPECT_EQ("", run.out);
    EXPECT_EQ(
        "Error: the RC2 cipher is not available: cannot load OpenSSL's \"legacy\" provider "
        "from \"" +
            modules.path() + "\"\nThe journal was not converted.\n",
        run.err);
    EXPECT_EQ(ReadFile(testing_support::DataFile("cipher/journals/sample/current/data")),
              ReadFile(dir.File("data")));
    EXPECT_EQ(std::vector<std::string>{"data"}, testing_support::ListFolder(dir.path()));
}
