// The Windows console: the wide command line, reading a password without
// echo, and whether the console window is the program's own.
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <atomic>

#include "platform/os/Console.h"
#include "platform/os/Interrupt.h"
#include "platform/os/windows/ConsoleWake.h"
#include "platform/os/windows/WindowsText.h"

namespace platform {
namespace {

class LocalMemory {
  public:
    explicit LocalMemory(void* memory) : memory_(memory) {}
    ~LocalMemory() { LocalFree(memory_); }
    LocalMemory(const LocalMemory&) = delete;
    LocalMemory& operator=(const LocalMemory&) = delete;

  private:
    void* memory_;
};

class Handle {
  public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

// Puts a console's input mode back as it was found.
class ConsoleModeRestorer {
  public:
    ConsoleModeRestorer(HANDLE console, DWORD mode) : console_(console), mode_(mode) {}
    ~ConsoleModeRestorer() { SetConsoleMode(console_, mode_); }
    ConsoleModeRestorer(const ConsoleModeRestorer&) = delete;
    ConsoleModeRestorer& operator=(const ConsoleModeRestorer&) = delete;

  private:
    HANDLE console_;
    DWORD mode_;
};

std::atomic<HANDLE> readInProgress{nullptr};

void WriteToConsole(HANDLE console, const std::wstring& text) {
    DWORD written = 0;
    WriteConsoleW(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

WakeableConsoleRead::WakeableConsoleRead(HANDLE input) {
    readInProgress.store(input);
}

WakeableConsoleRead::~WakeableConsoleRead() {
    readInProgress.store(nullptr);
}

void WakeConsoleRead() {
    HANDLE input = readInProgress.load();
    if (input == nullptr)
        return;
    INPUT_RECORD enter[2] = {};
    for (int i = 0; i < 2; ++i) {
        enter[i].EventType = KEY_EVENT;
        enter[i].Event.KeyEvent.bKeyDown = i == 0;
        enter[i].Event.KeyEvent.wRepeatCount = 1;
        enter[i].Event.KeyEvent.wVirtualKeyCode = VK_RETURN;
        enter[i].Event.KeyEvent.uChar.UnicodeChar = L'\r';
    }
    DWORD written = 0;
    WriteConsoleInputW(input, enter, 2, &written);
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    // The narrow argv holds the arguments in the ANSI code page, which loses
    // every character it lacks; the wide command line has them all.
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    if (wide == nullptr) {
        for (int i = 1; i < argc; ++i)
            arguments.push_back(argv[i]);
        return arguments;
    }
    LocalMemory release(wide);
    for (int i = 1; i < count; ++i)
        arguments.push_back(Narrow(wide[i]));
    return arguments;
}

bool StandardInputIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

namespace {

// Reads one line from the console in `input` as it is set up now.
Status ReadConsoleLine(HANDLE input, std::wstring* text) {
    WakeableConsoleRead wakeable(input);
    for (;;) {
        wchar_t buffer[256];
        DWORD got = 0;
        const BOOL read = ReadConsoleW(input, buffer, 256, &got, nullptr);
        const DWORD error = GetLastError();
        // Ctrl-C ends the wait, with or without a failure of the read.
        if (PendingInterrupt() != 0)
            return Status::Error("interrupted while reading the password");
        if (!read)
            return WindowsError("cannot read from", "the console", error);
        text->append(buffer, got);
        const size_t end = text->find(L'\n');
        // Ctrl-Z at the start of the line is the console's end of input.
        if (got == 0 || (!text->empty() && (*text)[0] == 0x1A))
            return Status::Error("end of input before the password");
        if (end != std::wstring::npos) {
            text->resize(end > 0 && (*text)[end - 1] == L'\r' ? end - 1 : end);
            return Status::OK();
        }
    }
}

}  // namespace

Status ReadHiddenLine(const std::string& prompt, std::string* line) {
    line->clear();
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(input, &mode))
        return Status::Error("no console to ask on");
    // The prompt goes to the console even when standard output is redirected.
    Handle output(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr));
    std::wstring text;
    Status status;
    {
        // Line editing stays; echo goes. Ctrl-C stays processed, so that it
        // reaches the interrupt handling and ends the wait.
        ConsoleModeRestorer restore(input, mode);
        if (!SetConsoleMode(
                input, (mode | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) & ~ENABLE_ECHO_INPUT))
            return WindowsError("cannot turn echo off on", "the console", GetLastError());
        // Whatever was typed before the prompt appeared was typed in the
        // open: it is not taken as the password.
        FlushConsoleInputBuffer(input);
        if (output.get() != INVALID_HANDLE_VALUE)
            WriteToConsole(output.get(), Widen(prompt));
        status = ReadConsoleLine(input, &text);
    }
    // The Enter the user typed was not echoed: end the prompt's line.
    if (output.get() != INVALID_HANDLE_VALUE)
        WriteToConsole(output.get(), L"\r\n");
    if (status.ok())
        *line = Narrow(text);
    SecureZeroMemory(&text[0], text.size() * sizeof(wchar_t));
    return status;
}

bool OwnsConsoleWindow() {
    // A console started for this program (a double-click) lists this process
    // alone; one shared with the shell it was started from lists that too.
    DWORD processes[2];
    return GetConsoleProcessList(processes, 2) == 1;
}

}  // namespace platform
