// The console's control events reach the handler a run installs while the
// run has the journal open, each as Windows delivers it: on a thread of its
// own. Windows ends the process as soon as the handler returns to a closing
// window, a log-off or a shutdown, so the handler must not return before the
// journal is back.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <thread>

#include "convert1_1to2_0/ConvertJournal.h"
#include "platform/os/Interrupt.h"
#include "platform/os/windows/ConsoleEvents.h"
#include "support/FaultInjectionEnv.h"
#include "support/Journals.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

// Once an event is pending, each rename and removal takes its time, as on a
// slow disk: a handler that returned before the journal was back would see
// the folder half restored.
class SlowRestoreEnv : public platform::FaultInjectionEnv {
  public:
    using FaultInjectionEnv::FaultInjectionEnv;
    bool Begin(const char* operation, const std::string& path, bool changes) override {
        const std::string name = operation;
        if (name == "rename" || name == "rename-new" || name == "remove")
            Pause();
        return FaultInjectionEnv::Begin(operation, path, changes);
    }

  private:
    static void Pause() {
        if (platform::PendingInterrupt() != 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
};

std::map<std::string, std::string> Snapshot(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const std::string& name : ListFolder(dir))
        files[name] = ReadFile(platform::JoinPath(dir, name));
    return files;
}

}  // namespace

TEST(ConsoleEventTest, EachEventWaitsUntilTheJournalIsBack) {
    // Made once: an interrupted run leaves its event pending for this
    // process, and enciphering would stop at it.
    const std::string enciphered = Enciphered(LargeJournal(20000), "pw");
    const struct {
        DWORD event;
        const char* name;
        int signal;
    } events[] = {
        {CTRL_C_EVENT, "Ctrl-C", 2},
        {CTRL_BREAK_EVENT, "Ctrl-Break", 21},
        {CTRL_CLOSE_EVENT, "the window closing", 1},
        {CTRL_LOGOFF_EVENT, "a log-off", 1},
        {CTRL_SHUTDOWN_EVENT, "a shutdown", 1},
    };
    for (const auto& e : events) {
        SCOPED_TRACE(e.name);
        TempDir dir;
        WriteFile(dir.File("data"), enciphered);
        WriteFile(dir.File("data.xml"), "an earlier document");
        const auto before = Snapshot(dir.path());

        std::atomic<bool> ended{false};
        BOOL handled = FALSE;
        std::chrono::steady_clock::duration took{};
        std::map<std::string, std::string> atReturn;
        std::thread console([&] {
            // While the new document is built the journal lies deciphered.
            while (!ended && !Exists(dir.File("data.xml.old")))
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (ended)
                return;
            const auto start = std::chrono::steady_clock::now();
            handled = platform::DeliverConsoleEvent(e.event);
            took = std::chrono::steady_clock::now() - start;
            atReturn = Snapshot(dir.path());
        });
        int signal = 0;
        {
            SlowRestoreEnv env(platform::Env::Real());
            platform::ScopedEnv scoped(env);
            ScopedCurrentDir cd(dir.path());
            RecordingReporter said;
            ConversionOptions options;
            options.password = "pw";
            try {
                ConvertJournal(options, said);
            } catch (const platform::Interrupted& interrupted) {
                signal = interrupted.signal();
            }
        }
        ended = true;
        console.join();
        ASSERT_EQ(e.signal, signal) << "the run was not interrupted";
        EXPECT_TRUE(handled);
        EXPECT_TRUE(before == atReturn) << "the handler returned before the journal was back";
        // Released by the run, not by the end of the grace time.
        EXPECT_LT(took, std::chrono::milliseconds(platform::kConsoleEventGraceMilliseconds));
        EXPECT_TRUE(before == Snapshot(dir.path()));
    }
    // With no run under way the handler is not installed.
    EXPECT_FALSE(platform::DeliverConsoleEvent(CTRL_CLOSE_EVENT));
}
