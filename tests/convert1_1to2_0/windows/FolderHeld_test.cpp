// The journal folder, held open by the run, cannot be renamed or moved while
// the run lasts: the run finishes in it, and a folder entered by another
// spelling of its name (its short name) is no folder that moved.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <thread>

#include "convert1_1to2_0/ConvertJournal.h"
#include "core/JournalFiles.h"
#include "platform/os/Env.h"
#include "platform/os/windows/WindowsText.h"
#include "support/Journals.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

bool Move(const std::string& from, const std::string& to, DWORD* error) {
    const bool moved =
        MoveFileExW(platform::WidePath(from).c_str(), platform::WidePath(to).c_str(), 0) != 0;
    *error = moved ? 0 : GetLastError();
    return moved;
}

// The folder's short name, where the file system gives it one.
std::string ShortName(const std::string& path) {
    std::wstring name(MAX_PATH, L'\0');
    const DWORD n = GetShortPathNameW(platform::WidePath(path).c_str(), &name[0], MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return path;
    name.resize(n);
    return platform::PathFromWide(name);
}

}  // namespace

TEST(FolderHeldTest, TheJournalFolderCannotBeMovedWhileARunHoldsIt) {
    const std::string enciphered = Enciphered(LargeJournal(20000), "pw");
    const struct {
        const char* what;
        std::function<bool(const std::string& name)> reached;
    } moments[] = {
        {"the journal is deciphered",
         [](const std::string& name) {
             return journal_files::kTemporaryForm.Matches(name, "data__");
         }},
        {"the new document is being built",
         [](const std::string& name) { return name == "data.xml.old"; }},
    };
    for (const auto& moment : moments) {
        SCOPED_TRACE(moment.what);
        TempDir root;
        const std::string dir = root.File("a journal folder");
        const std::string moved = root.File("moved");
        MakeFolder(dir);
        WriteFile(platform::JoinPath(dir, "data"), enciphered);
        WriteFile(platform::JoinPath(dir, "data.xml"), "<Contents/>");
        const std::string spelling = ShortName(dir);

        std::atomic<bool> ended{false};
        bool tried = false, movedDuringTheRun = true;
        DWORD error = 0;
        std::thread mover([&] {
            for (;;) {
                if (ended)
                    return;
                bool reached = false;
                for (const std::string& name : ListFolder(dir))
                    reached = reached || moment.reached(name);
                if (reached)
                    break;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            // Windows holds a process's current folder as well: step out of
            // it, so that only the run's own hold keeps the folder in place.
            SetCurrentDirectoryW(platform::WidePath(root.path()).c_str());
            tried = true;
            movedDuringTheRun = Move(dir, moved, &error);
        });
        RecordingReporter said;
        ConversionReport report;
        std::string failure;
        {
            ScopedCurrentDir cd(spelling);
            ConversionOptions options;
            options.password = "pw";
            try {
                report = ConvertJournal(options, said);
            } catch (const std::exception& error) {
                failure = error.what();
            }
        }
        ended = true;
        mover.join();
        ASSERT_TRUE(tried) << "the run ended first";
        EXPECT_EQ("", failure);
        EXPECT_FALSE(movedDuringTheRun);
        EXPECT_TRUE(error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) << error;
        ASSERT_TRUE(report.opened) << said.err();
        EXPECT_EQ(std::string::npos, said.err().find("moved")) << said.err();
        EXPECT_EQ(platform::JoinPath(spelling, "data.xml"), report.documentPath);
        EXPECT_EQ(enciphered, ReadFile(platform::JoinPath(dir, "data")));
        EXPECT_EQ("<Contents/>", ReadFile(platform::JoinPath(dir, "data.xml.bak")));
        // Let go by the run, the folder moves.
        EXPECT_TRUE(Move(dir, moved, &error)) << error;
    }
}
