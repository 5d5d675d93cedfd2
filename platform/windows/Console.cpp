// The Windows console: the wide command line, reading a password without
// echo, and whether the console window is the program's own.
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include "platform/Console.h"
#include "platform/Interrupt.h"
#include "platform/windows/WindowsText.h"

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

void WriteToConsole(HANDLE console, const std::wstring& text) {
    DWORD written = 0;
    WriteConsoleW(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

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

Status ReadHiddenLine(const std::string& prompt, std::string* line) {
    line->clear();
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(input, &mode))
        return Status::Error("cannot read the password: standard input is not a console");
    // The prompt goes to the console even when standard output is redirected.
    Handle output(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr));
    if (output.get() != INVALID_HANDLE_VALUE)
        WriteToConsole(output.get(), Widen(prompt));
    {
        // Line editing stays; echo goes. Ctrl-C stays processed, so that it
        // reaches the interrupt handling and ends the read.
        ConsoleModeRestorer restore(input, mode);
        SetConsoleMode(input,
                       (mode | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) & ~ENABLE_ECHO_INPUT);
        std::wstring text;
        for (;;) {
            wchar_t buffer[256];
            DWORD got = 0;
            const BOOL read = ReadConsoleW(input, buffer, 256, &got, nullptr);
            const DWORD error = GetLastError();
            // Ctrl-C ends the read, with or without a failure.
            if (PendingInterrupt() != 0)
                return Status::Error("the password was not given: interrupted");
            if (!read)
                return WindowsError("cannot read", "the console", error);
            if (got == 0)
                return Status::Error("cannot read the password: end of input");
            text.append(buffer, got);
            const size_t end = text.find(L'\n');
            if (end != std::wstring::npos) {
                text.resize(end);
                break;
            }
        }
        if (!text.empty() && text.back() == L'\r')
            text.pop_back();
        // Ctrl-Z at the start of a line is the console's end of input.
        if (!text.empty() && text[0] == 0x1A)
            return Status::Error("cannot read the password: end of input");
        *line = Narrow(text);
    }
    // The Enter that ended the line was not echoed either.
    if (output.get() != INVALID_HANDLE_VALUE)
        WriteToConsole(output.get(), L"\r\n");
    return Status::OK();
}

bool OwnsConsoleWindow() {
    // A console started for this program (a double-click) lists this process
    // alone; one shared with the shell it was started from lists that too.
    DWORD processes[2];
    return GetConsoleProcessList(processes, 2) == 1;
}

}  // namespace platform
